// One thread per enabled device interface class: a hidden window registered
// for that class's device-interface notifications, whose arrivals and
// removals become events 4 and 5 of the object that enabled it.
#pragma once

#include "DravioEvents.h"
#include "ThreadBase.h"

#include <memory>

class CThreadPnPNotify : public CThreadBase, public std::enable_shared_from_this<CThreadPnPNotify> {
public:
    static constexpr const wchar_t *kWindowClassName = L"DravioCOM_ThreadPnPNotify_WndClass";

    CThreadPnPNotify();
    ~CThreadPnPNotify() override;

    void SetCallback(void *context, DravioEventCallback callback);
    void *CallbackContext() const { return context_; }
    void SetInterfaceClass(const GUID &interfaceClass) { interfaceClass_ = interfaceClass; }
    const GUID &InterfaceClass() const { return interfaceClass_; }
    // Calls the callback with the context and the code when both are set.
    void Notify(int code);

    // Starts the thread and waits until its window is registered for the
    // class: 0, or the Windows error that stopped it (the thread has ended then).
    DWORD Start();
    // Unregisters the notification and ends the message loop; does not wait.
    void Stop();
    // Stop, then wait for the thread unless called on it.
    bool StopAndWait();

protected:
    void StopHook() override {}
    void ThreadRoutine() override;

private:
    static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void RunMessageLoop();
    void UnregisterNotification();

    void *volatile notification_ = nullptr; // HDEVNOTIFY while registered
    GUID interfaceClass_{};
    HWND volatile window_ = nullptr;
    DravioEventCallback callback_ = nullptr;
    void *context_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD startStatus_ = 0;
};
