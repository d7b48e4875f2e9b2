// An owned Win32 event. Events stay real even when a simulated driver is
// installed: the driver completes requests by signalling them.
#pragma once

#include <windows.h>

#include <utility>

namespace dravio {

class EventHandle {
public:
    EventHandle() = default;
    ~EventHandle() { Reset(); }
    EventHandle(EventHandle &&other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    EventHandle &operator=(EventHandle &&other) noexcept
    {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    // Creates an unnamed, non-signalled event; false when the system refused.
    bool Create(bool manualReset)
    {
        Reset();
        handle_ = CreateEventW(nullptr, manualReset, FALSE, nullptr);
        return handle_ != nullptr;
    }

    void Reset()
    {
        if (handle_)
            CloseHandle(handle_);
        handle_ = nullptr;
    }

    HANDLE Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HANDLE handle_ = nullptr;
};

} // namespace dravio
