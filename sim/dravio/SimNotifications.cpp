// Device interface notifications: windows that registered for a class hear
// WM_DEVICECHANGE when a device of it arrives or goes.
#include <cstring>
#include <vector>

#include "DriverState.h"
#include "SimDriver.h"

namespace dravio::sim {

namespace {
// A window that does not answer a broadcast in this time is passed over.
constexpr UINT kBroadcastTimeout = 5000;
} // namespace

std::optional<HDEVNOTIFY> SimDriver::RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags)
{
    const auto *header = static_cast<const DEV_BROADCAST_HDR *>(filter);
    if ((flags & DEVICE_NOTIFY_SERVICE_HANDLE) || !header || header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return std::nullopt;
    if (header->dbch_size < sizeof(DEV_BROADCAST_DEVICEINTERFACE_W)) {
        SetLastError(ERROR_INVALID_DATA);
        return HDEVNOTIFY(nullptr);
    }
    if (!IsWindow(static_cast<HWND>(recipient))) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return HDEVNOTIFY(nullptr);
    }
    const auto *interfaceFilter = static_cast<const DEV_BROADCAST_DEVICEINTERFACE_W *>(filter);
    auto registration = std::make_unique<NotificationRegistration>(NotificationRegistration{
        static_cast<HWND>(recipient), interfaceFilter->dbcc_classguid,
        (flags & DEVICE_NOTIFY_ALL_INTERFACE_CLASSES) != 0});
    auto handle = reinterpret_cast<HDEVNOTIFY>(registration.get());
    std::lock_guard guard(state_->lock);
    state_->registrations[handle] = std::move(registration);
    return handle;
}

std::optional<BOOL> SimDriver::UnregisterNotification(HDEVNOTIFY notification)
{
    std::lock_guard guard(state_->lock);
    if (!state_->registrations.erase(notification))
        return std::nullopt;
    return TRUE;
}

void SimDriver::Broadcast(DWORD event, const GUID &interfaceClass, const std::wstring &path)
{
    std::vector<HWND> windows;
    {
        std::lock_guard guard(state_->lock);
        for (const auto &[handle, registration] : state_->registrations)
            if (registration->allClasses || IsEqualGUID(registration->interfaceClass, interfaceClass))
                windows.push_back(registration->window);
    }

    // The record carries the device's interface path behind its fixed part.
    const size_t size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(wchar_t);
    std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD));
    auto *record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W *>(storage.data());
    record->dbcc_size = DWORD(size);
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    record->dbcc_classguid = interfaceClass;
    std::memcpy(record->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));

    uint32_t reached = 0;
    for (HWND window : windows) {
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(record), SMTO_NORMAL,
                                kBroadcastTimeout, &answer))
            ++reached;
    }

    std::lock_guard guard(state_->lock);
    LogEntry &entry = state_->Log(LogEvent::Broadcast);
    entry.code = event;
    entry.length = reached;
    DriverState::SetLogText(entry, path);
}

} // namespace dravio::sim
