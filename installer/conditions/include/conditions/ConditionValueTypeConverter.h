#pragma once

// How a text or a registry value becomes the typed VARIANT a condition
// compares: the "Convert" and "ConvertError" attributes of the converting kinds.

#include <windows.h>
#include <oaidl.h>

#include "kr/stringx.h"

// Bit values of "Convert".
enum ConditionValueType {
    cvtInvalid = 0,
    cvtDword = 1,           // VT_I4
    cvtQword = 2,           // VT_I8
    cvtString = 4,          // VT_BSTR; also "Content" and an absent attribute
    cvtMultiString = 8,     // VT_ARRAY | VT_BSTR
    cvtVersion = 16,        // VT_UI8
    cvtProductVersion = 32, // VT_UI4
    cvtLocalDateTime = 64,  // VT_UI8 holding a FILETIME
};

// Values of "ConvertError".
enum ConditionConvertError {
    cceThrow = 0,
    cceFallback = 1,
    ccePass = 2,
    cceFail = 3,
    cceInvalid = 4,
};

class CConditionValueTypeConverter {
public:
    CConditionValueTypeConverter(const CConditionValueTypeConverter&) = delete;
    CConditionValueTypeConverter& operator=(const CConditionValueTypeConverter&) = delete;
    virtual ~CConditionValueTypeConverter();

    // The kind's attribute of that name (any case); the empty text when absent.
    virtual _stringx GetAttribute(const _stringx& name) const = 0;
    // Mask of the value types the kind accepts.
    virtual DWORD GetAllowedTypes() const = 0;

    // Reads "Convert" and "ConvertError"; E_INVALIDARG for an unknown text or a
    // type the kind does not accept.
    HRESULT Parse();

    // Each clears *out first (it must hold a valid VARIANT) and leaves it
    // VT_EMPTY on failure.
    HRESULT Convert(const _stringx& text, VARIANT* out) const;
    // A REG_DWORD value.
    HRESULT ConvertDword(DWORD value, VARIANT* out) const;
    // A REG_QWORD value or a file time, as its two halves.
    HRESULT ConvertQword(DWORD low, DWORD high, VARIANT* out) const;

    int ValueType() const noexcept { return m_valueType; }
    int ErrorMode() const noexcept { return m_errorMode; }

protected:
    CConditionValueTypeConverter() = default;

private:
    int m_errorMode = cceThrow;
    int m_valueType = cvtInvalid;
};
