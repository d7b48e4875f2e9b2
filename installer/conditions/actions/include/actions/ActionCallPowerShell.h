#pragma once

// "CallPowerShell": runs a PowerShell script through the managed-code DLL in
// a proxy process. Its code lists are fixed.

#include "actions/Action.h"

class CActionCallPowerShell : public CAction {
public:
    void InitDefaults() override;
    HRESULT Execute(CParcel* parcel) override;
};
