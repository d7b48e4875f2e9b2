#include "parcels/ProxyHandler.h"

#include "kr/handle_holder.h"

namespace {

constexpr DWORD kNoReply = ERROR_PIPE_NOT_CONNECTED; // 233
constexpr DWORD kQuitWait = 15000;

} // namespace

CProxyHandler::CProxyHandler(HANDLE pipe, HANDLE process) noexcept : CNamedPipeHandler(pipe), process_(process) {}

CProxyHandler::CProxyHandler(const _stringx& pipe_name)
    : CNamedPipeHandler(
          CreateFileW(pipe_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
{
}

CProxyHandler::~CProxyHandler()
{
    Quit();
    handlers_.clear();
    if (process_)
        CloseHandle(process_);
}

DWORD CProxyHandler::WaitForConnection(DWORD timeout)
{
    kr::handle_holder connected(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED overlapped = {};
    overlapped.hEvent = connected.get();
    if (ConnectNamedPipe(Pipe(), connected.get() ? &overlapped : nullptr) || GetLastError() == ERROR_PIPE_CONNECTED)
        return 0;
    if (GetLastError() != ERROR_IO_PENDING)
        return GetLastError();
    const HANDLE waits[] = {connected.get(), process_};
    const DWORD waited = WaitForMultipleObjects(process_ ? 2 : 1, waits, FALSE, timeout);
    DWORD moved = 0;
    if (waited == WAIT_OBJECT_0)
        return GetOverlappedResult(Pipe(), &overlapped, &moved, FALSE) ? 0 : GetLastError();
    // The connect must be over before the OVERLAPPED goes.
    CancelIo(Pipe());
    if (GetOverlappedResult(Pipe(), &overlapped, &moved, TRUE))
        return 0;
    return waited == WAIT_TIMEOUT ? static_cast<DWORD>(WAIT_TIMEOUT) : static_cast<DWORD>(ERROR_BROKEN_PIPE);
}

DWORD CProxyHandler::Handshake()
{
    const DWORD engine = GetCurrentProcessId();
    if (const DWORD error = WriteMessage(kPipeHello, &engine, sizeof(engine)))
        return error;
    const std::optional<PipeBytes> reply = ReadReply();
    DWORD status = 0;
    if (!reply || !ReadWord(*reply, status))
        return kNoReply;
    connected_ = true;
    return status;
}

DWORD CProxyHandler::SendRequest(DWORD code, DWORD value, const void* data1, DWORD length1, const void* data2,
                                 DWORD length2)
{
    if ((!data1 && length1) || (!data2 && length2))
        return ERROR_INVALID_PARAMETER;
    const std::vector<BYTE> request = WriteProxyRequest(
        code, value, PipeBytes(static_cast<const BYTE*>(data1), length1),
        PipeBytes(static_cast<const BYTE*>(data2), length2));
    if (const DWORD error = WriteMessage(kPipeRequest, request.data(), static_cast<DWORD>(request.size())))
        return error;
    // Whatever the reply's type, its first word is the status; a reply too
    // short to hold one counts as none.
    const std::optional<PipeBytes> reply = ReadReply();
    DWORD status = 0;
    if (!reply || !ReadWord(*reply, status))
        return kNoReply;
    return status;
}

std::optional<PipeBytes> CProxyHandler::ReadReply()
{
    if (ReadMessage() != 0 || !HasPayload())
        return std::nullopt;
    return Payload();
}

void CProxyHandler::Quit()
{
    if (!connected_)
        return;
    WriteMessage(kPipeQuit, nullptr, 0);
    connected_ = false;
    if (process_) {
        WaitForSingleObject(process_, kQuitWait);
        CloseHandle(process_);
        process_ = nullptr;
    }
}

void CProxyHandler::RemoveHandler(DWORD code)
{
    if (code <= 17)
        handlers_.erase(code);
}

IProxyHandler* CProxyHandler::FindHandler(DWORD code) const
{
    const auto found = handlers_.find(code);
    return found == handlers_.end() ? nullptr : found->second;
}
