#include "proxy_server.h"

#include <new>

namespace {

constexpr DWORD kMagic1 = 0xDE55ADFF;
constexpr DWORD kMagic2 = 0x55ADFFDE;
constexpr DWORD kRequest = 1;
constexpr DWORD kQuit = 4;
constexpr DWORD kReply = 0x80000000;
constexpr DWORD kNotSupported = ERROR_NOT_SUPPORTED; // 50
constexpr DWORD kNoMemory = 0xC0000017;               // STATUS_NO_MEMORY
// No request or reply of the protocol comes near this size.
constexpr DWORD kMaxPayload = 16 * 1024 * 1024;

struct header {
    DWORD magic1;
    DWORD type;
    DWORD size;
    DWORD magic2;
};

} // namespace

CNamedPipeHandler::~CNamedPipeHandler()
{
    if (pipe_ && pipe_ != INVALID_HANDLE_VALUE)
        CloseHandle(pipe_);
}

// The header must arrive whole with its one read, and a payload larger than
// any message of the protocol is refused before anything is allocated for it.
DWORD CNamedPipeHandler::ReadMessage()
{
    header h = {};
    DWORD read = 0;
    if (!ReadFile(pipe_, &h, sizeof(h), &read, nullptr) && GetLastError() != 0)
        return GetLastError();
    if (read != sizeof(h))
        return ERROR_INVALID_DATA;
    if (h.size > kMaxPayload)
        return ERROR_INVALID_DATA;
    type_ = h.type;
    size_ = h.size;
    payload_.clear();
    if (size_ == 0)
        return 0;
    std::vector<BYTE> payload;
    try {
        payload.resize(size_);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    DWORD done = 0;
    while (done < size_) {
        if (!ReadFile(pipe_, payload.data() + done, size_ - done, &read, nullptr) || read == 0)
            return GetLastError() ? GetLastError() : static_cast<DWORD>(ERROR_HANDLE_EOF);
        done += read;
    }
    payload_ = std::move(payload);
    return 0;
}

DWORD CNamedPipeHandler::WriteMessage(DWORD type, const void* payload, DWORD size)
{
    if (!payload && size)
        return ERROR_INVALID_PARAMETER;
    const header h = {kMagic1, type, size, kMagic2};
    DWORD written = 0;
    if (!WriteFile(pipe_, &h, sizeof(h), &written, nullptr) && GetLastError() != 0)
        return GetLastError();
    if (payload && size && !WriteFile(pipe_, payload, size, &written, nullptr))
        return GetLastError();
    return 0;
}

void CProxyServer::Init(const _stringx& pipe_name)
{
    quit_ = false;
    const HANDLE pipe =
        CreateFileW(pipe_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    handler_.reset(new CNamedPipeHandler(pipe));
}

DWORD CProxyServer::DispatchMessage()
{
    if (!handler_)
        return ERROR_INVALID_PARAMETER;
    const DWORD type = handler_->Type();
    if (type == kQuit) {
        quit_ = true;
        status_ = 0;
        return 0;
    }
    const DWORD status = type == kRequest ? kNotSupported : 0;
    handler_->WriteMessage(type | kReply, &status, sizeof(status));
    return 0;
}
