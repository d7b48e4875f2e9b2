#include "parcels/EventAction.h"

#include <iterator>

#include "conditions/Condition.h"
#include "kr/trace_log.h"

namespace {

#define EVENT_SOURCE TraceSource{L"EventAction", __LINE__}

} // namespace

std::unique_ptr<IEventAction> MakeEventAction(const _stringx& actionId)
{
    return std::make_unique<CEventAction>(actionId);
}

int ParseEventType(const _stringx& elementName)
{
    // In the order of their type numbers.
    static constexpr const wchar_t* kEventNames[] = {
        L"OnBegin",          L"OnResuming",          L"OnStaging",          L"OnStaged",
        L"OnParcelsInstalling", L"OnParcelsInstalled", L"OnRebooting",      L"OnEnd",
        L"OnParcelConfiguring", L"OnParcelConfigured",
    };
    const _wstringx name = elementName.to_wstringx();
    for (int type = 0; type < static_cast<int>(std::size(kEventNames)); ++type) {
        if (name == kEventNames[type])
            return type;
    }
    return kNoEventType;
}

CEventAction::CEventAction(const _stringx& actionId) : m_actionId(actionId)
{
}

void CEventAction::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"DisplayText")
        m_displayText = value;
}

void CEventAction::SetCondition(std::unique_ptr<CCondition> condition)
{
    m_condition.SetCondition(std::move(condition));
}

bool CEventAction::EvaluateEntryCondition()
{
    CCondition* condition = m_condition.Condition();
    if (!condition)
        return true;
    bool result = false;
    const HRESULT hr = condition->Evaluate(&result);
    if (FAILED(hr)) {
        TraceFormat(EVENT_SOURCE, L"Failed to evaluate event action entry condition, status: 0x%08x", hr);
        return false;
    }
    return result;
}
