#pragma once

// "RegistryValue": a registry value, converted to the "Convert" type,
// compared with "CompareTo".

#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"
#include "conditions/RegistryExistsCondition.h"

class CRegistryValueCondition : public CRegistryExistsCondition,
                                public CConditionValueTypeConverter,
                                public CConditionComparator {
public:
    _stringx GetConvertValue() const override { return ReadAttribute(L"Convert"); }
    _stringx GetCompareToValue() const override { return ReadAttribute(L"CompareTo"); }
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }
    DWORD GetAllowedTypes() const override;

private:
    HRESULT ConvertRegistryData(DWORD type, const BYTE* data, DWORD size, VARIANT* out) const;

    _stringx m_compareTo;
};
