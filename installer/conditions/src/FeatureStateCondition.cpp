#include "conditions/FeatureStateCondition.h"

#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

constexpr HRESULT kUnknownFeature = static_cast<HRESULT>(0x80070646); // ERROR_UNKNOWN_FEATURE

} // namespace

HRESULT CFeatureStateCondition::Validate()
{
    m_featureName = ReadAttribute(L"FeatureName");
    if (m_featureName.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Feature state condition validate: no feature specified");
        return E_INVALIDARG;
    }
    const _stringx state = ReadAttribute(L"State");
    if (state.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Feature state condition validate: no action state specified");
        return E_INVALIDARG;
    }
    if (state == L"install")
        m_wantedState = efasInstall;
    else if (state == L"remove")
        m_wantedState = efasRemove;
    else if (state == L"noaction")
        m_wantedState = efasNoAction;
    else {
        TraceFormat(CONDITION_SOURCE, L"Feature state condition validate: invalid action state provided: '%s'",
                    state.c_str());
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT CFeatureStateCondition::Evaluate(bool* result)
{
    *result = false;
    ISetupEngine* engine = SetupEngine();
    IFeature* feature = engine ? engine->FindFeature(m_featureName) : nullptr;
    if (!feature) {
        TraceFormat(CONDITION_SOURCE, L"Feature state condition: feature '%s' does not exist, condition will "
                                      L"evaluate to false",
                    m_featureName.c_str());
        return kUnknownFeature;
    }
    EnumFeatureActionState state = efasNoAction;
    const HRESULT hr = feature->get_ActionState(&state);
    if (FAILED(hr))
        return hr;
    *result = state == m_wantedState;
    return S_OK;
}
