#include "ParcelKindsSupport.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "kr/system_info.h"
#include "parcels/ParcelFactory.h"
#include "proxy_mode.h"

namespace parcel_kinds {

FakeProxyProvider::FakeProxyProvider(IBootstrap2* bootstrap) : m_bootstrap(bootstrap)
{
    SetProxyProvider(this);
}

FakeProxyProvider::~FakeProxyProvider()
{
    SetProxyProvider(nullptr);
}

CProxyHandler* FakeProxyProvider::GetProxyHandler(bool elevatedProxy, bool is64Bit)
{
    requests.push_back(std::wstring(elevatedProxy ? L"elevated" : L"plain") + (is64Bit ? L"|64" : L"|32"));
    if (realProxies)
        return realProxies->GetProxyHandler(elevatedProxy, is64Bit);
    if (elevatedProxy)
        return elevated.get();
    return is64Bit ? x64.get() : nonElevated.get();
}

CProxyHandler* FakeProxyProvider::GetElevatedProxy()
{
    requests.push_back(L"elevated");
    return realProxies ? realProxies->GetElevatedProxy() : elevated.get();
}

FakeStagingHost::FakeStagingHost()
{
    SetStagingHost(this);
}

FakeStagingHost::~FakeStagingHost()
{
    SetStagingHost(nullptr);
}

ThreadProxy::ThreadProxy()
{
    const _stringx id = L"{" + kr::new_guid_string() + L"}";
    const std::wstring name = std::wstring(L"\\\\.\\pipe\\KREngine_") + id.c_str();
    HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    m_engineEnd = std::make_unique<CProxyHandler>(pipe, nullptr);
    m_thread = std::thread([id] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        RunProxyWaiter(id);
        CoUninitialize();
    });
    if (m_engineEnd->WaitForConnection(10000) != 0 || m_engineEnd->Handshake() != 0)
        ADD_FAILURE() << "the proxy thread did not connect";
}

ThreadProxy::~ThreadProxy()
{
    m_engineEnd.reset();
    if (m_thread.joinable())
        m_thread.join();
}

std::wstring PayloadCarrier()
{
    return ProgramFolder() + L"parcel-kinds-payload.exe";
}

std::wstring FeaturesDllStandIn()
{
#ifdef _WIN64
    return ProgramFolder() + L"KRWindowsFeaturesAction64.dll";
#else
    return ProgramFolder() + L"KRWindowsFeaturesAction.dll";
#endif
}

std::vector<std::wstring> ReadWideLines(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

DWORD PeerMessage::Word(size_t index) const
{
    DWORD word = 0;
    if (payload.size() >= (index + 1) * sizeof(DWORD))
        memcpy(&word, payload.data() + index * sizeof(DWORD), sizeof(word));
    return word;
}

void ParcelKinds::SetUp()
{
    m_initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    m_staging.stagingFolder = (m_folder / L"staging").c_str();
    m_services.elevated = false;
}

void ParcelKinds::TearDown()
{
    m_parcel.Reset();
    if (m_sink)
        m_sink->Release();
    m_sink = nullptr;
    m_proxies.elevated.reset();
    m_proxies.nonElevated.reset();
    m_proxies.x64.reset();
    if (m_initialized)
        CoUninitialize();
}

com::ComPtr<CParcel> ParcelKinds::MakeParcel(const wchar_t* element)
{
    CParcel* made = nullptr;
    EXPECT_EQ(MakeParcelForElement(element, &made), S_OK);
    m_parcel = com::ComPtr<CParcel>::Adopt(made);
    m_parcel->SetAttribute(L"Id", L"Kind");
    m_parcel->LoadStateValue(CStateEntry(L"PackagePath", m_folder.path().c_str()));
    m_sink = new parcel_testing::DispatchSink(IID__IParcelEvents);
    com::ComPtr<IConnectionPointContainer> container;
    m_parcel->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
    com::ComPtr<IConnectionPoint> point;
    container->FindConnectionPoint(IID__IParcelEvents, point.Put());
    DWORD cookie = 0;
    point->Advise(m_sink, &cookie);
    return m_parcel;
}

HRESULT ParcelKinds::RunOperation(const wchar_t* name,
                                  std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> more)
{
    COperation* operation = m_parcel->AddOperation(parcel_testing::MakeOperation(name, more));
    m_parcel->Handler()->SetOperation(operation);
    return m_parcel->Handler()->Run();
}

std::vector<DISPID> ParcelKinds::SinkIds() const
{
    std::vector<DISPID> ids;
    for (const parcel_testing::SinkCall& call : m_sink->calls)
        ids.push_back(call.id);
    return ids;
}

std::vector<parcel_testing::SinkCall> ParcelKinds::SinkCallsOf(DISPID id) const
{
    std::vector<parcel_testing::SinkCall> calls;
    for (const parcel_testing::SinkCall& call : m_sink->calls)
        if (call.id == id)
            calls.push_back(call);
    return calls;
}

} // namespace parcel_kinds

namespace parcel_kinds {

MosspakProcess::MosspakProcess(const std::string& script)
{
    static int counter = 0;
    const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_script = std::wstring(temp) + L"mosspak_script_" + tag + L".txt";
    m_log = std::wstring(temp) + L"mosspak_log_" + tag + L".txt";
    std::ofstream(m_script.c_str()) << script;
    DeleteFileW(m_log.c_str());
    const std::wstring name = L"\\\\.\\pipe\\ParcelKindsAppx_" + tag;
    HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 65536, 65536, 0, nullptr);
    std::wstring line = L"\"" + ProgramFolder() + L"Mosspak.exe\" " + name + L" \"" + m_script + L"\" \"" + m_log +
                        L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const bool started =
        CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    if (started)
        CloseHandle(process.hThread);
    m_handler = std::make_unique<CProxyHandler>(pipe, started ? process.hProcess : nullptr);
    if (!started || m_handler->WaitForConnection(10000) != 0 || m_handler->Handshake() != 0)
        ADD_FAILURE() << "the app-package helper did not connect";
}

MosspakProcess::~MosspakProcess()
{
    m_handler.reset();
    DeleteFileW(m_script.c_str());
    DeleteFileW(m_log.c_str());
}

std::string MosspakProcess::Log() const
{
    std::ifstream log(m_log.c_str());
    return std::string(std::istreambuf_iterator<char>(log), std::istreambuf_iterator<char>());
}

std::string HexOf(const void* data, size_t size)
{
    std::string hex;
    char digits[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(digits, sizeof(digits), "%02X", static_cast<const BYTE*>(data)[i]);
        hex += digits;
    }
    return hex;
}

std::string HexOfText(const std::wstring& text)
{
    return HexOf(text.data(), text.size() * sizeof(wchar_t));
}

} // namespace parcel_kinds
