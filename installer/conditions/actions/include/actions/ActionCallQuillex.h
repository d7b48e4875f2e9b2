#pragma once

// "CallQuillex": calls a function of the suite's Quillex script in a proxy
// process. Its code lists are fixed.

#include "actions/Action.h"

class CActionCallQuillex : public CAction {
public:
    void InitDefaults() override;
    HRESULT Execute(CParcel* parcel) override;
};
