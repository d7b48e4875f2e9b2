#include "actions/ActionSetProperty.h"

#include "kr/trace_log.h"
#include "properties/PropertySetter.h"

#define ACTION_SOURCE TraceSource{L"Action", __LINE__}

void CActionSetProperty::InitDefaults()
{
    m_name = GetAttribute(L"Name");
    m_value = GetAttribute(L"Value");
    m_formatPropertyValue = GetAttribute(L"FormatPropertyValue");
}

HRESULT CActionSetProperty::Execute(CParcel*)
{
    if (m_name.empty()) {
        TraceFormat(ACTION_SOURCE, L"SetProperty action '%s' has no property name", m_id.c_str());
        return S_FALSE;
    }
    CPropertySetter setter;
    setter.SetAttribute(L"Name", m_name);
    setter.SetAttribute(L"Value", m_value);
    setter.SetAttribute(L"FormatPropertyValue", m_formatPropertyValue);
    setter.Apply();
    return S_OK;
}
