#pragma once

// A view of a file mapping, unmapped when it ends.

#include <windows.h>

#include <utility>

class mapped_view {
public:
    mapped_view() noexcept = default;
    explicit mapped_view(void* base) noexcept : base_(base) {}
    ~mapped_view() { reset(); }
    mapped_view(const mapped_view&) = delete;
    mapped_view& operator=(const mapped_view&) = delete;
    mapped_view(mapped_view&& other) noexcept : base_(std::exchange(other.base_, nullptr)) {}
    mapped_view& operator=(mapped_view&& other) noexcept
    {
        if (this != &other) {
            reset();
            base_ = std::exchange(other.base_, nullptr);
        }
        return *this;
    }

    void reset() noexcept
    {
        if (base_)
            UnmapViewOfFile(std::exchange(base_, nullptr));
    }

    unsigned char* get() const noexcept { return static_cast<unsigned char*>(base_); }
    explicit operator bool() const noexcept { return base_ != nullptr; }

private:
    void* base_ = nullptr;
};
