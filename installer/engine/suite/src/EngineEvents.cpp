// The suite's event actions and actions: the reader registers them, the run
// and the user interface run them by event type and by id.

#include "suite/SetupEngine.h"

#include "kr/holders.h"
#include "kr/trace_log.h"
#include "parcels/EventAction.h"

#define ENGINE_TRACE(...) TraceFormat({L"SetupEngine", __LINE__}, __VA_ARGS__)

namespace {

constexpr HRESULT kUserExit = static_cast<HRESULT>(0x80070642);
constexpr HRESULT kRebootPending = static_cast<HRESULT>(0x80070BC2);

} // namespace

IEventAction* CSetupEngine::AddEventAction(int eventType, const _stringx& actionId)
{
    // The parcel events are kept by their parcels.
    if (eventType == kOnParcelConfiguring || eventType == kOnParcelConfigured)
        return nullptr;
    return AddEventAction(eventType, MakeEventAction(actionId));
}

IEventAction* CSetupEngine::AddEventAction(int eventType, std::unique_ptr<IEventAction> action)
{
    if (!action || eventType == kOnParcelConfiguring || eventType == kOnParcelConfigured)
        return nullptr;
    auto& list = m_eventActions[eventType];
    list.push_back(std::move(action));
    return list.back().get();
}

void CSetupEngine::AddSuiteAction(std::unique_ptr<ISuiteAction> action)
{
    if (action)
        m_actions.push_back(std::move(action));
}

HRESULT CSetupEngine::RunEvents(int eventType)
{
    const auto found = m_eventActions.find(eventType);
    if (found == m_eventActions.end() || found->second.empty())
        return S_FALSE;
    HRESULT result = S_OK;
    for (const auto& action : found->second) {
        if (!action->EvaluateEntryCondition()) {
            ENGINE_TRACE(L"Skipping event '%s' since condition is false", action->GetActionId().c_str());
            continue;
        }
        const _stringx text = FormatString(ResolveStringId(action->GetDisplayText()));
        if (!text.empty()) {
            kr::bstr_holder message(SysAllocStringLen(text.c_str(), static_cast<UINT>(text.length())));
            Fire_OnActionEventInfo(message.get(), 0, 0, epfMessageValid, &m_uiAnswer);
            if (m_uiAnswer == VARIANT_TRUE)
                return kUserExit;
        }
        result = RunAction(action->GetActionId(), nullptr);
        if (result == kRebootPending) {
            // The reboot waits for the end of the suite; the event itself went well.
            RequestDelayedReboot();
            result = S_OK;
            continue;
        }
        if (FAILED(result))
            return result;
    }
    return result;
}

HRESULT CSetupEngine::RunAction(const _stringx& actionId, IParcel2* parcel)
{
    const _wstringx exact(actionId.c_str());
    for (const auto& action : m_actions) {
        if (!(_wstringx(action->GetId().c_str()) == exact))
            continue;
        ENGINE_TRACE(L"Running event '%s'", actionId.c_str());
        const HRESULT status = action->Execute(parcel);
        ENGINE_TRACE(L"Action '%s' returned status 0x%08x", actionId.c_str(), status);
        return status;
    }
    ENGINE_TRACE(L"Action '%s' does not exist", actionId.c_str());
    return E_FAIL;
}
