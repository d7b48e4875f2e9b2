#include "DravioBufferPool.h"

#include <new>

namespace dravio {

CDravioBufferPool::~CDravioBufferPool()
{
    Free();
}

bool CDravioBufferPool::Allocate(DWORD bufferSize, DWORD count)
{
    CriticalSectionLock lock(lock_);
    if (buffers_)
        return false;
    // A block that does not fit in 32 bits counts as memory we can't have.
    const ULONGLONG blockSize = static_cast<ULONGLONG>(bufferSize) * count;
    if (bufferSize == 0 || count == 0 || blockSize > MAXDWORD)
        return false;

    std::unique_ptr<CDravioBuffer[]> buffers(new (std::nothrow) CDravioBuffer[count]);
    if (!buffers)
        return false;
    for (DWORD i = 0; i < count; ++i) {
        if (!buffers[i].Event())
            return false;
    }
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[static_cast<size_t>(blockSize)]());
    if (!data)
        return false;

    for (DWORD i = 0; i < count; ++i) {
        CDravioBuffer &buffer = buffers[i];
        buffer.Attach(data.get() + static_cast<size_t>(i) * bufferSize, bufferSize);
        buffer.next = freeHead_;
        freeHead_ = &buffer;
    }
    buffers_ = std::move(buffers);
    data_ = std::move(data);
    InterlockedExchange(&freeCount_, static_cast<LONG>(count));
    return true;
}

void CDravioBufferPool::Free()
{
    CriticalSectionLock lock(lock_);
    freeHead_ = nullptr;
    InterlockedExchange(&freeCount_, 0);
    buffers_.reset();
    data_.reset();
}

CDravioBuffer *CDravioBufferPool::Get()
{
    CriticalSectionLock lock(lock_);
    CDravioBuffer *buffer = freeHead_;
    if (!buffer)
        return nullptr;
    freeHead_ = buffer->next;
    buffer->next = nullptr;
    InterlockedDecrement(&freeCount_);
    return buffer;
}

void CDravioBufferPool::Put(CDravioBuffer *buffer)
{
    if (!buffer)
        return;
    CriticalSectionLock lock(lock_);
    buffer->next = freeHead_;
    freeHead_ = buffer;
    InterlockedIncrement(&freeCount_);
}

} // namespace dravio
