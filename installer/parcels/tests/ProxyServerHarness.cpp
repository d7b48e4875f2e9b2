#include "ProxyServerHarness.h"

#include <cstring>

namespace {

std::wstring Wide(const _stringx& text)
{
    return std::wstring(text.c_str(), text.size());
}

UINT WINAPI RecordedFileVersion(LPCWSTR, LPWSTR version, DWORD* size, LPWSTR, DWORD*)
{
    wcscpy(version, L"5.0.7601.0");
    *size = 10;
    return 0;
}

UINT WINAPI RecordedBegin(LPCWSTR name, DWORD attributes, MSIHANDLE_VALUE* transaction, HANDLE* event)
{
    MsiCalls().push_back(L"begin " + std::wstring(name) + L" " + std::to_wstring(attributes));
    *transaction = 0x1234;
    *event = nullptr;
    return 0;
}

UINT WINAPI RecordedEnd(DWORD state)
{
    MsiCalls().push_back(L"end " + std::to_wstring(state));
    return 0;
}

UINT WINAPI RecordedJoin(MSIHANDLE_VALUE transaction, DWORD attributes, HANDLE*)
{
    MsiCalls().push_back(L"join " + std::to_wstring(transaction) + L" " + std::to_wstring(attributes));
    return 0;
}

} // namespace

std::vector<std::wstring>& MsiCalls()
{
    static std::vector<std::wstring> calls;
    return calls;
}

DWORD RecordingSystem::StartProgram(const _stringx& program, const _stringx& arguments, const _stringx& folder,
                                    HANDLE& process)
{
    calls.push_back(L"start " + Wide(program) + L"|" + Wide(arguments) + L"|" + Wide(folder));
    process = nullptr;
    return 0;
}

DWORD RecordingSystem::WaitForProgram(HANDLE, DWORD& exit_code)
{
    calls.push_back(L"wait");
    exit_code = 3010;
    return 0;
}

LONG RecordingSystem::SetRegistryValue(HKEY, const _stringx& key, REGSAM access, bool create, const _stringx& name,
                                       DWORD type, PipeBytes data)
{
    calls.push_back(L"set " + Wide(key) + L"|" + Wide(name) + L"|" + std::to_wstring(access) + L"|" +
                    std::to_wstring(create) + L"|" + std::to_wstring(type) + L"|" + std::to_wstring(data.size()));
    return 0;
}

LONG RecordingSystem::DeleteRegistryTree(HKEY, const _stringx& parent, const _stringx& leaf, REGSAM access)
{
    calls.push_back(L"delete " + Wide(parent) + L"|" + Wide(leaf) + L"|" + std::to_wstring(access));
    return 0;
}

HMODULE RecordingSystem::LoadModule(const _stringx& path)
{
    calls.push_back(L"load " + Wide(path));
    SetLastError(ERROR_MOD_NOT_FOUND);
    return module;
}

FARPROC RecordingSystem::FindEntry(HMODULE, const char* name)
{
    calls.push_back(L"entry " + std::wstring(name, name + strlen(name)));
    SetLastError(ERROR_PROC_NOT_FOUND);
    return entry;
}

void RecordingSystem::ReleaseModule(HMODULE)
{
    calls.push_back(L"free");
}

const MsiFunctions& RecordingSystem::Msi()
{
    static MsiFunctions table = [] {
        MsiFunctions functions;
        functions.GetFileVersionW = &RecordedFileVersion;
        functions.BeginTransactionW = &RecordedBegin;
        functions.EndTransaction = &RecordedEnd;
        functions.JoinTransaction = &RecordedJoin;
        return functions;
    }();
    return table;
}

namespace {

// An object with no members beyond IDispatch's, which answer nothing.
class BareDispatch final : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID, void** object) override
    {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

private:
    ULONG references_ = 1;
};

} // namespace

HRESULT RecordingWorkers::CreateExtension(CProxyHandler&, bool parcel, IDispatch** extension)
{
    parcel_flags.push_back(parcel);
    *extension = offer_extension ? new BareDispatch : nullptr;
    return offer_extension ? S_OK : E_NOTIMPL;
}

DWORD Message::Word(size_t index) const
{
    DWORD word = 0xFFFFFFFF;
    if (payload.size() >= 4 * (index + 1))
        std::memcpy(&word, payload.data() + 4 * index, 4);
    return word;
}

ServerOnPipe::ServerOnPipe()
{
    static int count = 0;
    const std::wstring name = L"\\\\.\\pipe\\KREngine_{harness-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++count) + L"}";
    // Buffers large enough that no answer blocks the single thread.
    engine_ = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1 << 20, 1 << 20, 0,
                               nullptr);
    server_.Init(name.c_str());
    ConnectNamedPipe(engine_, nullptr);
}

ServerOnPipe::~ServerOnPipe()
{
    CloseHandle(engine_);
}

std::vector<Message> ServerOnPipe::Drain()
{
    std::vector<Message> messages;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(engine_, nullptr, 0, nullptr, &available, nullptr) || available < 16)
            return messages;
        DWORD header[4] = {};
        DWORD read = 0;
        ReadFile(engine_, header, sizeof(header), &read, nullptr);
        Message message;
        message.type = header[1];
        message.payload.resize(header[2]);
        DWORD done = 0;
        while (done < header[2] && ReadFile(engine_, message.payload.data() + done, header[2] - done, &read, nullptr) &&
               read)
            done += read;
        messages.push_back(std::move(message));
    }
}

std::vector<Message> ServerOnPipe::Exchange(DWORD type, const std::vector<BYTE>& payload)
{
    const DWORD header[4] = {0xDE55ADFF, type, static_cast<DWORD>(payload.size()), 0x55ADFFDE};
    DWORD written = 0;
    WriteFile(engine_, header, sizeof(header), &written, nullptr);
    if (!payload.empty())
        WriteFile(engine_, payload.data(), static_cast<DWORD>(payload.size()), &written, nullptr);
    CNamedPipeHandler* pipe = server_.PipeHandler();
    if (pipe->ReadMessage() != 0 || !pipe->HasPayload())
        return {};
    server_.DispatchMessage();
    return Drain();
}

std::vector<Message> ServerOnPipe::Request(DWORD code, DWORD value, const std::vector<BYTE>& data1,
                                           const std::vector<BYTE>& data2)
{
    return Exchange(kPipeRequest, WriteProxyRequest(code, value, data1, data2));
}

std::vector<Message> ServerOnPipe::DispatchInPlace(DWORD type, PipeBytes payload)
{
    server_.Dispatch(type, payload);
    return Drain();
}

std::vector<BYTE> TextBytes(const std::wstring& text)
{
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(p, p + text.size() * 2);
}

std::vector<BYTE> WordBytes(std::initializer_list<DWORD> words)
{
    std::vector<BYTE> bytes;
    for (DWORD word : words) {
        const BYTE* p = reinterpret_cast<const BYTE*>(&word);
        bytes.insert(bytes.end(), p, p + 4);
    }
    return bytes;
}

PipePeer::PipePeer(Script script)
{
    static int count = 0;
    const std::wstring name = L"\\\\.\\pipe\\KREngine_{peer-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++count) + L"}";
    const HANDLE pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 1 << 16,
                                         1 << 16, 0, nullptr);
    thread_ = std::thread([script, name] { script(name); });
    ConnectNamedPipe(pipe, nullptr);
    engine_ = std::make_unique<CProxyHandler>(pipe, nullptr);
}

PipePeer::~PipePeer()
{
    engine_.reset();
    thread_.join();
}
