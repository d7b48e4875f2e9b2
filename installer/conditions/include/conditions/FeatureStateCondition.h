#pragma once

// "FeatureAction": the planned action of a feature is the one named by "State".

#include "conditions/Condition.h"

class CFeatureStateCondition : public CCondition {
public:
    HRESULT Validate() override;
    // 0x80070646 (false) when the feature does not exist.
    HRESULT Evaluate(bool* result) override;

private:
    _stringx m_featureName;
    int m_wantedState = 0;
};
