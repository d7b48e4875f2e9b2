#pragma once

// "UWPIsTypePresent": whether a Windows Runtime type is present; false
// before Windows 8, where there is no runtime to ask.

#include <memory>

#include "conditions/Condition.h"

class CUWPApiIsTypePresent : public CCondition {
public:
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    _stringx m_typeName;
};

std::unique_ptr<CCondition> MakeUWPApiIsTypePresentCondition();
