#pragma once

// "Platform": the Windows version range, service pack, CSD version, build,
// edition and processor architecture of the machine.

#include <memory>

#include "conditions/Condition.h"

class CPlatformCondition : public CCondition {
public:
    // Bounds hold this value when the attribute gives none.
    static constexpr unsigned kNoBound = 0x80000000;

    HRESULT Validate() override;
    HRESULT Evaluate(bool* result) override;

private:
    unsigned m_minimumOs = kNoBound;
    unsigned m_maximumOs = kNoBound;
    unsigned m_minimumServicePack = kNoBound;
    unsigned m_maximumServicePack = kNoBound;
    _stringx m_csdVersion;
    unsigned m_minimumBuild = kNoBound;
    unsigned m_productTypes = 7;
    unsigned m_architectures = 7;
};

std::unique_ptr<CCondition> MakePlatformCondition();
