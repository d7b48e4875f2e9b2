#include "DravioThread.h"

#include <process.h>

#include <cstring>

namespace dravio {

CDravioThread::~CDravioThread()
{
    if (thread_.load())
        OutputDebugStringA("CDravioThread::~CDravioThread(): Thread is still running! ShutdownThread() must be "
                           "called before the object is destroyed!\n");
    FreeBuffers();
}

bool CDravioThread::StartThread(int errorLimit)
{
    if (thread_.load())
        return false;
    stopFlag_ = false;
    errorLimit_ = errorLimit;

    // Suspended until the handle is stored: a routine that ends at once must
    // find it there to close it.
    unsigned threadId = 0;
    const auto thread = reinterpret_cast<HANDLE>(
        _beginthreadex(nullptr, 0, &CDravioThread::ThreadEntry, this, CREATE_SUSPENDED, &threadId));
    if (!thread)
        return false;
    threadId_ = threadId;
    thread_.store(thread);
    if (ResumeThread(thread) == static_cast<DWORD>(-1)) {
        // It never ran, so nothing of this object is in use on it.
        thread_.store(nullptr);
        TerminateThread(thread, 0);
        CloseHandle(thread);
        return false;
    }
    return true;
}

bool CDravioThread::ShutdownThread()
{
    const HANDLE thread = thread_.exchange(nullptr);
    if (!thread)
        return true;
    stopFlag_ = true;
    // A transfer submitted just after an abort would keep the routine waiting,
    // so the abort is repeated until the thread has ended.
    constexpr DWORD kAbortIntervalMs = 100;
    DWORD wait;
    do {
        StopTransfers();
        wait = WaitForSingleObject(thread, kAbortIntervalMs);
    } while (wait == WAIT_TIMEOUT);
    CloseHandle(thread);
    return wait == WAIT_OBJECT_0;
}

unsigned __stdcall CDravioThread::ThreadEntry(void *context)
{
    auto *self = static_cast<CDravioThread *>(context);
    SetThreadPriority(GetCurrentThread(), self->priority_);
    self->RunThread();
    self->OnThreadEnd();
    // Exactly one of this entry and ShutdownThread closes the handle.
    if (const HANDLE thread = self->thread_.exchange(nullptr))
        CloseHandle(thread);
    return 0;
}

void CDravioThread::HandleReceivedData(CDravioBuffer &)
{
}

void CDravioThread::FillBuffer(CDravioBuffer &buffer)
{
    if (buffer.Buffer())
        std::memset(buffer.Buffer(), 0, buffer.BufferSize());
    buffer.bytesToTransfer = buffer.BufferSize();
    buffer.bytesTransferred = 0;
}

void CDravioThread::HandleBufferError(CDravioBuffer &)
{
}

void CDravioThread::OnThreadEnd()
{
}

void CDravioThread::ClearPending()
{
    pendingHead_ = nullptr;
    pendingTail_ = nullptr;
}

void CDravioThread::AppendPending(CDravioBuffer *buffer)
{
    buffer->next = nullptr;
    if (pendingTail_)
        pendingTail_->next = buffer;
    else
        pendingHead_ = buffer;
    pendingTail_ = buffer;
}

CDravioBuffer *CDravioThread::PopPending()
{
    CDravioBuffer *buffer = pendingHead_;
    if (!buffer)
        return nullptr;
    pendingHead_ = buffer->next;
    if (!pendingHead_)
        pendingTail_ = nullptr;
    buffer->next = nullptr;
    return buffer;
}

void CDravioThread::WaitAndCount(CDravioBuffer &buffer, int &errorCount)
{
    const DWORD status = WaitForCompletion(buffer, INFINITE);
    if (status == DRAVIO_STATUS_SUCCESS) {
        errorCount = 0;
        return;
    }
    HandleBufferError(buffer);
    if (status != DRAVIO_ERR_POWERED_DOWN)
        ++errorCount;
}

void CDravioThread::DrainPending()
{
    while (CDravioBuffer *buffer = PopPending()) {
        WaitForCompletion(*buffer, INFINITE);
        pool_.Put(buffer);
    }
}

} // namespace dravio
