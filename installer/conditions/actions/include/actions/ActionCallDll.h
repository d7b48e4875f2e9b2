#pragma once

// "CallDll": calls a function of a DLL in a proxy process. Its code lists
// are fixed, whatever setup.xml says.

#include "actions/Action.h"

class CActionCallDll : public CAction {
public:
    void InitDefaults() override;
    HRESULT Execute(CParcel* parcel) override;
};
