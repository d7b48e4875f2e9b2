#pragma once

// "ParcelAction": the planned action of a parcel is the one named by "State".

#include "conditions/Condition.h"

class CParcelActionCondition : public CCondition {
public:
    HRESULT Validate() override;
    // 0x80070647 (false) when the parcel does not exist.
    HRESULT Evaluate(bool* result) override;

private:
    _stringx m_parcelId;
    int m_wantedState = 0;
};
