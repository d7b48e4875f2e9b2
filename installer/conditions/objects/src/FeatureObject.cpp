#include "FeatureObject.h"

#include "ModelText.h"
#include "ObjectText.h"
#include "automation/TypeLibrary.h"
#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"

#define OBJECT_TRACE(...) TraceFormat({L"SuiteObject", __LINE__}, __VA_ARGS__)

CFeatureObject::CFeatureObject() : com::DispatchImpl<IFeatureObject>(TessarelTypeInfo<&IID_IFeatureObject>())
{
}

std::span<const com::InterfaceEntry> CFeatureObject::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CFeatureObject, IFeatureObject>(IID_IFeatureObject),
        com::InterfaceOf<CFeatureObject, IFeatureObject>(IID_IDispatch),
    };
    return table;
}

template <class Value>
HRESULT CFeatureObject::ValueMember(HRESULT (STDMETHODCALLTYPE IFeature::*getter)(Value*), BSTR* out)
{
    if (!out)
        return E_INVALIDARG;
    if (!m_feature)
        return CO_E_OBJNOTCONNECTED;
    return ValueOut(m_feature.Get(), getter, out);
}

STDMETHODIMP CFeatureObject::get_DisplayName(BSTR* displayName)
{
    if (!displayName)
        return E_POINTER;
    if (!m_feature)
        return CO_E_OBJNOTCONNECTED;
    return ResolvedTextOut(m_feature.Get(), &IFeature::get_DisplayName, displayName);
}

STDMETHODIMP CFeatureObject::get_Description(BSTR* description)
{
    if (!description)
        return E_POINTER;
    if (!m_feature)
        return CO_E_OBJNOTCONNECTED;
    return ResolvedTextOut(m_feature.Get(), &IFeature::get_Description, description);
}

STDMETHODIMP CFeatureObject::get_Cost(BSTR* cost)
{
    return ValueMember(&IFeature::get_Cost, cost);
}

STDMETHODIMP CFeatureObject::get_ActionState(BSTR* action)
{
    return ValueMember(&IFeature::get_ActionState, action);
}

STDMETHODIMP CFeatureObject::get_Visible(BSTR* visible)
{
    if (!visible)
        return E_INVALIDARG;
    if (!m_feature)
        return CO_E_OBJNOTCONNECTED;
    VARIANT_BOOL value = VARIANT_FALSE;
    if (FAILED(m_feature->get_Visible(&value)))
        value = VARIANT_FALSE;
    return BooleanOut(value != VARIANT_FALSE, visible);
}

STDMETHODIMP CFeatureObject::get_InstalledState(BSTR* installedState)
{
    return ValueMember(&IFeature::get_InstalledState, installedState);
}

STDMETHODIMP CFeatureObject::get_AllowSelectionChange(BSTR* allowChange)
{
    return ValueMember(&IFeature::get_AllowSelectionChange, allowChange);
}

STDMETHODIMP CFeatureObject::Ctor(BSTR featureName)
{
    const _stringx name = TextIn(featureName);
    ISetupEngine* engine = SetupEngine();
    IFeature* feature = engine ? engine->FindFeature(name) : nullptr;
    if (!feature) {
        OBJECT_TRACE(L"FeatureObject: unknown feature: %s", name.c_str());
        return E_INVALIDARG;
    }
    if (m_feature.Get() != feature)
        m_feature = com::ComPtr<IFeature>(feature);
    return S_OK;
}
