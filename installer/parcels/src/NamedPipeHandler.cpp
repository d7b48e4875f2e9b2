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

// Reads and writes block on every pipe handle: the engine's end is made for
// overlapped use so that its wait for the proxy's connection can be bounded,
// and there a call without an OVERLAPPED would not wait for its bytes.
class BlockingIo {
public:
    BlockingIo() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { overlapped_.hEvent = event_; }
    ~BlockingIo()
    {
        if (event_)
            CloseHandle(event_);
    }
    BlockingIo(const BlockingIo&) = delete;
    BlockingIo& operator=(const BlockingIo&) = delete;

    // The call's result once it has completed; count gets the bytes moved.
    BOOL Finish(HANDLE pipe, BOOL started, DWORD& count)
    {
        if (!started && GetLastError() == ERROR_IO_PENDING)
            return GetOverlappedResult(pipe, &overlapped_, &count, TRUE);
        return started;
    }
    OVERLAPPED* get() noexcept { return event_ ? &overlapped_ : nullptr; }

private:
    HANDLE event_;
    OVERLAPPED overlapped_ = {};
};

BOOL BlockingRead(HANDLE pipe, void* buffer, DWORD size, DWORD& read)
{
    BlockingIo io;
    return io.Finish(pipe, ReadFile(pipe, buffer, size, &read, io.get()), read);
}

BOOL BlockingWrite(HANDLE pipe, const void* buffer, DWORD size, DWORD& written)
{
    BlockingIo io;
    return io.Finish(pipe, WriteFile(pipe, buffer, size, &written, io.get()), written);
}

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
        const BOOL ok = BlockingRead(pipe_, at + done, size - done, read);
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
    if (!BlockingWrite(pipe_, &header, sizeof(header), written) && GetLastError() != 0)
        return GetLastError();
    if (payload && size && !BlockingWrite(pipe_, payload, size, written))
        return GetLastError();
    return 0;
}
