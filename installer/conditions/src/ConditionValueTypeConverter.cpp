#include "conditions/ConditionValueTypeConverter.h"

#include <vector>

#include "conditions/Version.h"
#include "kr/com_exception.h"
#include "kr/holders.h"
#include "kr/safe_array.h"

namespace {

struct NamedValue {
    const wchar_t* text;
    int value;
};

constexpr NamedValue kValueTypes[] = {
    {L"DWORD", cvtDword},
    {L"QWORD", cvtQword},
    {L"String", cvtString},
    {L"Content", cvtString},
    {L"", cvtString},
    {L"MultiString", cvtMultiString},
    {L"Version", cvtVersion},
    {L"ProductVersion", cvtProductVersion},
    {L"LocalDateTime", cvtLocalDateTime},
};

constexpr NamedValue kErrorModes[] = {
    {L"", cceThrow},
    {L"Throw", cceThrow},
    {L"Fallback", cceFallback},
    {L"Pass", ccePass},
    {L"Fail", cceFail},
};

template <size_t N>
int Lookup(const NamedValue (&table)[N], const _stringx& text, int otherwise)
{
    for (const NamedValue& entry : table) {
        if (text == entry.text)
            return entry.value;
    }
    return otherwise;
}

// Whole-text signed numbers: decimal first, then hexadecimal ("0x" allowed).
template <class N>
bool ParseWhole(const _stringx& text, N& value, bool (_stringx::*parse)(N&, int) const)
{
    return (text.*parse)(value, 10) || (text.*parse)(value, 16);
}

HRESULT MakeText(const _stringx& text, VARIANT* out)
{
    BSTR value = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length()));
    if (!value)
        return E_OUTOFMEMORY;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = value;
    return S_OK;
}

// The non-empty pieces between NUL characters, in a list with lower bound 1.
HRESULT MakeTextList(const _stringx& text, VARIANT* out)
{
    std::vector<_stringx> pieces;
    text.split(L'\0', kr::split_skip_empty, pieces);
    try {
        kr::safe_array list;
        list.create(static_cast<ULONG>(pieces.size()));
        for (size_t i = 0; i < pieces.size(); ++i)
            list[static_cast<LONG>(i + 1)] = pieces[i];
        V_VT(out) = VT_ARRAY | VT_BSTR;
        V_ARRAY(out) = list.detach();
        return S_OK;
    } catch (HRESULT hr) {
        return hr;
    } catch (const kr::safe_array_exception& failure) {
        return failure.hresult();
    }
}

// The text read as a date in the invariant locale, as a FILETIME without any
// time-zone change.
HRESULT MakeFileTime(const _stringx& text, VARIANT* out)
{
    kr::variant_holder source;
    HRESULT hr = MakeText(text, source.get());
    if (FAILED(hr))
        return hr;
    kr::variant_holder date;
    hr = VariantChangeTypeEx(date.get(), source.get(), LOCALE_INVARIANT, 0, VT_DATE);
    if (FAILED(hr))
        return hr;
    SYSTEMTIME system = {};
    FILETIME file = {};
    // Dates a FILETIME cannot hold (before 1601) are out of range, not zero.
    if (!VariantTimeToSystemTime(V_DATE(date.get()), &system) || !SystemTimeToFileTime(&system, &file))
        return DISP_E_OVERFLOW;
    V_VT(out) = VT_UI8;
    V_UI8(out) = static_cast<ULONGLONG>(file.dwHighDateTime) << 32 | file.dwLowDateTime;
    return S_OK;
}

HRESULT NumberAsText(VARIANT& number, VARIANT* out)
{
    const HRESULT hr = VariantChangeType(out, &number, 0, VT_BSTR);
    if (FAILED(hr))
        VariantInit(out);
    return hr;
}

} // namespace

CConditionValueTypeConverter::~CConditionValueTypeConverter() = default;

HRESULT CConditionValueTypeConverter::Parse()
{
    const int valueType = Lookup(kValueTypes, GetAttribute(L"Convert"), cvtInvalid);
    if (valueType == cvtInvalid)
        return E_INVALIDARG;
    m_valueType = valueType;
    const int errorMode = Lookup(kErrorModes, GetAttribute(L"ConvertError"), cceInvalid);
    if (errorMode == cceInvalid)
        return E_INVALIDARG;
    m_errorMode = errorMode;
    if ((static_cast<DWORD>(m_valueType) & GetAllowedTypes()) == 0)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CConditionValueTypeConverter::Convert(const _stringx& text, VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantClear(out);
    switch (m_valueType) {
    case cvtDword: {
        long value = 0;
        if (!ParseWhole<long>(text, value, &_stringx::to_long))
            return DISP_E_TYPEMISMATCH;
        V_VT(out) = VT_I4;
        V_I4(out) = value;
        return S_OK;
    }
    case cvtQword: {
        long long value = 0;
        if (!ParseWhole<long long>(text, value, &_stringx::to_int64))
            return DISP_E_TYPEMISMATCH;
        V_VT(out) = VT_I8;
        V_I8(out) = value;
        return S_OK;
    }
    case cvtString:
        return MakeText(text, out);
    case cvtMultiString:
        return MakeTextList(text, out);
    case cvtVersion: {
        DWORD high = 0;
        DWORD low = 0;
        const HRESULT hr = ParseVersion4(text, &high, &low);
        if (FAILED(hr))
            return hr;
        V_VT(out) = VT_UI8;
        V_UI8(out) = static_cast<ULONGLONG>(high) << 32 | low;
        return S_OK;
    }
    case cvtProductVersion: {
        DWORD version = 0;
        const HRESULT hr = ParseVersion3(text, &version);
        if (FAILED(hr))
            return hr;
        V_VT(out) = VT_UI4;
        V_UI4(out) = version;
        return S_OK;
    }
    case cvtLocalDateTime:
        return MakeFileTime(text, out);
    default:
        return E_INVALIDARG;
    }
}

HRESULT CConditionValueTypeConverter::ConvertDword(DWORD value, VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantClear(out);
    switch (m_valueType) {
    case cvtDword:
        V_VT(out) = VT_I4;
        V_I4(out) = static_cast<LONG>(value);
        return S_OK;
    case cvtString: {
        VARIANT number;
        V_VT(&number) = VT_UI4;
        V_UI4(&number) = value;
        return NumberAsText(number, out);
    }
    default:
        return E_INVALIDARG;
    }
}

HRESULT CConditionValueTypeConverter::ConvertQword(DWORD low, DWORD high, VARIANT* out) const
{
    if (!out)
        return E_POINTER;
    VariantClear(out);
    const ULONGLONG value = static_cast<ULONGLONG>(high) << 32 | low;
    switch (m_valueType) {
    case cvtQword:
        // Signed, like the text conversion, so that both sides of a comparison agree.
        V_VT(out) = VT_I8;
        V_I8(out) = static_cast<LONGLONG>(value);
        return S_OK;
    case cvtString: {
        VARIANT number;
        V_VT(&number) = VT_UI8;
        V_UI8(&number) = value;
        return NumberAsText(number, out);
    }
    case cvtLocalDateTime:
        V_VT(out) = VT_UI8;
        V_UI8(out) = value;
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}
