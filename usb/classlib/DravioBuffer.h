// One transfer descriptor: data memory, its own overlapped structure and event,
// and a single link for pools and queues, so many transfers can be in flight.
#pragma once

#include <windows.h>

#include <memory>

#include "EventHandle.h"

namespace dravio {

class CDravioBufferPool;

class CDravioBuffer {
public:
    // No memory.
    CDravioBuffer();
    // Over the caller's memory, which stays the caller's.
    CDravioBuffer(void *data, DWORD size);
    // With memory of its own (none for a size of 0).
    explicit CDravioBuffer(DWORD size);
    ~CDravioBuffer();
    CDravioBuffer(const CDravioBuffer &) = delete;
    CDravioBuffer &operator=(const CDravioBuffer &) = delete;

    void *Buffer() const { return data_; }
    DWORD BufferSize() const { return size_; }
    OVERLAPPED &Overlapped() { return overlapped_; }
    // Null when the system could not create the event; such a descriptor can't carry a transfer.
    HANDLE Event() const { return event_.Get(); }

    DWORD bytesToTransfer = 0;     // length handed to ReadFile or WriteFile
    DWORD bytesTransferred = 0;    // set when the transfer completes
    DWORD status = 0;              // 0, ERROR_IO_PENDING while in flight, or the transfer's status
    CDravioBuffer *next = nullptr; // single link of free lists and queues
    BOOL lastBuffer = FALSE;       // a stream filler marks its last buffer here
    DWORD userValue = 0;           // the owner's own value

private:
    friend class CDravioBufferPool;

    void MakeEvent();
    void Attach(void *data, DWORD size);

    void *data_ = nullptr;
    DWORD size_ = 0;
    OVERLAPPED overlapped_{};
    EventHandle event_;
    std::unique_ptr<BYTE[]> ownedData_;
};

} // namespace dravio
