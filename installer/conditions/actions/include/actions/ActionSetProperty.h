#pragma once

// "SetProperty": sets an engine property, expanding the value when
// FormatPropertyValue is "yes".

#include "actions/Action.h"

class CActionSetProperty : public CAction {
public:
    void InitDefaults() override;
    // S_FALSE (taken as success) without a property name.
    HRESULT Execute(CParcel* parcel) override;

private:
    _stringx m_name;
    _stringx m_value;
    _stringx m_formatPropertyValue;
};
