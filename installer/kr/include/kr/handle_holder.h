#pragma once

// Owners of kernel handles: each closes its handle on destruction or on an
// explicit close, and closing an empty holder does nothing.

#include <windows.h>

namespace kr {

template <class Policy>
class basic_handle_holder {
public:
    basic_handle_holder() noexcept = default;
    explicit basic_handle_holder(HANDLE handle) noexcept : handle_(handle) {}
    ~basic_handle_holder() { close(); }
    basic_handle_holder(const basic_handle_holder&) = delete;
    basic_handle_holder& operator=(const basic_handle_holder&) = delete;
    basic_handle_holder(basic_handle_holder&& other) noexcept : handle_(other.detach()) {}
    basic_handle_holder& operator=(basic_handle_holder&& other) noexcept
    {
        if (this != &other) {
            close();
            handle_ = other.detach();
        }
        return *this;
    }

    HANDLE get() const noexcept { return handle_; }
    bool empty() const noexcept { return handle_ == Policy::empty(); }

    void close() noexcept
    {
        if (handle_ != Policy::empty()) {
            Policy::close(handle_);
            handle_ = Policy::empty();
        }
    }

    void reset(HANDLE handle) noexcept
    {
        close();
        handle_ = handle;
    }

    HANDLE detach() noexcept
    {
        HANDLE handle = handle_;
        handle_ = Policy::empty();
        return handle;
    }

private:
    HANDLE handle_ = Policy::empty();
};

struct kernel_handle_policy {
    static HANDLE empty() noexcept { return nullptr; }
    static void close(HANDLE handle) noexcept { CloseHandle(handle); }
};

struct find_handle_policy {
    static HANDLE empty() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE handle) noexcept { FindClose(handle); }
};

using handle_holder = basic_handle_holder<kernel_handle_policy>;
using find_handle_holder = basic_handle_holder<find_handle_policy>;

} // namespace kr
