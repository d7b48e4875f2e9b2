// Owning holder of one BSTR, freed with SysFreeString.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>
#include <utility>

namespace com {

class Bstr {
public:
    Bstr() noexcept = default;
    // A null result means the allocation failed; callers test with IsNull().
    explicit Bstr(std::wstring_view text)
        : s_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())))
    {}
    Bstr(const Bstr &other) : s_(other.s_ ? SysAllocStringLen(other.s_, other.Length()) : nullptr) {}
    Bstr(Bstr &&other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    ~Bstr() { SysFreeString(s_); }

    Bstr &operator=(Bstr other) noexcept
    {
        std::swap(s_, other.s_);
        return *this;
    }

    static Bstr Adopt(BSTR s) noexcept
    {
        Bstr result;
        result.s_ = s;
        return result;
    }

    void Reset() noexcept { SysFreeString(std::exchange(s_, nullptr)); }
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(s_, nullptr); }
    // For out parameters: frees what is held and exposes the slot.
    BSTR *Put() noexcept
    {
        Reset();
        return &s_;
    }

    BSTR Get() const noexcept { return s_; }
    bool IsNull() const noexcept { return s_ == nullptr; }
    UINT Length() const noexcept { return SysStringLen(s_); }
    std::wstring_view View() const noexcept { return s_ ? std::wstring_view(s_, Length()) : std::wstring_view(); }

private:
    BSTR s_ = nullptr;
};

} // namespace com
