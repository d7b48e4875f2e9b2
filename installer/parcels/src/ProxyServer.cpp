#include "parcels/ProxyServer.h"

#include <shlobj.h>

#include <cstring>
#include <string>

#include "parcels/MachineWorkers.h"
#include "seh/SehGuard.h"

namespace {

constexpr DWORD kReplyToRequest = kPipeReply | kPipeRequest;
constexpr DWORD kNoPipe = ERROR_PIPE_NOT_CONNECTED;   // 233
constexpr DWORD kNotSupported = ERROR_NOT_SUPPORTED;  // 50
constexpr DWORD kMalformed = ERROR_INVALID_PARAMETER; // 87
constexpr DWORD kNoTransaction = 0xFFFFFFFF;
constexpr REGSAM kRegistryAccess = 0x2001F;

_stringx Text(PipeBytes bytes)
{
    return _stringx(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

_stringx FolderOf(const _stringx& path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (path[i - 1] == L'\\' || path[i - 1] == L'/')
            return _stringx(path.c_str(), i - 1);
    return _stringx();
}

bool IsHex(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": a product code, taken without a file test.
bool IsGuidText(const _stringx& text)
{
    if (text.size() != 38 || text[0] != L'{' || text[37] != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !IsHex(text[i]))
            return false;
    }
    return true;
}

// Only the predefined roots mean the same in both processes.
bool IsPredefinedRoot(DWORD root)
{
    return root >= 0x80000000 && root <= 0x80000006;
}

HKEY RootKey(DWORD root)
{
    // Sign-extended, as the predefined handles are in a 64-bit process.
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root)));
}

class ModuleHolder {
public:
    ModuleHolder(CProxySystem& system, HMODULE module) noexcept : system_(system), module_(module) {}
    ~ModuleHolder()
    {
        if (module_)
            system_.ReleaseModule(module_);
    }
    ModuleHolder(const ModuleHolder&) = delete;
    ModuleHolder& operator=(const ModuleHolder&) = delete;
    HMODULE get() const noexcept { return module_; }

private:
    CProxySystem& system_;
    HMODULE module_;
};

class DispatchHolder {
public:
    DispatchHolder() = default;
    ~DispatchHolder()
    {
        if (object_)
            object_->Release();
    }
    DispatchHolder(const DispatchHolder&) = delete;
    DispatchHolder& operator=(const DispatchHolder&) = delete;
    IDispatch** address() noexcept { return &object_; }
    IDispatch* get() const noexcept { return object_; }

private:
    IDispatch* object_ = nullptr;
};

class BstrHolder {
public:
    explicit BstrHolder(const _stringx& text) : text_(SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size())))
    {
    }
    ~BstrHolder() { SysFreeString(text_); }
    BstrHolder(const BstrHolder&) = delete;
    BstrHolder& operator=(const BstrHolder&) = delete;
    BSTR get() const noexcept { return text_; }

private:
    BSTR text_;
};

using NativeEntry = HRESULT(WINAPI*)(IDispatch* extension);
using PowerShellEntry = HRESULT(WINAPI*)(IDispatch* extension, BSTR script);
using ClrEntry = HRESULT(WINAPI*)(IDispatch* extension, BSTR file, BSTR name, BSTR arguments);
using WebDeployEntry = HRESULT(WINAPI*)(IDispatch* extension, BSTR a, BSTR b);

template <class Entry>
Entry As(FARPROC entry)
{
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(entry));
}

CProxySystem& MachineSystem()
{
    static CProxySystem system;
    return system;
}

CProxyWorkers& MachineWorkers()
{
    static CMachineWorkers workers;
    return workers;
}

} // namespace

CProxyServer::CProxyServer() : CProxyServer(MachineSystem(), MachineWorkers()) {}

CProxyServer::CProxyServer(CProxySystem& system, CProxyWorkers& workers) : system_(system), workers_(workers)
{
    table_[1] = &CProxyServer::LaunchProcess;
    table_[2] = &CProxyServer::InstallMsi;
    table_[3] = &CProxyServer::BeginTransaction;
    table_[4] = &CProxyServer::EndTransaction;
    table_[5] = &CProxyServer::JoinTransaction;
    table_[6] = &CProxyServer::TransactionHandle;
    table_[7] = &CProxyServer::ProgramFilesFolder;
    table_[8] = &CProxyServer::RegisterArp;
    table_[9] = &CProxyServer::SuiteExtensionCall;
    table_[10] = &CProxyServer::RunKrpSetup;
    table_[11] = &CProxyServer::AppxRequest;
    table_[12] = &CProxyServer::CallExtension;
    table_[14] = &CProxyServer::CallQuillex;
    table_[15] = &CProxyServer::LaunchElevatedExe;
    table_[16] = &CProxyServer::WebDeploy;
    table_[17] = &CProxyServer::RegistryRequest;
}

CProxyServer::~CProxyServer() = default;

void CProxyServer::Init(const _stringx& pipe_name)
{
    quit_ = false;
    transaction_.reset();
    handler_ = std::make_unique<CProxyHandler>(pipe_name);
}

DWORD CProxyServer::DispatchMessage()
{
    if (!handler_)
        return kMalformed;
    return Dispatch(handler_->Type(), handler_->Payload());
}

DWORD CProxyServer::Dispatch(DWORD type, PipeBytes payload)
{
    if (!handler_)
        return kMalformed;
    if (type == kPipeQuit) {
        quit_ = true;
        status_ = 0;
        return 0;
    }
    if (type != kPipeRequest) {
        const DWORD zero = 0;
        handler_->WriteMessage(type | kPipeReply, &zero, sizeof(zero));
        return 0;
    }
    DWORD status = kNoPipe;
    Reply reply;
    ProxyRequestView request;
    if (payload.empty())
        status = kNoPipe;
    else if (!ReadProxyRequest(payload, request))
        status = kMalformed;
    else if (request.code >= table_.size() || !table_[request.code])
        status = kNotSupported;
    else
        status = (this->*table_[request.code])(request, reply);
    if (!reply.empty())
        handler_->WriteMessage(kReplyToRequest, reply.data(), static_cast<DWORD>(reply.size()));
    else
        handler_->WriteMessage(kReplyToRequest, &status, sizeof(status));
    return 0;
}

void CProxyServer::Accept()
{
    const DWORD zero = 0;
    handler_->WriteMessage(kReplyToRequest, &zero, sizeof(zero));
}

void CProxyServer::Callback(DWORD code, DWORD zero_bytes)
{
    std::vector<BYTE> payload(4 + zero_bytes);
    memcpy(payload.data(), &code, 4);
    handler_->WriteMessage(kPipeCallback, payload.data(), static_cast<DWORD>(payload.size()));
}

DWORD CProxyServer::Launch(const _stringx& program, const _stringx& arguments, bool wait)
{
    HANDLE process = nullptr;
    if (const DWORD error = system_.StartProgram(program, arguments, FolderOf(program), process))
        return error;
    if (!wait) {
        if (process)
            CloseHandle(process);
        return 0;
    }
    Accept();
    DWORD exit_code = 0;
    const DWORD waited = system_.WaitForProgram(process, exit_code);
    if (process)
        CloseHandle(process);
    Callback(2, 4);
    return waited ? waited : exit_code;
}

DWORD CProxyServer::LaunchProcess(const ProxyRequestView& request, Reply&)
{
    return Launch(Text(request.data1), Text(request.data2), request.value != 1);
}

DWORD CProxyServer::LaunchElevatedExe(const ProxyRequestView& request, Reply&)
{
    ExeLaunchData data;
    if (!ReadExeLaunchData(request.data2, data))
        return kMalformed;
    return Launch(Text(request.data1), data.arguments, data.wait != 0);
}

DWORD CProxyServer::InstallMsi(const ProxyRequestView& request, Reply&)
{
    MsiInstallRequest install;
    if (!ReadMsiCommandData(request.data2, install.command))
        return kMalformed;
    install.package = Text(request.data1);
    install.configure = (request.value & 1) != 0;
    install.operation = (request.value >> 1) & 0xFF;
    install.ui_kind = (request.value >> 17) & 0xF;
    if (!IsGuidText(install.package) && GetFileAttributesW(install.package.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ERROR_FILE_NOT_FOUND;
    Accept();
    const DWORD result = workers_.InstallMsi(*handler_, install);
    Callback(3, 24);
    return result;
}

// A second begin before an end rolls the open transaction back first.
DWORD CProxyServer::BeginTransaction(const ProxyRequestView& request, Reply&)
{
    if (transaction_) {
        transaction_->End(false);
        transaction_.reset();
    }
    transaction_ = std::make_unique<CMsiTransactionRecord>(system_.Msi(), request.value != 0);
    transaction_->CheckSupport();
    const HRESULT begun = transaction_->Begin();
    return begun == S_FALSE ? 0 : static_cast<DWORD>(begun);
}

DWORD CProxyServer::EndTransaction(const ProxyRequestView& request, Reply&)
{
    if (!transaction_)
        return 0;
    const HRESULT ended = transaction_->End(request.value != 0);
    transaction_.reset();
    return ended == S_FALSE ? 0 : static_cast<DWORD>(ended);
}

DWORD CProxyServer::JoinTransaction(const ProxyRequestView& request, Reply&)
{
    CMsiTransactionRecord joined(system_.Msi(), true);
    joined.CheckSupport();
    joined.Join(request.value, 1);
    return 0;
}

DWORD CProxyServer::TransactionHandle(const ProxyRequestView&, Reply&)
{
    return transaction_ ? transaction_->Handle() : kNoTransaction;
}

DWORD CProxyServer::ProgramFilesFolder(const ProxyRequestView& request, Reply& reply)
{
    DWORD selector = 0;
    if (!ReadWord(request.data1, selector))
        return kMalformed;
    wchar_t path[MAX_PATH] = {};
    if (selector == 0)
        SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE);
    else if (selector == 1)
        SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES_COMMON, FALSE);
    reply = WriteFolderReply(_stringx(path) + L"\\");
    return 0;
}

DWORD CProxyServer::RegisterArp(const ProxyRequestView& request, Reply&)
{
    ArpRecord record;
    if (!ReadArpRecord(request.data1, record))
        return kMalformed;
    return workers_.RegisterArp(record);
}

// Extension call-backs run in the engine; the proxy serves none.
DWORD CProxyServer::SuiteExtensionCall(const ProxyRequestView&, Reply&)
{
    return kNotSupported;
}

DWORD CProxyServer::RunKrpSetup(const ProxyRequestView& request, Reply&)
{
    static const _stringx kSwitch = L"-krenginedir:";
    const _stringx setup_path = Text(request.data1);
    _stringx command_line = Text(request.data2);
    const size_t at = command_line.find(kSwitch);
    if (at == _stringx::npos)
        return static_cast<DWORD>(E_INVALIDARG);
    _stringx engine_dll(command_line, at + kSwitch.size());
    command_line = _stringx(command_line, 0, at);
    if (!engine_dll.empty() && engine_dll[0] == L'"')
        engine_dll = _stringx(engine_dll, 1);
    if (!engine_dll.empty() && engine_dll[engine_dll.size() - 1] == L'"')
        engine_dll = _stringx(engine_dll, 0, engine_dll.size() - 1);

    DispatchHolder extension;
    if (const HRESULT created = workers_.CreateExtension(*handler_, false, extension.address()); FAILED(created))
        return static_cast<DWORD>(created);
    Accept();
    const HRESULT result = workers_.RunKrpSetup(*handler_, engine_dll, setup_path, command_line, extension.get());
    Callback(3, 20);
    return static_cast<DWORD>(result);
}

DWORD CProxyServer::AppxRequest(const ProxyRequestView& request, Reply&)
{
    DWORD operation = 0;
    if (request.data1.empty() || request.data2.empty() || !ReadWord(request.data2, operation))
        return kMalformed;
    if (operation != 5)
        return kNotSupported;
    return workers_.ImportCertificate(Text(request.data1));
}

DWORD CProxyServer::CallExtension(const ProxyRequestView& request, Reply&)
{
    const bool power_shell = (request.value & 4) != 0;
    const bool managed = !power_shell && (request.value & 2) != 0;
    ClrCallData clr;
    if (managed && !ReadClrCallData(request.data2, clr))
        return kMalformed;
    const _stringx text2 = Text(request.data2);

    ModuleHolder module(system_, system_.LoadModule(Text(request.data1)));
    if (!module.get())
        return GetLastError();
    FARPROC entry = nullptr;
    if (power_shell) {
        entry = system_.FindEntry(module.get(), "_SuitePSHostEntry@8");
    } else if (managed) {
        entry = system_.FindEntry(module.get(), "_SuiteClrActionEntry@16");
    } else {
        const int size = WideCharToMultiByte(CP_ACP, 0, text2.c_str(), static_cast<int>(text2.size()), nullptr, 0,
                                             nullptr, nullptr);
        std::string name(static_cast<size_t>(size), '\0');
        WideCharToMultiByte(CP_ACP, 0, text2.c_str(), static_cast<int>(text2.size()), name.data(), size, nullptr,
                            nullptr);
        entry = system_.FindEntry(module.get(), name.c_str());
    }
    if (!entry)
        return GetLastError();

    DispatchHolder extension;
    if (const HRESULT created = workers_.CreateExtension(*handler_, (request.value & 1) != 0, extension.address());
        FAILED(created))
        return static_cast<DWORD>(created);
    Accept();
    IDispatch* const ext = extension.get();
    SehOutcome outcome;
    if (power_shell) {
        BstrHolder script(text2);
        outcome = RunSehGuarded([&] { return As<PowerShellEntry>(entry)(ext, script.get()); });
    } else if (managed) {
        BstrHolder file(clr.file), name(clr.name), arguments(clr.arguments);
        outcome = RunSehGuarded([&] { return As<ClrEntry>(entry)(ext, file.get(), name.get(), arguments.get()); });
    } else {
        outcome = RunSehGuarded([&] { return As<NativeEntry>(entry)(ext); });
    }
    return outcome.result;
}

DWORD CProxyServer::CallQuillex(const ProxyRequestView& request, Reply&)
{
    QuillexCallData call;
    if (!ReadQuillexCallData(request.data2, call))
        return kMalformed;
    _stringx folder = Text(request.data1);
    if (!folder.empty() && folder[folder.size() - 1] != L'\\')
        folder += L"\\";
    ModuleHolder engine(system_, system_.LoadModule(folder + L"REViziz.dll"));
    if (!engine.get())
        return GetLastError();
    DispatchHolder extension;
    if (const HRESULT created = workers_.CreateExtension(*handler_, (request.value & 1) != 0, extension.address());
        FAILED(created))
        return static_cast<DWORD>(created);
    Accept();
    return static_cast<DWORD>(workers_.RunQuillex(*handler_, engine.get(), folder, call, extension.get()));
}

DWORD CProxyServer::WebDeploy(const ProxyRequestView& request, Reply&)
{
    WebDeployCallData data;
    if (!ReadWebDeployCallData(request.data2, data))
        return kMalformed;
    ModuleHolder module(system_, system_.LoadModule(Text(request.data1)));
    if (!module.get())
        return GetLastError();
    const FARPROC entry = system_.FindEntry(module.get(), "_SuiteWebDeployEntry@12");
    if (!entry)
        return GetLastError();
    DispatchHolder extension;
    if (const HRESULT created = workers_.CreateExtension(*handler_, false, extension.address()); FAILED(created))
        return static_cast<DWORD>(created);
    Accept();
    BstrHolder a(data.a), b(data.b);
    IDispatch* const ext = extension.get();
    const SehOutcome outcome = RunSehGuarded([&] { return As<WebDeployEntry>(entry)(ext, a.get(), b.get()); });
    Callback(1, 16);
    return outcome.result;
}

// A delete needs a parent and a last component that are not empty: an empty
// last component would make the whole parent the tree to delete.
DWORD CProxyServer::RegistryRequest(const ProxyRequestView& request, Reply&)
{
    if (request.data1.empty())
        return kMalformed;
    RegistryRecord record;
    if (!ReadRegistryRecord(request.data1, record) || !IsPredefinedRoot(record.root))
        return kMalformed;
    REGSAM access = kRegistryAccess;
    if (record.flags & 1)
        access |= KEY_WOW64_64KEY;
    const HKEY root = RootKey(record.root);
    if (request.value == 1)
        return static_cast<DWORD>(system_.SetRegistryValue(root, record.key_path, access, (record.flags & 2) != 0,
                                                           record.value_name, record.type, record.data));
    if (request.value != 2)
        return kNotSupported;
    const _stringx& path = record.key_path;
    size_t split = _stringx::npos;
    for (size_t i = path.size(); i > 0; --i)
        if (path[i - 1] == L'\\') {
            split = i - 1;
            break;
        }
    if (split == _stringx::npos || split == 0 || split + 1 == path.size())
        return kMalformed;
    return static_cast<DWORD>(
        system_.DeleteRegistryTree(root, _stringx(path, 0, split), _stringx(path, split + 1), access));
}
