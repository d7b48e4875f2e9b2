#include "conditions/RegistryValueCondition.h"

#include <cstring>
#include <vector>

#include "conditions/RegistryProvider.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

// The text of a registry text value, never read past its data. A multi-string
// keeps its NULs for the MultiString conversion; otherwise it ends at its first NUL.
_stringx RegistryText(const BYTE* data, DWORD size, bool whole)
{
    const size_t limit = size / sizeof(wchar_t);
    std::wstring text(limit, L'\0');
    if (limit)
        std::memcpy(text.data(), data, limit * sizeof(wchar_t));
    if (!whole) {
        const size_t end = text.find(L'\0');
        if (end != std::wstring::npos)
            text.resize(end);
    }
    return _stringx(text.c_str(), text.length());
}

} // namespace

DWORD CRegistryValueCondition::GetAllowedTypes() const
{
    return cvtDword | cvtQword | cvtString | cvtMultiString | cvtVersion | cvtProductVersion;
}

HRESULT CRegistryValueCondition::Validate()
{
    HRESULT hr = CConditionValueTypeConverter::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Validate registry value condition: type conversion is invalid (%x)", hr);
        return hr;
    }
    hr = CConditionComparator::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Validate registry value condition: comparator is invalid (%x)", hr);
        return hr;
    }
    hr = CRegistryExistsCondition::Validate();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Validate registry value condition: key/value/root are invalid (%x)", hr);
        return hr;
    }
    m_compareTo = ReadAttribute(L"CompareTo");
    if (m_compareTo.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Validate registry value condition: no comparison data provided");
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CRegistryValueCondition::ConvertRegistryData(DWORD type, const BYTE* data, DWORD size, VARIANT* out) const
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        return Convert(RegistryText(data, size, type == REG_MULTI_SZ && ValueType() == cvtMultiString), out);
    case REG_DWORD:
        if (size >= sizeof(DWORD)) {
            DWORD value = 0;
            std::memcpy(&value, data, sizeof(value));
            return ConvertDword(value, out);
        }
        break;
    case REG_QWORD:
        if (size >= sizeof(ULONGLONG)) {
            ULONGLONG value = 0;
            std::memcpy(&value, data, sizeof(value));
            return ConvertQword(static_cast<DWORD>(value), static_cast<DWORD>(value >> 32), out);
        }
        break;
    default:
        break;
    }
    // Also a number shorter than its type: nothing to read.
    TraceFormat(CONDITION_SOURCE, L"Evaluate registry value condition: unsupported reg value type (%x)", type);
    return E_NOTIMPL;
}

HRESULT CRegistryValueCondition::Evaluate(bool* result)
{
    *result = false;
    Target target;
    bool exists = false;
    HRESULT hr = EvaluateExists(&target, &exists);
    if (FAILED(hr) || !exists)
        return hr;

    kr::variant_holder expected;
    hr = Convert(FormatString(m_compareTo), expected.get());
    if (FAILED(hr))
        return hr;

    DWORD type = 0;
    std::vector<BYTE> data;
    hr = CRegistryProvider(target.root, target.subKey, Check64Bit(), target.valueName).GetData(&type, &data);
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"RegistryValue condition: failed to get data for value, error %08x", hr);
        return hr;
    }
    // The provider adds two zero bytes after the value's own data.
    const DWORD size = data.size() >= 2 ? static_cast<DWORD>(data.size() - 2) : 0;
    kr::variant_holder actual;
    hr = ConvertRegistryData(type, data.data(), size, actual.get());
    // An unsupported type is logged as such already.
    if (hr == E_NOTIMPL)
        return hr;
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE,
                    L"Evaluate registry value condition: failed to convert data to requested format (%x)", hr);
        return hr;
    }
    return Compare(*actual.get(), *expected.get(), result);
}
