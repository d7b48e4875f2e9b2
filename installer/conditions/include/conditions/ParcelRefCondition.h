#pragma once

// "ParcelRef": another parcel, named by "Id", is eligible.

#include "conditions/Condition.h"

class CParcelRefCondition : public CCondition {
public:
    HRESULT Validate() override;
    // E_INVALIDARG when the parcel's eligibility is already being computed
    // further up: its eligible condition refers back to itself.
    HRESULT Evaluate(bool* result) override;

private:
    _stringx m_parcelId;
};
