#pragma once

// Framing on the pipe between the engine and a proxy: a 16-byte header
// {0xDE55ADFF, type, payload size, 0x55ADFFDE}, then the payload. The last
// message read stays here (type, size, payload) until the next read.

#include <windows.h>

#include <vector>

#include "parcels/PipeRecords.h"

class CNamedPipeHandler {
public:
    // Takes ownership of the pipe handle.
    explicit CNamedPipeHandler(HANDLE pipe) noexcept : pipe_(pipe) {}
    virtual ~CNamedPipeHandler();
    CNamedPipeHandler(const CNamedPipeHandler&) = delete;
    CNamedPipeHandler& operator=(const CNamedPipeHandler&) = delete;

    // 0, or the error of the read. Header and payload are read in full: short
    // reads go on, and the end of the pipe before the end of the message is an
    // error. 0xC0000017 when the payload cannot be allocated (it stays unread).
    DWORD ReadMessage();
    // 0, or the error of the write; 87 for a null payload with a size.
    DWORD WriteMessage(DWORD type, const void* payload, DWORD size);

    // False after a read that lost the payload of the message it announced.
    bool HasPayload() const noexcept { return size_ == 0 || !payload_.empty(); }
    DWORD Type() const noexcept { return type_; }
    DWORD Size() const noexcept { return size_; }
    PipeBytes Payload() const noexcept { return payload_; }
    HANDLE Pipe() const noexcept { return pipe_; }

    // Above this a payload counts as one that cannot be allocated: no message
    // of the protocol comes near it, and the elevated proxy must not be made to
    // reserve gigabytes by a header.
    static constexpr DWORD kMaxPayload = 16 * 1024 * 1024;

private:
    DWORD ReadFull(void* buffer, DWORD size);

    DWORD type_ = 0xFFFFFFFF;
    DWORD size_ = 0;
    std::vector<BYTE> payload_;
    HANDLE pipe_;
};
