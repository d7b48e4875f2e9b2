// A thread owned by an object: start, stop (flag, event and a hook) and wait.
// The object may be kept alive by the thread itself (a reference handed to
// StartThread and dropped after the exit hook), so it can be released on its
// own thread; waiting is then skipped, never attempted on the thread itself.
#pragma once

#include <windows.h>

#include <memory>

class CThreadBase {
public:
    CThreadBase();
    virtual ~CThreadBase();
    CThreadBase(const CThreadBase &) = delete;
    CThreadBase &operator=(const CThreadBase &) = delete;

    // Waits first for a thread that was told to stop; false while a thread runs
    // or when none could be started. keepAlive is held by the thread until it ends.
    bool StartThread(std::shared_ptr<void> keepAlive = nullptr);
    // Sets the stop flag and event and calls the stop hook; does not wait.
    void StopThread();
    // Waits for the thread to end and closes its handle; false when there was no
    // thread, or when called on the thread itself (which is not waited for).
    bool WaitThread();
    BOOL SetPriority(int priority);

    bool IsStopRequested() const { return stopFlag_ != 0; }
    bool HasThread() const;
    // True on the object's own thread while it runs.
    bool IsCurrentThread() const;
    HANDLE StopEvent() const { return stopEvent_; }

protected:
    virtual void StopHook() = 0;
    virtual void ThreadRoutine() = 0;
    virtual void ExitHook() {}

private:
    struct StartContext;
    static unsigned __stdcall ThreadEntry(void *context);

    HANDLE thread_ = nullptr;
    volatile LONG threadId_ = 0;
    volatile BYTE stopFlag_ = 0;
    HANDLE stopEvent_ = nullptr;
};
