#include "conditions/ParcelActionCondition.h"

#include "conditions/SetupEngine.h"
#include "kr/trace_log.h"

namespace {

#define CONDITION_SOURCE TraceSource{L"Condition", __LINE__}

constexpr HRESULT kUnknownParcel = static_cast<HRESULT>(0x80070647); // ERROR_UNKNOWN_COMPONENT

struct NamedState {
    const wchar_t* name;
    int state;
};

constexpr NamedState kStates[] = {
    {L"install", episInstalled}, {L"modify", episModify},     {L"repair", episRepair},
    {L"remove", episRemove},   {L"noaction", episNoAction},
};

} // namespace

HRESULT CParcelActionCondition::Validate()
{
    m_parcelId = ReadAttribute(L"Id");
    if (m_parcelId.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Parcel state condition validate: no parcel ID specified");
        return E_INVALIDARG;
    }
    const _stringx state = ReadAttribute(L"State");
    if (state.empty()) {
        TraceFormat(CONDITION_SOURCE, L"Parcel state condition validate: no action state specified");
        return E_INVALIDARG;
    }
    for (const NamedState& named : kStates) {
        if (state == named.name) {
            m_wantedState = named.state;
            return S_OK;
        }
    }
    TraceFormat(CONDITION_SOURCE, L"Parcel state condition validate: invalid action state provided: '%s'",
                state.c_str());
    return E_INVALIDARG;
}

HRESULT CParcelActionCondition::Evaluate(bool* result)
{
    *result = false;
    ISetupEngine* engine = SetupEngine();
    IParcel2* parcel = engine ? engine->FindParcel(m_parcelId) : nullptr;
    if (!parcel) {
        TraceFormat(CONDITION_SOURCE, L"Parcel state condition: feature '%s' does not exist, condition will "
                                      L"evaluate to false",
                    m_parcelId.c_str());
        return kUnknownParcel;
    }
    EnumParcelInstallState state = episNoAction;
    const HRESULT hr = parcel->get_ActionState(&state);
    if (FAILED(hr))
        return hr;
    *result = state == m_wantedState;
    return S_OK;
}
