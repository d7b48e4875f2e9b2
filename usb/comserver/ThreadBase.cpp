#include "ThreadBase.h"

#include <process.h>

struct CThreadBase::StartContext {
    CThreadBase *thread;
    std::shared_ptr<void> keepAlive;
    HMODULE module; // this code's module, held while the thread runs
};

CThreadBase::CThreadBase() : stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CThreadBase::~CThreadBase()
{
    auto *thread = static_cast<HANDLE>(InterlockedExchangePointer(&thread_, nullptr));
    if (thread) {
        // Destroyed on its own thread (the thread's reference was the last): nothing to wait for.
        if (!IsCurrentThread()) {
            WaitForSingleObject(thread, INFINITE);
        }
        CloseHandle(thread);
    }
    if (stopEvent_) {
        CloseHandle(stopEvent_);
    }
}

bool CThreadBase::HasThread() const
{
    return InterlockedCompareExchangePointer(const_cast<HANDLE *>(&thread_), nullptr, nullptr) != nullptr;
}

bool CThreadBase::IsCurrentThread() const
{
    LONG id = InterlockedCompareExchange(const_cast<volatile LONG *>(&threadId_), 0, 0);
    return id != 0 && static_cast<DWORD>(id) == GetCurrentThreadId();
}

bool CThreadBase::StartThread(std::shared_ptr<void> keepAlive)
{
    if (HasThread() && stopFlag_) {
        WaitThread();
    }
    if (HasThread()) {
        return false;
    }
    stopFlag_ = 0;
    ResetEvent(stopEvent_);

    // The thread holds the module that holds its code: the module may be freed
    // by its client while the thread is still finishing (an object released
    // from inside a handler lets go of the module lock before its worker ends).
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadEntry), &module);
    auto context = std::make_unique<StartContext>(StartContext{this, std::move(keepAlive), module});
    unsigned id = 0;
    // The handle is stored before the thread can look at it: start suspended.
    auto thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &ThreadEntry, context.get(),
                                                          CREATE_SUSPENDED, &id));
    if (!thread) {
        if (module) {
            FreeLibrary(module);
        }
        return false;
    }
    context.release(); // the thread owns it now
    InterlockedExchange(&threadId_, static_cast<LONG>(id));
    InterlockedExchangePointer(&thread_, thread);
    ResumeThread(thread);
    return true;
}

void CThreadBase::StopThread()
{
    if (!HasThread()) {
        return;
    }
    stopFlag_ = 1;
    SetEvent(stopEvent_);
    StopHook();
}

bool CThreadBase::WaitThread()
{
    auto *thread = static_cast<HANDLE>(InterlockedExchangePointer(&thread_, nullptr));
    if (!thread) {
        return false;
    }
    if (IsCurrentThread()) {
        CloseHandle(thread);
        return false;
    }
    DWORD result = WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return result == WAIT_OBJECT_0;
}

BOOL CThreadBase::SetPriority(int priority)
{
    auto *thread = static_cast<HANDLE>(InterlockedCompareExchangePointer(&thread_, nullptr, nullptr));
    return SetThreadPriority(thread, priority);
}

unsigned __stdcall CThreadBase::ThreadEntry(void *raw)
{
    HMODULE module;
    {
        std::unique_ptr<StartContext> context(static_cast<StartContext *>(raw));
        module = context->module;
        context->thread->ThreadRoutine();
        context->thread->ExitHook();
        // Dropping the thread's reference may destroy the object: touch nothing after this.
    }
    if (module) {
        // Never returns into this module, which this may unload.
        FreeLibraryAndExitThread(module, 0);
    }
    return 0;
}
