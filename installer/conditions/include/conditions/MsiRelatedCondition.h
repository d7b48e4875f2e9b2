#pragma once

// "MsiRelated": whether a Windows Installer product of an upgrade family is
// installed, optionally within a version range.

#include <memory>

#include "conditions/Condition.h"

class CMsiRelatedCondition : public CCondition {
public:
    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    HRESULT TestBound(const _stringx& product, const _stringx& version, const wchar_t* compare, bool* result) const;

    _stringx m_upgradeCode;
    _stringx m_minimum;
    _stringx m_maximum;
    bool m_minimumInclusive = false;
    bool m_maximumInclusive = false;
};

std::unique_ptr<CCondition> MakeMsiRelatedCondition();
