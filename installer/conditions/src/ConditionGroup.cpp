#include "conditions/ConditionGroup.h"

#include "conditions/ConditionKind.h"
#include "kr/bootstrap_exception.h"

CConditionGroup::CConditionGroup() = default;

CConditionGroup::~CConditionGroup() = default;

CCondition* CConditionGroup::CreateCondition(int kind)
{
    std::unique_ptr<CCondition> member = MakeCondition(kind);
    if (!member)
        return nullptr;
    m_members.push_back(std::move(member));
    return m_members.back().get();
}

void CConditionGroup::AddCondition(std::unique_ptr<CCondition> member)
{
    if (member)
        m_members.push_back(std::move(member));
}

HRESULT CConditionGroup::Validate()
{
    for (const std::unique_ptr<CCondition>& member : m_members) {
        if (member->IsValidated())
            continue;
        const HRESULT hr = member->Validate();
        if (FAILED(hr)) {
            throw invalid_condition_exception(hr, member->GetConvertValue(), member->GetCompareToValue(),
                                              member->ReadAttribute(L"ExtType"));
        }
        member->MarkValidated();
    }
    return S_OK;
}

HRESULT CConditionGroup::Evaluate(bool* result)
{
    if (!result)
        return E_POINTER;
    *result = false;
    if (m_kind < cgkAny || m_kind > cgkNot)
        return E_INVALIDARG;
    if (m_members.empty()) {
        *result = m_kind != cgkNot;
        return S_OK;
    }

    size_t holding = 0;
    for (const std::unique_ptr<CCondition>& member : m_members) {
        bool holds = false;
        const HRESULT hr = member->Evaluate(&holds);
        if (FAILED(hr))
            return hr;
        if (holds)
            ++holding;
    }

    switch (m_kind) {
    case cgkAny:
        *result = holding > 0;
        break;
    case cgkAll:
        *result = holding == m_members.size();
        break;
    default:
        *result = holding == 0;
        break;
    }
    return S_OK;
}
