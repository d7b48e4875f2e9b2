#pragma once

// A one-dimensional SAFEARRAY of BSTR texts, the form in which lists of texts
// travel in a VARIANT (VT_ARRAY | VT_BSTR). Arrays made here have lower bound 1.
// Failures are thrown: kr::safe_array_exception for a bad array or no memory,
// the failing HRESULT itself for a failing SafeArray call.

#include <windows.h>
#include <oleauto.h>

#include <memory>

#include "kr/stringx.h"

namespace kr {

class safe_array {
public:
    // One element, read when the accessor is made; assigning stores a new text.
    class element {
    public:
        element& operator=(const _stringx& value);
        element& operator=(const element&) = delete;
        element(const element&) = default;
        ~element() = default;

        // The text as read (a null BSTR for an element never set).
        BSTR value() const noexcept { return value_.get(); }
        LONG index() const noexcept { return index_; }

    private:
        friend class safe_array;
        element(SAFEARRAY* array, LONG index, BSTR value);

        std::shared_ptr<OLECHAR> value_;
        SAFEARRAY* array_;
        LONG index_;
    };

    safe_array() noexcept = default;
    ~safe_array();
    safe_array(const safe_array&) = delete;
    safe_array& operator=(const safe_array&) = delete;

    void create(ULONG count);
    void attach(SAFEARRAY* array);
    void destroy();
    // Hands the array on (into a VARIANT, say); the object is empty afterwards.
    SAFEARRAY* detach() noexcept;

    SAFEARRAY* get() const noexcept { return array_; }
    bool owned() const noexcept { return owned_; }
    LONG lower_bound() const;
    LONG upper_bound() const;
    element operator[](LONG index) const;

private:
    SAFEARRAY* array_ = nullptr;
    bool owned_ = true;
};

} // namespace kr
