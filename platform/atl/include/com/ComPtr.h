// Owning pointer to a COM interface: one reference per holder, released on
// destruction. Out parameters go through Put(), which releases what was held.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace com {

template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Takes a new reference on p.
    explicit ComPtr(T *p) noexcept : p_(p) { AddRefHeld(); }
    ComPtr(const ComPtr &other) noexcept : p_(other.p_) { AddRefHeld(); }
    ComPtr(ComPtr &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr &operator=(const ComPtr &other) noexcept
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr &operator=(std::nullptr_t) noexcept
    {
        Reset();
        return *this;
    }

    // Adopts a reference the caller already owns.
    static ComPtr Adopt(T *p) noexcept
    {
        ComPtr result;
        result.p_ = p;
        return result;
    }

    void Reset() noexcept
    {
        if (T *old = std::exchange(p_, nullptr)) {
            old->Release();
        }
    }

    // Hands the reference to the caller.
    [[nodiscard]] T *Detach() noexcept { return std::exchange(p_, nullptr); }

    // For out parameters: releases what is held and exposes the slot.
    T **Put() noexcept
    {
        Reset();
        return &p_;
    }
    void **PutVoid() noexcept { return reinterpret_cast<void **>(Put()); }

    // Hands out a new reference (null stays null).
    T *CopyOut() const noexcept
    {
        AddRefHeld();
        return p_;
    }

    template <class U>
    HRESULT As(REFIID iid, ComPtr<U> &out) const noexcept
    {
        if (!p_) {
            out.Reset();
            return E_POINTER;
        }
        return p_->QueryInterface(iid, out.PutVoid());
    }

    T *Get() const noexcept { return p_; }
    T *operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    void Swap(ComPtr &other) noexcept { std::swap(p_, other.p_); }

private:
    void AddRefHeld() const noexcept
    {
        if (p_) {
            p_->AddRef();
        }
    }

    T *p_ = nullptr;
};

} // namespace com
