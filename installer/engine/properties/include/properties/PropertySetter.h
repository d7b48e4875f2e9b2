#pragma once

// Sets one engine property under an optional condition: the SetProperty
// elements of setup.xml and the SetProperty actions.

#include <windows.h>

#include "conditions/ConditionContainer.h"
#include "kr/stringx.h"

class CPropertySetter : public CConditionOwner {
public:
    CPropertySetter();
    ~CPropertySetter() override;

    // "Name", "Value" and "FormatPropertyValue" (any case); other names are ignored.
    void SetAttribute(const _stringx& name, const _stringx& value);

    // S_OK when the property was set, S_FALSE when the condition does not hold,
    // the condition's failure when it could not be evaluated (nothing is set then).
    HRESULT Apply();

    const _stringx& Name() const noexcept { return m_name; }
    const _stringx& Value() const noexcept { return m_value; }
    bool FormatsValue() const noexcept { return m_formatValue; }

private:
    _stringx m_name;
    _stringx m_value;
    bool m_formatValue = false;
};
