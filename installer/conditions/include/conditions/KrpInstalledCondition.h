#pragma once

// "KrpInstalled": whether a product installed by the suite's script-project
// engine is registered in its Uninstall key, with an optional version test
// and a check that its log file exists.

#include <windows.h>

#include <memory>

#include "conditions/Condition.h"
#include "conditions/ConditionComparator.h"
#include "conditions/ConditionValueTypeConverter.h"

class CKrpInstalledCondition : public CCondition, public CConditionComparator, public CConditionValueTypeConverter {
public:
    CKrpInstalledCondition();
    ~CKrpInstalledCondition() override;

    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }
    DWORD GetAllowedTypes() const override { return cvtProductVersion; }
    _stringx GetConvertValue() const override { return ReadAttribute(L"Convert"); }
    _stringx GetCompareToValue() const override { return ReadAttribute(L"CompareTo"); }

    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    _stringx m_productCode;
    bool m_versionTest = false;
    bool m_checkPerUser = false;
    bool m_checkLog = false;
    VARIANT m_expected;
};

std::unique_ptr<CCondition> MakeKrpInstalledCondition();

// How the condition opens the Uninstall key; tests put a refusing one in place
// (the test machine grants every open). Returns the one before.
using RegistryKeyOpen = LSTATUS(WINAPI*)(HKEY root, LPCWSTR path, DWORD options, REGSAM access, PHKEY key);
RegistryKeyOpen SetKrpInstalledKeyOpen(RegistryKeyOpen open);
