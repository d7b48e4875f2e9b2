// A pipe with a buffer pool and a thread that keeps the pipe busy through
// virtual hooks. The reader and writer below fill in the thread routine; a
// streaming user fills the hooks. Used without a thread it is a plain pipe.
#pragma once

#include <windows.h>

#include <atomic>

#include "DravioBufferPool.h"
#include "DravioPipe.h"

namespace dravio {

class CDravioThread : public CDravioPipe {
public:
    CDravioThread() = default;
    ~CDravioThread() override;

    bool AllocateBuffers(DWORD bufferSize, DWORD count) { return pool_.Allocate(bufferSize, count); }
    void FreeBuffers() { pool_.Free(); }

    // Starts the routine on a new thread; false when one is already there.
    bool StartThread(int errorLimit);
    // Stops the transfers and waits for the thread; true when there was none
    // or it ended.
    bool ShutdownThread();

protected:
    // Called by the reader for every completed buffer, failed or not.
    virtual void HandleReceivedData(CDravioBuffer &buffer);
    // Called before each submission: zero data, a full buffer to transfer.
    virtual void FillBuffer(CDravioBuffer &buffer);
    // Called for a buffer whose transfer failed.
    virtual void HandleBufferError(CDravioBuffer &buffer);
    // Called on the thread after the routine returned.
    virtual void OnThreadEnd();
    virtual void RunThread() = 0;
    virtual void StopTransfers() = 0;

    CDravioBufferPool &Pool() { return pool_; }
    bool IsStopping() const { return stopFlag_.load(); }
    int ErrorLimit() const { return errorLimit_; }

    // The FIFO of submitted buffers, oldest first, over the buffers' own link.
    void ClearPending();
    void AppendPending(CDravioBuffer *buffer);
    CDravioBuffer *PendingHead() const { return pendingHead_; }
    CDravioBuffer *PopPending();

    // Waits for the buffer without time-out and counts a failure; a powered
    // down device never counts, a success starts the count again.
    void WaitAndCount(CDravioBuffer &buffer, int &errorCount);
    // Waits for every buffer still pending, oldest first, and returns it to the pool.
    void DrainPending();

private:
    static unsigned __stdcall ThreadEntry(void *context);

    int priority_ = THREAD_PRIORITY_HIGHEST;
    CDravioBufferPool pool_;
    std::atomic<HANDLE> thread_{nullptr};
    unsigned threadId_ = 0;
    std::atomic<bool> stopFlag_{false};
    int errorLimit_ = 3;
    CDravioBuffer *pendingHead_ = nullptr;
    CDravioBuffer *pendingTail_ = nullptr;
};

class CDravioReadThread : public CDravioThread {
protected:
    void RunThread() override;
    void StopTransfers() override { AbortPipe(); }
};

class CDravioWriteThread : public CDravioThread {
protected:
    void RunThread() override;
    void StopTransfers() override { AbortPipe(); }
};

} // namespace dravio
