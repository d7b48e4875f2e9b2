#include "ConditionKindTestSupport.h"

#include "conditions/ConditionKind.h"
#include "conditions/SuiteConditionKinds.h"

namespace testing_support {

std::unique_ptr<CCondition> MakeKind(int kind, AttributeList attributes)
{
    RegisterSuiteConditionKinds();
    std::unique_ptr<CCondition> condition = MakeCondition(kind);
    if (condition) {
        for (const auto& [name, value] : attributes)
            condition->Attributes().SetAttribute(name, value.c_str());
    }
    return condition;
}

Evaluation EvaluateOnce(CCondition& condition)
{
    bool result = true;
    const HRESULT hr = condition.Evaluate(&result);
    return {hr, result};
}

} // namespace testing_support
