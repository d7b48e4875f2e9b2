#include "ThreadPnPNotify.h"

#include "PnPNotifyMap.h"

#include "DriverSeam.h"

#include <com/Lock.h>
#include <com/Module.h>

#include <dbt.h>
#include <objbase.h>

namespace {

// The window class lives while any notifier does.
com::CriticalSection &WindowClassLock()
{
    static com::CriticalSection lock;
    return lock;
}
LONG g_notifierCount = 0;

HINSTANCE ModuleInstance()
{
    return com::ThisModule().Instance();
}

} // namespace

CThreadPnPNotify::CThreadPnPNotify() : ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    com::ScopedLock lock(WindowClassLock());
    if (++g_notifierCount == 1) {
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = &CThreadPnPNotify::WindowProcedure;
        windowClass.hInstance = ModuleInstance();
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kWindowClassName;
        RegisterClassExW(&windowClass);
    }
}

CThreadPnPNotify::~CThreadPnPNotify()
{
    {
        com::ScopedLock lock(WindowClassLock());
        if (--g_notifierCount == 0) {
            UnregisterClassW(kWindowClassName, ModuleInstance());
        }
    }
    callback_ = nullptr;
    context_ = nullptr;
    if (ready_) {
        CloseHandle(ready_);
    }
    // The thread base then waits for a thread still running (never its own).
}

void CThreadPnPNotify::SetCallback(void *context, DravioEventCallback callback)
{
    context_ = context;
    callback_ = callback;
}

void CThreadPnPNotify::Notify(int code)
{
    DravioEventCallback callback = callback_;
    void *context = context_;
    if (callback && context) {
        callback(context, code);
    }
}

DWORD CThreadPnPNotify::Start()
{
    if (!ready_) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    ResetEvent(ready_);
    startStatus_ = ERROR_GEN_FAILURE;
    // The thread holds the notifier until its loop has ended, so disabling from
    // inside a handler (on this thread) cannot free it under the loop.
    if (!StartThread(shared_from_this())) {
        return ERROR_GEN_FAILURE;
    }
    WaitForSingleObject(ready_, INFINITE);
    DWORD status = startStatus_;
    if (status != 0) {
        WaitThread();
    }
    return status;
}

void CThreadPnPNotify::Stop()
{
    StopThread();
    UnregisterNotification();
    if (HWND window = static_cast<HWND>(InterlockedCompareExchangePointer(
            reinterpret_cast<void *volatile *>(&window_), nullptr, nullptr))) {
        PostMessageW(window, WM_QUIT, 0, 0);
    }
}

bool CThreadPnPNotify::StopAndWait()
{
    Stop();
    WaitThread();
    return true;
}

void CThreadPnPNotify::UnregisterNotification()
{
    if (void *notification = InterlockedExchangePointer(&notification_, nullptr)) {
        dravio::CurrentDriverSeam().UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(notification));
    }
}

void CThreadPnPNotify::ThreadRoutine()
{
    HRESULT apartment = CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    HWND window = CreateWindowExW(0, kWindowClassName, L"DravioCOM PnP Notify", WS_OVERLAPPEDWINDOW, 20, 20, 300,
                                  200, nullptr, nullptr, ModuleInstance(), nullptr);
    if (!window) {
        startStatus_ = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
        SetEvent(ready_);
    } else {
        ShowWindow(window, SW_HIDE);
        UpdateWindow(window);
        InterlockedExchangePointer(reinterpret_cast<void *volatile *>(&window_), window);

        DEV_BROADCAST_DEVICEINTERFACE_W filter = {};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = interfaceClass_;
        HDEVNOTIFY notification = dravio::CurrentDriverSeam().RegisterDeviceNotificationW(
            window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
        if (!notification) {
            startStatus_ = GetLastError() ? GetLastError() : ERROR_GEN_FAILURE;
            SetEvent(ready_);
        } else {
            InterlockedExchangePointer(&notification_, notification);
            startStatus_ = 0;
            SetEvent(ready_);
            RunMessageLoop();
            UnregisterNotification();
        }
        InterlockedExchangePointer(reinterpret_cast<void *volatile *>(&window_), nullptr);
        DestroyWindow(window);
    }

    if (SUCCEEDED(apartment)) {
        CoUninitialize();
    }
}

// Runs until WM_QUIT or the stop event: a stop that comes before the window
// exists (no WM_QUIT can reach it then) still ends the loop.
void CThreadPnPNotify::RunMessageLoop()
{
    HANDLE stop = StopEvent();
    for (;;) {
        if (IsStopRequested()) {
            return;
        }
        DWORD woken = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_ALLINPUT);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) {
            return;
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                return;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

LRESULT CALLBACK CThreadPnPNotify::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_DEVICECHANGE) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    int code;
    if (wParam == DBT_DEVICEARRIVAL) {
        code = kEventDeviceArrival;
    } else if (wParam == DBT_DEVICEREMOVECOMPLETE) {
        code = kEventDeviceRemoval;
    } else {
        return 0;
    }
    const auto *header = reinterpret_cast<const DEV_BROADCAST_HDR *>(lParam);
    if (header && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
        const auto *broadcast = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(header);
        std::shared_ptr<CThreadPnPNotify> notifier;
        if (ThePnPNotifyMap().Find(broadcast->dbcc_classguid, notifier)) {
            notifier->Notify(code);
        }
    }
    return 0;
}
