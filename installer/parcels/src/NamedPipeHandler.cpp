#include "parcels/NamedPipeHandler.h"

#include <new>

namespace {

constexpr DWORD kMagic1 = 0xDE55ADFF;
constexpr DWORD kMagic2 = 0x55ADFFDE;
constexpr DWORD kNoMemory = 0xC0000017; // STATUS_NO_MEMORY

struct PipeMessageHeader {
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
    pipe_ = INVALID_HANDLE_VALUE;
}

DWORD CNamedPipeHandler::ReadFull(void* buffer, DWORD size)
{
    BYTE* at = static_cast<BYTE*>(buffer);
    DWORD done = 0;
    while (done < size) {
        DWORD read = 0;
        const BOOL ok = ReadFile(pipe_, at + done, size - done, &read, nullptr);
        if (!ok && GetLastError() != 0 && GetLastError() != ERROR_MORE_DATA)
            return GetLastError();
        if (read == 0)
            return ERROR_BROKEN_PIPE;
        done += read;
    }
    return 0;
}

DWORD CNamedPipeHandler::ReadMessage()
{
    PipeMessageHeader header = {};
    if (const DWORD error = ReadFull(&header, sizeof(header)))
        return error;
    // The magic words are not examined.
    type_ = header.type;
    size_ = header.size;
    payload_.clear();
    payload_.shrink_to_fit();
    if (size_ == 0)
        return 0;
    if (size_ > kMaxPayload)
        return kNoMemory;
    std::vector<BYTE> payload;
    try {
        payload.resize(size_);
    } catch (const std::bad_alloc&) {
        return kNoMemory;
    }
    if (const DWORD error = ReadFull(payload.data(), size_))
        return error;
    payload_ = std::move(payload);
    return 0;
}

DWORD CNamedPipeHandler::WriteMessage(DWORD type, const void* payload, DWORD size)
{
    if (!payload && size)
        return ERROR_INVALID_PARAMETER;
    const PipeMessageHeader header = {kMagic1, type, size, kMagic2};
    DWORD written = 0;
    if (!WriteFile(pipe_, &header, sizeof(header), &written, nullptr) && GetLastError() != 0)
        return GetLastError();
    if (payload && size && !WriteFile(pipe_, payload, size, &written, nullptr))
        return GetLastError();
    return 0;
}
