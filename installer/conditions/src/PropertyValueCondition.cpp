#include "conditions/PropertyValueCondition.h"

#include "conditions/SetupEngine.h"
#include "kr/holders.h"
#include "kr/trace_log.h"

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

DWORD CPropertyValueCondition::GetAllowedTypes() const
{
    return cvtDword | cvtQword | cvtString | cvtVersion | cvtProductVersion | cvtLocalDateTime;
}

HRESULT CPropertyValueCondition::Validate()
{
    HRESULT hr = CConditionValueTypeConverter::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Validate property value condition: type conversion is invalid (%x)", hr);
        return hr;
    }
    hr = CConditionComparator::Parse();
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE, L"Validate property value condition: comparator is invalid (%x)", hr);
        return hr;
    }
    m_name = ReadAttribute(L"Name");
    if (m_name.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Validate property value condition: no property name specified");
        return E_INVALIDARG;
    }
    m_compareTo = ReadAttribute(L"CompareTo");
    if (m_compareTo.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Validate property value condition: no comparison data provided");
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CPropertyValueCondition::Evaluate(bool* result)
{
    *result = false;
    ISetupEngine* engine = SetupEngine();
    const _stringx value = engine ? engine->GetEngineProperty(m_name) : _stringx();
    kr::variant_holder actual;
    HRESULT hr = Convert(value, actual.get());
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE,
                    L"Property value condition: failed to convert the current value of property '%s' (%s) to the "
                    L"requested value type, error 0x%08x",
                    m_name.c_str(), value.c_str(), hr);
        return hr;
    }
    const _stringx compareTo = FormatString(m_compareTo);
    kr::variant_holder expected;
    hr = Convert(compareTo, expected.get());
    if (FAILED(hr)) {
        TraceFormat(CONDITION_SOURCE,
                    L"Property value condition: failed to convert the value of compare '%s' (%s) to the requested "
                    L"value type, error 0x%08x",
                    m_compareTo.c_str(), compareTo.c_str(), hr);
        return hr;
    }
    return Compare(*actual.get(), *expected.get(), result);
}
