// Transfer descriptors over one block of memory, allocated once per run and
// handed out last in, first out. Get and Put are safe from any thread.
#pragma once

#include <windows.h>

#include <memory>

#include "CriticalSection.h"
#include "DravioBuffer.h"

namespace dravio {

class CDravioBufferPool {
public:
    CDravioBufferPool() = default;
    ~CDravioBufferPool();
    CDravioBufferPool(const CDravioBufferPool &) = delete;
    CDravioBufferPool &operator=(const CDravioBufferPool &) = delete;

    // `count` descriptors of `bufferSize` bytes each; false when the pool
    // already has descriptors or the memory can't be had.
    bool Allocate(DWORD bufferSize, DWORD count);
    // Releases every descriptor and the data block.
    void Free();

    // A free descriptor with its link cleared, or null.
    CDravioBuffer *Get();
    void Put(CDravioBuffer *buffer);
    // Read without the lock: a snapshot.
    LONG GetFreeCount() const { return freeCount_; }

private:
    CriticalSection lock_;
    CDravioBuffer *freeHead_ = nullptr;
    volatile LONG freeCount_ = 0;
    std::unique_ptr<CDravioBuffer[]> buffers_;
    std::unique_ptr<BYTE[]> data_;
};

} // namespace dravio
