#pragma once

// "AppxInstalled": whether an app package is installed, asked of the
// app-package helper process. The app-package parcel builds one directly for
// its detection.

#include <memory>
#include <vector>

#include "conditions/Condition.h"
#include "conditions/ConditionComparator.h"

class CAppxInstalledCondition : public CCondition, public CConditionComparator {
public:
    _stringx GetAttribute(const _stringx& name) const override { return ReadAttribute(name); }

    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

    // The second data block of the helper's installed query.
    std::vector<BYTE> QueryRecord() const;

private:
    _stringx m_name;
    _stringx m_publisher;
    _stringx m_architecture;
    DWORD m_versionHigh = 0;
    DWORD m_versionLow = 0;
};

std::unique_ptr<CCondition> MakeAppxInstalledCondition();
