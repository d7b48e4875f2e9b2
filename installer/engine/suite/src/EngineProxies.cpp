// The engine's proxy processes: which one serves a need, how each is started
// and connected, and where the companion programs come from.

#include "suite/SetupEngine.h"

#include <new>
#include <utility>

#include "kr/handle_holder.h"
#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/system_info.h"
#include "kr/trace_log.h"
#include "payload/Stream.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr DWORD kStartWait = 60000;
constexpr DWORD kPipeBuffer = 4096;
constexpr DWORD kLaunchProcess = 1;
constexpr int kAppxFirstVersion = 602;
constexpr wchar_t k64BitCompanion[] = L"Veltrun64.exe";
constexpr wchar_t kAppxCompanion[] = L"Mosspak.exe";

struct ProxyNames {
    _stringx id;
    _stringx pipe;
    _stringx event;
};

ProxyNames NewProxyNames()
{
    ProxyNames names;
    names.id = L"{" + kr::new_guid_string() + L"}";
    names.pipe = L"\\\\.\\pipe\\KREngine_" + names.id;
    names.event = L"KR_ProxyWaiter_" + names.id;
    return names;
}

// The engine's end is made for overlapped use so that the wait for the
// proxy's connection can be bounded; reads and writes on it still block.
HANDLE CreateProxyPipe(const _stringx& name)
{
    return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, kPipeBuffer, kPipeBuffer, 0, nullptr);
}

_stringx OwnModulePath()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return _stringx();
    return _stringx(path, length);
}

std::unique_ptr<CProxyHandler> NewHandler(HANDLE pipe, HANDLE process)
{
    std::unique_ptr<CProxyHandler> handler(new (std::nothrow) CProxyHandler(pipe, process));
    if (!handler)
        ENGINE_TRACE(L"Failed to allocate proxy handler");
    return handler;
}

// Connection and hello; a handler that fails either is closed at once, without quit.
bool Connect(CProxyHandler& handler, const wchar_t* connectFailed, const wchar_t* helloFailed)
{
    if (const DWORD error = handler.WaitForConnection(kStartWait)) {
        ENGINE_TRACE(connectFailed, error);
        return false;
    }
    if (const DWORD error = handler.Handshake()) {
        ENGINE_TRACE(helloFailed, error);
        handler.ForgetConnection();
        return false;
    }
    return true;
}

} // namespace

CProxyHandler* CSetupEngine::GetProxyHandler(bool elevated, bool is64Bit)
{
    const bool elevate = elevated && !m_elevated;
    ENGINE_TRACE(L"Engine: request for proxy handler, %d, %d", elevate ? 1 : 0, is64Bit ? 1 : 0);
    if (elevate)
        return is64Bit ? Launch64BitProxy() : GetElevatedProxy();
    return is64Bit ? Get64BitProxy() : GetNonElevatedProxy();
}

CProxyHandler* CSetupEngine::GetElevatedProxy()
{
    std::unique_ptr<CProxyHandler>& slot = m_model->proxies.elevated;
    if (!slot) {
        const _stringx self = OwnModulePath();
        if (self.empty()) {
            ENGINE_TRACE(L"Failed to obtain the running setup path for elevated proxy");
            return nullptr;
        }
        slot = LaunchProxy(self, true);
    }
    return slot.get();
}

CProxyHandler* CSetupEngine::GetNonElevatedProxy()
{
    std::unique_ptr<CProxyHandler>& slot = m_model->proxies.nonElevated;
    if (!slot) {
        const _stringx self = OwnModulePath();
        if (self.empty()) {
            ENGINE_TRACE(L"Failed to obtain the running setup path for nonelevated proxy");
            return nullptr;
        }
        slot = LaunchProxy(self, false);
    }
    return slot.get();
}

CProxyHandler* CSetupEngine::Get64BitProxy()
{
    std::unique_ptr<CProxyHandler>& slot = m_model->proxies.x64;
    if (!slot)
        slot = LaunchProxy(GetHelperPath(k64BitCompanion), false);
    return slot.get();
}

CProxyHandler* CSetupEngine::GetAppxHelperProxyHandler()
{
    std::unique_ptr<CProxyHandler>& slot = m_model->proxies.appxHelper;
    if (slot)
        return slot.get();
    const OSVERSIONINFOEXW& os = OsVersionInfo();
    const int version = static_cast<int>(os.dwMajorVersion * 100 + os.dwMinorVersion);
    if (version < kAppxFirstVersion) {
        ENGINE_TRACE(L"GetAppxHelperProxyHandler: request for appx proxy not supported on this platform (%d)", version);
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    slot = LaunchProxy(GetHelperPath(kAppxCompanion), false);
    return slot.get();
}

CProxyHandler* CSetupEngine::Launch64BitProxy()
{
    std::unique_ptr<CProxyHandler>& slot = m_model->proxies.elevatedX64;
    if (slot)
        return slot.get();
    const _stringx program = GetHelperPath(k64BitCompanion);
    CProxyHandler* elevated = GetElevatedProxy();
    if (!elevated)
        return nullptr;

    const ProxyNames names = NewProxyNames();
    HANDLE pipe = CreateProxyPipe(names.pipe);
    if (pipe == INVALID_HANDLE_VALUE) {
        ENGINE_TRACE(L"Failed to create pipe server for elevated 64-bit proxy, error %x", GetLastError());
        return nullptr;
    }
    kr::handle_holder pipeHolder(pipe);
    kr::handle_holder started(CreateEventW(nullptr, TRUE, FALSE, names.event.c_str()));

    const _stringx arguments = L"-embedded:" + names.id;
    const DWORD status =
        elevated->SendRequest(kLaunchProcess, 1, program.c_str(), static_cast<DWORD>(program.size() * sizeof(wchar_t)),
                              arguments.c_str(), static_cast<DWORD>(arguments.size() * sizeof(wchar_t)));
    if (status != 0) {
        ENGINE_TRACE(L"Failed to launch 64-bit proxy handler '%s' through elevated embed, error %x", program.c_str(),
                     status);
        return nullptr;
    }
    if (WaitForSingleObject(started.get(), kStartWait) != WAIT_OBJECT_0) {
        ENGINE_TRACE(L"Timed out waiting for 64-bit elevated proxy to respond");
        return nullptr;
    }
    std::unique_ptr<CProxyHandler> handler = NewHandler(pipeHolder.get(), nullptr);
    if (!handler)
        return nullptr;
    pipeHolder.detach();
    if (!Connect(*handler, L"Failed to connect/verify 64-bit elevated proxy, error %x",
                 L"Failed to initialize 64-bit elevated proxy communication, error %x"))
        return nullptr;
    slot = std::move(handler);
    return slot.get();
}

std::unique_ptr<CProxyHandler> CSetupEngine::LaunchProxy(const _stringx& program, bool elevated)
{
    const ProxyNames names = NewProxyNames();
    HANDLE pipe = CreateProxyPipe(names.pipe);
    if (pipe == INVALID_HANDLE_VALUE) {
        ENGINE_TRACE(L"Failed to create pipe server for elevated proxy, error %x", GetLastError());
        return nullptr;
    }
    kr::handle_holder pipeHolder(pipe);
    kr::handle_holder started(CreateEventW(nullptr, TRUE, FALSE, names.event.c_str()));

    kr::launch_request request;
    request.program = program;
    request.arguments = L"-embedded:" + names.id;
    if (!elevated)
        request.arguments += L" -KR_temp";
    request.verb = elevated ? L"runas" : L"open";
    request.show = SW_SHOWNORMAL;
    request.wait_flags = kr::launch_through_shell;
    request.extra_flags = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
    if (kr::launch_process(request) != kr::launch_started) {
        ENGINE_TRACE(L"Failed to launch proxy process '%s', error %x", program.c_str(), kr::last_result());
        return nullptr;
    }
    // The handler keeps the process handle for its wait at the end.
    kr::handle_holder process(std::exchange(kr::state().last_process.hProcess, nullptr));
    kr::close_last_process();

    // A proxy that ends before it signals (elevation refused, a crash) gives
    // none at once rather than after the whole start time-out.
    const HANDLE startOrEnd[] = {started.get(), process.get()};
    const DWORD waited = WaitForMultipleObjects(process.get() ? 2 : 1, startOrEnd, FALSE, kStartWait);
    if (waited != WAIT_OBJECT_0) {
        ENGINE_TRACE(L"Timed out waiting for proxy to respond");
        return nullptr;
    }
    std::unique_ptr<CProxyHandler> handler = NewHandler(pipeHolder.get(), process.get());
    if (!handler)
        return nullptr;
    pipeHolder.detach();
    process.detach();
    if (!Connect(*handler, L"Failed to connect/verify proxy, error %x",
                 L"Failed to initialize proxy communication, error %x"))
        return nullptr;
    return handler;
}

_stringx CSetupEngine::GetHelperPath(const _stringx& fileName)
{
    _stringx path = m_supportFolder;
    if (!path.empty() && path[path.size() - 1] != L'\\')
        path += L"\\";
    path += fileName;
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && m_stream && m_stream->is_open()) {
        CreateDirectoryW(m_supportFolder.c_str(), nullptr);
        m_stream->ExtractStreamFile(fileName, path, nullptr);
    }
    return path;
}

void CSetupEngine::SetSetupStream(std::unique_ptr<STREAM> stream)
{
    m_stream = std::move(stream);
}

CSetupEngine::ProxyProviderFace::ProxyProviderFace(CSetupEngine& engine) : m_engine(engine)
{
    SetProxyProvider(this);
}

CSetupEngine::ProxyProviderFace::~ProxyProviderFace()
{
    if (ProxyProvider() == this)
        SetProxyProvider(nullptr);
}

CProxyHandler* CSetupEngine::ProxyProviderFace::GetProxyHandler(bool elevated, bool is64Bit)
{
    return m_engine.GetProxyHandler(elevated, is64Bit);
}

CProxyHandler* CSetupEngine::ProxyProviderFace::GetElevatedProxy()
{
    return m_engine.GetElevatedProxy();
}

IBootstrap2* CSetupEngine::ProxyProviderFace::Bootstrap()
{
    return &m_engine;
}
