// Device names, plugging and unplugging, and the device-change broadcasts.
#include "SimFixture.h"

#include <dbt.h>

#include <mutex>
#include <thread>

namespace dravio::sim::test {
namespace {

class PlugTest : public SimFixture {};

TEST_F(PlugTest, DevicesOpenByNumberWithSeveralHandles)
{
    const uint32_t third = AddDevice(kClassA, L"VT-0043", 3);
    ASSERT_EQ(3u, third);
    HANDLE first = Open(3);
    HANDLE second = Open(3);
    ASSERT_NE(INVALID_HANDLE_VALUE, first);
    ASSERT_NE(INVALID_HANDLE_VALUE, second);
    EXPECT_NE(first, second);
    DeviceState state;
    ASSERT_EQ(0u, sim.QueryDevice(3, &state));
    EXPECT_EQ(2u, state.openHandles);

    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(4));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());

    Close(second);
    sim.QueryDevice(3, &state);
    EXPECT_EQ(1u, state.openHandles);

    DeviceSetup taken{};
    taken.number = 3;
    EXPECT_EQ(DWORD(ERROR_ALREADY_EXISTS), sim.AddDevice(taken, nullptr));
}

// The period a device is held open runs from its first open to its last
// close; every later period has a new number, also on a device plugged in
// again under the same name.
TEST_F(PlugTest, EachStretchHeldOpenHasItsOwnPeriod)
{
    const auto period = [&] {
        DeviceState state{};
        sim.QueryDevice(device, &state);
        return state.openPeriod;
    };
    EXPECT_EQ(0u, period());
    HANDLE first = Open(device);
    const uint32_t held = period();
    EXPECT_NE(0u, held);
    HANDLE second = Open(device);
    Close(first);
    EXPECT_EQ(held, period());
    Close(second);
    EXPECT_EQ(0u, period());

    Open(device);
    const uint32_t reopened = period();
    EXPECT_NE(0u, reopened);
    EXPECT_NE(held, reopened);

    ASSERT_EQ(0u, sim.RemoveDevice(device));
    EXPECT_EQ(device, AddDevice(kClassA, L"VT-0042"));
    Open(device);
    EXPECT_NE(0u, period());
    EXPECT_NE(held, period());
    EXPECT_NE(reopened, period());
}

TEST_F(PlugTest, UnplugFailsPendingAndLaterRequests)
{
    HANDLE control = Open(device);
    Configure(control);
    HANDLE in = BoundPipe(device, 0x81);
    Overlapped read;
    uint8_t buffer[8];
    ASSERT_FALSE(seam.ReadFile(in, buffer, 8, nullptr, &read.ov));

    ASSERT_EQ(0u, sim.RemoveDevice(device));
    ASSERT_TRUE(read.Signalled());
    DWORD bytes;
    EXPECT_FALSE(GetOverlappedResult(in, &read.ov, &bytes, FALSE));
    EXPECT_EQ(0xE000100Au, GetLastError());

    uint8_t info[12];
    EXPECT_EQ(0xE000100Au, Control(control, 0x8094206C, nullptr, 0, info, 12).error);
    EXPECT_EQ(0xE000100Au, Transfer(in, false, buffer, 8).error);
    EXPECT_EQ(INVALID_HANDLE_VALUE, Open(device));
    EXPECT_EQ(DWORD(ERROR_FILE_NOT_FOUND), GetLastError());
    DeviceState state;
    EXPECT_EQ(DWORD(ERROR_NOT_FOUND), sim.QueryDevice(device, &state));

    // Plugged in again it is a new device under the same name.
    EXPECT_EQ(device, AddDevice(kClassA, L"VT-0042"));
    HANDLE fresh = Open(device);
    EXPECT_EQ(12u, Control(fresh, 0x8094206C, nullptr, 0, info, 12).bytes);
    EXPECT_EQ(0xE000100Au, Control(control, 0x8094206C, nullptr, 0, info, 12).error);
}

// A window on its own thread with a message loop, as a notifier keeps one,
// recording the device changes it hears.
class NotifiedWindow {
public:
    struct Change {
        WPARAM event;
        DWORD deviceType;
        GUID interfaceClass;
        std::wstring path;
    };

    NotifiedWindow()
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { Run(); });
        WaitForSingleObject(ready_, INFINITE);
    }

    ~NotifiedWindow()
    {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
        CloseHandle(ready_);
    }

    HWND Window() const { return window_; }

    std::vector<Change> Changes()
    {
        std::lock_guard guard(lock_);
        return changes_;
    }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l)
    {
        auto *self = reinterpret_cast<NotifiedWindow *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_DEVICECHANGE && self) {
            const auto *record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(l);
            std::lock_guard guard(self->lock_);
            self->changes_.push_back({w, record->dbcc_devicetype, record->dbcc_classguid, record->dbcc_name});
            return TRUE;
        }
        if (message == WM_CLOSE) {
            DestroyWindow(window);
            return 0;
        }
        if (message == WM_DESTROY)
            PostQuitMessage(0);
        return DefWindowProcW(window, message, w, l);
    }

    void Run()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"DravioSimTestNotified";
        RegisterClassW(&wc);
        window_ = CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                                wc.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetEvent(ready_);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
    }

    HANDLE ready_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::mutex lock_;
    std::vector<Change> changes_;
};

TEST_F(PlugTest, RegisteredWindowsHearArrivalAndRemovalOfTheirClass)
{
    NotifiedWindow listener;
    ASSERT_NE(nullptr, listener.Window());
    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = 32;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = kClassA;
    HDEVNOTIFY notification = seam.RegisterDeviceNotificationW(listener.Window(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(nullptr, notification);

    const uint32_t other = AddDevice(kClassB, L"VT-0050");
    const uint32_t added = AddDevice(kClassA, L"VT-0051");
    sim.RemoveDevice(other);
    sim.RemoveDevice(added);
    const std::wstring path = L"\\\\?\\usb#vid_5a17&pid_0b15#VT-0051#{4b104f5c-324b-49b4-8259-b4c4db419c9b}";

    auto changes = listener.Changes();
    ASSERT_EQ(2u, changes.size());
    EXPECT_EQ(WPARAM(DBT_DEVICEARRIVAL), changes[0].event);
    EXPECT_EQ(WPARAM(DBT_DEVICEREMOVECOMPLETE), changes[1].event);
    for (const auto &change : changes) {
        EXPECT_EQ(DWORD(DBT_DEVTYP_DEVICEINTERFACE), change.deviceType);
        EXPECT_TRUE(IsEqualGUID(kClassA, change.interfaceClass));
        EXPECT_EQ(path, change.path);
    }

    EXPECT_TRUE(seam.UnregisterDeviceNotification(notification));
    AddDevice(kClassA, L"VT-0052");
    EXPECT_EQ(2u, listener.Changes().size());

    filter.dbcc_size = 28;
    EXPECT_EQ(nullptr, seam.RegisterDeviceNotificationW(listener.Window(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    EXPECT_EQ(DWORD(ERROR_INVALID_DATA), GetLastError());
}

} // namespace
} // namespace dravio::sim::test
