#include "ProxyTestSupport.h"

#include <tlhelp32.h>
#include <wincrypt.h>
#include <winternl.h>

#include <vector>

#include "NotElevatedProcess.h"
#include "ProcessParameters.h"
#include "parcels/PipeRecords.h"

namespace proxy_testing {

namespace {

#ifndef _WIN64
// A 32-bit process cannot read a 64-bit one's parameter block, so the 64-bit
// probe beside the companion reads it from an inherited handle.
std::wstring CommandLineThroughProbe(HANDLE process)
{
    HANDLE inherited = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &inherited,
                         PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, TRUE, 0))
        return L"";
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    std::wstring line;
    if (CreatePipe(&readEnd, &writeEnd, &attributes, 0)) {
        SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
        std::wstring command = L"\"" + std::wstring(COMPANION_BIN) + L"\\CommandLineProbe.exe\" " +
                               std::to_wstring(reinterpret_cast<ULONG_PTR>(inherited));
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = writeEnd;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        PROCESS_INFORMATION started = {};
        const BOOL ran = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &started);
        CloseHandle(writeEnd);
        if (ran) {
            std::vector<char> bytes;
            char chunk[4096];
            DWORD read = 0;
            while (ReadFile(readEnd, chunk, sizeof(chunk), &read, nullptr) && read)
                bytes.insert(bytes.end(), chunk, chunk + read);
            WaitForSingleObject(started.hProcess, INFINITE);
            CloseHandle(started.hThread);
            CloseHandle(started.hProcess);
            line.assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
        }
        CloseHandle(readEnd);
    }
    CloseHandle(inherited);
    return line;
}

bool IsForeign64BitProcess(HANDLE process)
{
    BOOL selfWow64 = FALSE;
    BOOL targetWow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &selfWow64) && selfWow64 &&
           IsWow64Process(process, &targetWow64) && !targetWow64;
}
#endif

constexpr wchar_t kReportVariable[] = L"ENGINE_PROXY_TEST_REPORT";

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

} // namespace

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

std::wstring SelfPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::map<std::wstring, std::wstring> RunReportingChild(const std::wstring& filter, bool restricted)
{
    engine_testing::TempFile report(L"");
    SetEnvironmentVariableW(kReportVariable, report.Path().c_str());
    const std::wstring command = L"\"" + SelfPath() + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + filter;
    DWORD code = ~0u;
    if (restricted) {
        code = RunWithAdministratorsDenied(command, 120000);
    } else {
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        std::wstring writable = command;
        if (CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            WaitForSingleObject(process.hProcess, 120000);
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    SetEnvironmentVariableW(kReportVariable, nullptr);
    std::map<std::wstring, std::wstring> values;
    values[L"exit"] = std::to_wstring(code);
    std::wifstream in(Narrow(report.Path()));
    std::wstring line;
    while (std::getline(in, line)) {
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos)
            values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

bool TestPublisherInTrustedPeople(bool remove)
{
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_REGISTRY_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"TrustedPeople");
    if (!store)
        return false;
    BYTE hash[] = {0xC6, 0x06, 0x92, 0xE4, 0x53, 0xCE, 0x46, 0x65, 0x3E, 0xE0,
                   0x90, 0x19, 0x36, 0x79, 0xB4, 0x8C, 0xCC, 0xE3, 0xAB, 0xAD};
    CRYPT_HASH_BLOB blob = {sizeof(hash), hash};
    PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &blob, nullptr);
    if (found && remove)
        CertDeleteCertificateFromStore(found); // frees the context
    else if (found)
        CertFreeCertificateContext(found);
    CertCloseStore(store, 0);
    return found != nullptr;
}

Report::Report() : m_out(Narrow(Variable(kReportVariable))) {}

std::wstring ProcessImage(HANDLE process)
{
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    return QueryFullProcessImageNameW(process, 0, path, &size) ? std::wstring(path, size) : L"";
}

std::wstring ProcessCommandLine(HANDLE process)
{
    constexpr PROCESSINFOCLASS kCommandLineInformation = static_cast<PROCESSINFOCLASS>(60);
    std::vector<BYTE> buffer(16384);
    ULONG length = 0;
    if (NtQueryInformationProcess(process, kCommandLineInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &length) >= 0) {
        const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
        return std::wstring(text->Buffer, text->Length / sizeof(wchar_t));
    }
#ifndef _WIN64
    if (IsForeign64BitProcess(process))
        return CommandLineThroughProbe(process);
#endif
    return CommandLineFromPeb(process);
}

HANDLE FindChildProcess(DWORD parent, const std::wstring& imageName)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return nullptr;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    HANDLE found = nullptr;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, imageName.c_str()) == 0)
            found = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ | PROCESS_QUERY_INFORMATION |
                                    SYNCHRONIZE,
                                FALSE, entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

std::wstring CompanionPath()
{
    return std::wstring(COMPANION_BIN) + L"\\Veltrun64.exe";
}

std::wstring CompanionCarrierPath()
{
    return std::wstring(COMPANION_BIN) + L"\\VeltrunCarrier.exe";
}

std::wstring OwnExtensionPath()
{
    return ProgramFolder() + L"ExtensionStandIn.dll";
}

std::wstring ForeignExtensionPath()
{
#ifdef _WIN64
    return ProgramFolder() + L"ExtensionStandIn32.dll";
#else
    return std::wstring(COMPANION_BIN) + L"\\ExtensionStandIn.dll";
#endif
}

ScriptedPeer::ScriptedPeer(Script script, HANDLE processStandIn)
{
    static LONG counter = 0;
    const std::wstring name = L"\\\\.\\pipe\\KRProxyTestPeer_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(InterlockedIncrement(&counter));
    HANDLE server = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    HANDLE client = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    m_engineEnd = std::make_unique<CProxyHandler>(server, processStandIn);
    m_engineEnd->WaitForConnection(1000);
    m_peerEnd = std::make_unique<CNamedPipeHandler>(client);
    // The peer's end closes when its script is over.
    m_thread = std::thread([this, script = std::move(script)] {
        script(*m_peerEnd);
        m_peerEnd.reset();
    });
}

ScriptedPeer::~ScriptedPeer()
{
    Join();
}

void ScriptedPeer::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool ReadNext(CNamedPipeHandler& peer)
{
    return peer.ReadMessage() == 0 && peer.HasPayload();
}

void WriteWordMessage(CNamedPipeHandler& peer, DWORD type, DWORD word)
{
    peer.WriteMessage(type, &word, sizeof(word));
}

ScriptedPeer::Script LosingProxy(LostResult loss, std::vector<DWORD> endCallback)
{
    return [loss, endCallback](CNamedPipeHandler& proxy) {
        if (!ReadNext(proxy))
            return;
        WriteWordMessage(proxy, kPipeReply | kPipeRequest, 0);
        proxy.WriteMessage(kPipeCallback, endCallback.data(), static_cast<DWORD>(endCallback.size() * sizeof(DWORD)));
        if (loss == LostResult::Dropped)
            return;
        proxy.WriteMessage(kPipeReply | kPipeRequest, nullptr, 0);
        ReadNext(proxy);
    };
}

void ProxyEngine::PlaceCompanion(const std::wstring& program)
{
    CopyFileW(program.c_str(), (m_support / L"Veltrun64.exe").c_str(), FALSE);
}

void ProxyEngine::RemoveCompanion()
{
    DeleteFileW((m_support / L"Veltrun64.exe").c_str());
}

} // namespace proxy_testing
