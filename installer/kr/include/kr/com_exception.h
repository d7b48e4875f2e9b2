#pragma once

// A COM failure: the HRESULT with what the thread's error information says
// about it, or the system text of the HRESULT when there is none.

#include <windows.h>

#include <exception>

#include "kr/stringx.h"

class com_exception : public std::exception {
public:
    explicit com_exception(HRESULT hr);
    com_exception(const com_exception& other);
    com_exception& operator=(const com_exception& other);
    ~com_exception() override = default;

    HRESULT hresult() const noexcept { return hr_; }
    const GUID& interface_id() const noexcept { return interface_id_; }
    const CLSID& source_clsid() const noexcept { return source_clsid_; }
    const _wstringx& description() const noexcept { return description_; }
    const _wstringx& source() const noexcept { return source_; }
    // The description in the thread's ANSI code page.
    const char* what() const noexcept override;

private:
    HRESULT hr_;
    GUID interface_id_ = GUID_NULL;
    CLSID source_clsid_ = CLSID_NULL;
    mutable _wstringx description_;   // mutable for its narrow cache only
    _wstringx source_;
};

namespace kr {

// Thrown by the SAFEARRAY wrapper.
class safe_array_exception : public com_exception {
public:
    explicit safe_array_exception(HRESULT hr) : com_exception(hr) {}
};

} // namespace kr
