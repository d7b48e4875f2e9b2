#include "conditions/ConditionContainer.h"

#include "conditions/Condition.h"

CConditionOwner::CConditionOwner() = default;

CConditionOwner::~CConditionOwner() = default;

void CConditionOwner::SetCondition(std::unique_ptr<CCondition> condition)
{
    // Handing back the tree already held must not destroy it.
    if (condition && condition.get() == m_condition.get()) {
        (void)condition.release();
        return;
    }
    m_condition = std::move(condition);
}
