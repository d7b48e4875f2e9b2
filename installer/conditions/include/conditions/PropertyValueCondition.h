#pragma once

// "PropertyValue": an engine property, converted to the "Convert" type,
// compared with "CompareTo".

#include "conditions/Condition.h"
#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"

class CPropertyValueCondition : public CCondition,
                                public CConditionComparator,
                                public CConditionValueTypeConverter {
public:
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }
    DWORD GetAllowedTypes() const override;

private:
    _stringx m_name;
    _stringx m_compareTo;
};
