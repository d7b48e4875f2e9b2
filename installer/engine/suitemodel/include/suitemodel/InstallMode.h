#pragma once

// One condition of an install mode of setup.xml (a child of Mode/Install,
// Mode/Maintenance or Mode/Remove): the mode it stands for and the condition
// under which the suite may run in it.

#include "automation/Interfaces.h"
#include "conditions/ConditionContainer.h"

class CInstallMode : public CConditionOwner {
public:
    explicit CInstallMode(EnumInstallMode mode) noexcept : m_mode(mode) {}

    EnumInstallMode Mode() const noexcept { return m_mode; }

private:
    EnumInstallMode m_mode;
};
