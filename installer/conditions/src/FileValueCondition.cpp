#include "conditions/FileValueCondition.h"

#include "conditions/FileProvider.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

DWORD CFileValueCondition::GetAllowedTypes() const
{
    return cvtString | cvtVersion | cvtLocalDateTime;
}

HRESULT CFileValueCondition::Validate()
{
    HRESULT hr = CConditionValueTypeConverter::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: invalid type conversion/not supported (%x)", hr);
        return hr;
    }
    hr = CConditionComparator::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: invalid comparator (%x)", hr);
        return hr;
    }
    hr = CFileExistsCondition::Validate();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: invalid file info (%x)", hr);
        return hr;
    }
    m_compareTo = ReadAttribute(L"CompareTo");
    if (m_compareTo.empty()) {
        TraceFormat(CONDITION_SOURCE, L"File value: no comparison value provided");
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CFileValueCondition::ReadActual(const _stringx& path, VARIANT* out) const
{
    const FileProvider file(path, Check64Bit());
    switch (ValueType()) {
    case cvtString:
        return Convert(file.GetContent(), out);
    case cvtVersion: {
        const _stringx version = file.GetVersion();
        return Convert(version.empty() ? _stringx(L"0.0.0.0") : version, out);
    }
    case cvtLocalDateTime: {
        const ULONGLONG time = file.GetData(fdkLastWriteTime);
        return ConvertQword(static_cast<DWORD>(time), static_cast<DWORD>(time >> 32), out);
    }
    default:
        return E_INVALIDARG;
    }
}

bool CFileValueCondition::CheckFile(const _stringx& path)
{
    kr::variant_holder expected;
    HRESULT hr = Convert(FormatString(m_compareTo), expected.get());
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: failure to convert value (%x)", hr);
        return false;
    }
    kr::variant_holder actual;
    hr = ReadActual(path, actual.get());
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: failure to convert value (%x)", hr);
        return false;
    }
    bool result = false;
    hr = Compare(*actual.get(), *expected.get(), &result);
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"File value: failure to evaluate condition (%x)", hr);
        return false;
    }
    return result;
}
