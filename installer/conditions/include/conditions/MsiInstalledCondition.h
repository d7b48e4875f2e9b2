#pragma once

// "MsiInstalled": whether a Windows Installer product is installed, with an
// optional package code, patch code and version test. The Windows Installer
// parcel builds one directly for its detection.

#include <memory>

#include "conditions/Condition.h"
#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"

class CMsiInstalledCondition : public CCondition, public CConditionComparator, public CConditionValueTypeConverter {
public:
    CMsiInstalledCondition();
    ~CMsiInstalledCondition() override;

    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }
    DWORD GetAllowedTypes() const override { return cvtProductVersion; }
    _stringx GetConvertValue() const override { return ReadAttribute(L"Convert"); }
    _stringx GetCompareToValue() const override { return ReadAttribute(L"CompareTo"); }

    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    HRESULT CheckCode(const _stringx& code, _stringx version);
    HRESULT EvaluateProduct(const _stringx& code, bool* result);

    _stringx m_productCode;
    _stringx m_packageCode;
    _stringx m_patchCode;
    bool m_versionTest = false;
    VARIANT m_expected;
    bool m_productList = false;
};

std::unique_ptr<CCondition> MakeMsiInstalledCondition();
