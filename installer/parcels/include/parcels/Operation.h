#pragma once

// One thing a parcel can do to its package (an Operation element of
// setup.xml): its kind, what it runs, and its rules for reboots and for
// results that did not take effect.

#include "automation/Interfaces.h"
#include "kr/stringx.h"
#include "properties/Properties.h"

// What a reboot status of the operation leads to.
enum OperationRebootRequest : int {
    orrDetectExit = 1,
    orrDetectReboot = 2,
    orrDetectIgnore = 4,
    orrAlwaysPrompt = 8,
    orrAlwaysSilent = 16,
    orrAlwaysReboot = 24,
    orrDetectDelay = 32,
};

// What happens when the operation did not take effect.
enum OperationExitBehavior : int {
    oebDetectPrompt = 0,
    oebDetectAbort = 1,
    oebDetectIgnore = 2,
};

// The kind of an operation without a name of the four.
constexpr int kOtherOperationKind = 6;

// The operation kind an install mode asks for.
int WantedOperationKind(EnumInstallMode mode) noexcept;

class COperation : public CProperties {
public:
    COperation() = default;

    void SetAttribute(const _stringx& name, const _stringx& value) override;

    // 1 Install, 2 Modify, 3 Repair, 4 Remove (the action state it produces), else 6.
    int GetKind() const noexcept { return m_kind; }
    _stringx GetTarget() const { return m_target; }
    _stringx GetCommandLine() const { return m_commandLine; }
    _stringx GetSilentCommandLine() const { return m_silent; }
    int GetRebootRequest() const noexcept { return m_rebootRequest; }
    int GetExitBehavior() const noexcept { return m_exitBehavior; }

private:
    // An operation without a Name is one of no known kind.
    int m_kind = kOtherOperationKind;
    _stringx m_target;
    _stringx m_commandLine;
    _stringx m_silent;
    int m_rebootRequest = orrDetectExit;
    int m_exitBehavior = oebDetectPrompt;
};
