#include "properties/PropertySetter.h"

#include "conditions/Condition.h"
#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"

namespace {

#define SETTER_SOURCE TraceSource{L"PropertySetter", __LINE__}

} // namespace

CPropertySetter::CPropertySetter() = default;

CPropertySetter::~CPropertySetter() = default;

void CPropertySetter::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Name")
        m_name = value;
    else if (name == L"Value")
        m_value = value;
    else if (name == L"FormatPropertyValue")
        m_formatValue = value == L"yes";
}

HRESULT CPropertySetter::Apply()
{
    ISetupEngine* engine = SetupEngine();
    if (!engine)
        return E_UNEXPECTED;

    if (CCondition* condition = Condition()) {
        bool holds = false;
        const HRESULT hr = condition->Evaluate(&holds);
        if (FAILED(hr)) {
            TraceFormat(SETTER_SOURCE, L"PropertySetter: condition for property '%s' failed to evaluate, error %08x",
                        m_name.c_str(), hr);
            return hr;
        }
        if (!holds)
            return S_FALSE;
    }

    const _stringx value = m_formatValue ? engine->FormatString(m_value) : m_value;
    engine->SetProperty(m_name, value, false);
    return S_OK;
}
