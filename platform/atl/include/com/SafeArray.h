// SAFEARRAY holders: an owner that destroys the array, and a scoped access
// that locks the data for the length of one operation.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace com {

class SafeArray {
public:
    SafeArray() noexcept = default;
    SafeArray(const SafeArray &) = delete;
    SafeArray &operator=(const SafeArray &) = delete;
    SafeArray(SafeArray &&other) noexcept : a_(std::exchange(other.a_, nullptr)) {}
    SafeArray &operator=(SafeArray &&other) noexcept
    {
        SafeArray(std::move(other)).Swap(*this);
        return *this;
    }
    ~SafeArray() { Reset(); }

    // A one-dimensional array with lower bound 0; null on failure.
    static SafeArray CreateVector(VARTYPE type, ULONG count) noexcept
    {
        return Adopt(SafeArrayCreateVector(type, 0, count));
    }
    static SafeArray Adopt(SAFEARRAY *a) noexcept
    {
        SafeArray result;
        result.a_ = a;
        return result;
    }

    void Reset() noexcept
    {
        if (SAFEARRAY *old = std::exchange(a_, nullptr)) {
            SafeArrayDestroy(old);
        }
    }
    [[nodiscard]] SAFEARRAY *Detach() noexcept { return std::exchange(a_, nullptr); }
    SAFEARRAY **Put() noexcept
    {
        Reset();
        return &a_;
    }
    SAFEARRAY *Get() const noexcept { return a_; }
    // For [in, out] SAFEARRAY(T) * parameters.
    SAFEARRAY **Address() noexcept { return &a_; }
    explicit operator bool() const noexcept { return a_ != nullptr; }
    void Swap(SafeArray &other) noexcept { std::swap(a_, other.a_); }

private:
    SAFEARRAY *a_ = nullptr;
};

// Element count of the first dimension: upper bound minus lower bound plus one.
inline HRESULT SafeArrayLength(SAFEARRAY *a, LONG &count) noexcept
{
    count = 0;
    LONG lower = 0;
    LONG upper = 0;
    HRESULT hr = SafeArrayGetLBound(a, 1, &lower);
    if (SUCCEEDED(hr)) {
        hr = SafeArrayGetUBound(a, 1, &upper);
    }
    if (SUCCEEDED(hr)) {
        count = upper - lower + 1;
    }
    return hr;
}

// Locks an array's data while it lives. Status() tells whether Data() is usable.
template <class T>
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY *a) noexcept : a_(a)
    {
        void *data = nullptr;
        hr_ = a ? SafeArrayAccessData(a, &data) : E_POINTER;
        data_ = SUCCEEDED(hr_) ? static_cast<T *>(data) : nullptr;
    }
    SafeArrayAccess(const SafeArrayAccess &) = delete;
    SafeArrayAccess &operator=(const SafeArrayAccess &) = delete;
    ~SafeArrayAccess()
    {
        if (data_) {
            SafeArrayUnaccessData(a_);
        }
    }

    HRESULT Status() const noexcept { return hr_; }
    T *Data() const noexcept { return data_; }

private:
    SAFEARRAY *a_;
    T *data_ = nullptr;
    HRESULT hr_;
};

} // namespace com
