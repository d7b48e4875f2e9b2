// Owning holder of one VARIANT: cleared with VariantClear, copied with VariantCopy.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string_view>

namespace com {

class Variant {
public:
    Variant() noexcept { VariantInit(&v_); }
    Variant(const Variant &other) noexcept : Variant() { VariantCopy(&v_, const_cast<VARIANT *>(&other.v_)); }
    Variant(Variant &&other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
    ~Variant() { VariantClear(&v_); }

    Variant &operator=(const Variant &other) noexcept
    {
        if (this != &other) {
            VariantCopy(&v_, const_cast<VARIANT *>(&other.v_));
        }
        return *this;
    }
    Variant &operator=(Variant &&other) noexcept
    {
        if (this != &other) {
            VariantClear(&v_);
            v_ = other.v_;
            VariantInit(&other.v_);
        }
        return *this;
    }

    // Copies another VARIANT (deep: strings, arrays and references are duplicated or added).
    static HRESULT CopyFrom(const VARIANT &source, Variant &out) noexcept
    {
        return VariantCopy(&out.v_, const_cast<VARIANT *>(&source));
    }

    static Variant Int32(LONG value) noexcept
    {
        Variant v;
        v.v_.vt = VT_I4;
        v.v_.lVal = value;
        return v;
    }
    static Variant Int16(SHORT value) noexcept
    {
        Variant v;
        v.v_.vt = VT_I2;
        v.v_.iVal = value;
        return v;
    }
    static Variant Bool(bool value) noexcept
    {
        Variant v;
        v.v_.vt = VT_BOOL;
        v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return v;
    }
    // VT_EMPTY when the string cannot be allocated.
    static Variant String(std::wstring_view text) noexcept
    {
        Variant v;
        v.v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        v.v_.vt = v.v_.bstrVal ? VT_BSTR : VT_EMPTY;
        return v;
    }
    // Holds a reference on the object for as long as the variant lives.
    static Variant Dispatch(IDispatch *object) noexcept
    {
        Variant v;
        v.v_.vt = VT_DISPATCH;
        v.v_.pdispVal = object;
        if (object) {
            object->AddRef();
        }
        return v;
    }
    static Variant Unknown(IUnknown *object) noexcept
    {
        Variant v;
        v.v_.vt = VT_UNKNOWN;
        v.v_.punkVal = object;
        if (object) {
            object->AddRef();
        }
        return v;
    }
    // A by-reference variant does not own what it points to.
    static Variant BoolRef(VARIANT_BOOL *cell) noexcept
    {
        Variant v;
        v.v_.vt = VT_BOOL | VT_BYREF;
        v.v_.pboolVal = cell;
        return v;
    }

    void Clear() noexcept { VariantClear(&v_); }
    // Hands the contents to the caller's VARIANT (which must be empty or cleared).
    void DetachTo(VARIANT &out) noexcept
    {
        out = v_;
        VariantInit(&v_);
    }
    // For out parameters: clears what is held and exposes the VARIANT.
    VARIANT *Put() noexcept
    {
        VariantClear(&v_);
        return &v_;
    }

    VARTYPE Type() const noexcept { return v_.vt; }
    const VARIANT &Get() const noexcept { return v_; }
    VARIANT &Get() noexcept { return v_; }

private:
    VARIANT v_;
};

} // namespace com
