#pragma once

// "CallClr": calls a managed-code method through the managed-code DLL in a
// proxy process. Its code lists are fixed.

#include "actions/Action.h"

class CActionCallClr : public CAction {
public:
    void InitDefaults() override;
    HRESULT Execute(CParcel* parcel) override;

    const _stringx& Name() const noexcept { return m_name; }

private:
    _stringx m_name;
};
