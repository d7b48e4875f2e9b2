#include "parcels/Operation.h"

#include <iterator>

namespace {

struct NamedValue {
    const wchar_t* name;
    int value;
};

constexpr NamedValue kOperationKinds[] = {
    {L"Install", episInstalled},
    {L"Modify", episModify},
    {L"Remove", episRemove},
    {L"Repair", episRepair},
};

constexpr NamedValue kRebootRequests[] = {
    {L"DetectExit", orrDetectExit},       {L"DetectReboot", orrDetectReboot}, {L"DetectIgnore", orrDetectIgnore},
    {L"AlwaysPrompt", orrAlwaysPrompt},   {L"AlwaysSilent", orrAlwaysSilent}, {L"AlwaysReboot", orrAlwaysReboot},
    {L"DetectDelay", orrDetectDelay},
};

constexpr NamedValue kExitBehaviors[] = {
    {L"DetectPrompt", oebDetectPrompt},
    {L"DetectAbort", oebDetectAbort},
    {L"DetectIgnore", oebDetectIgnore},
};

// Names of values match without regard to case; a name outside the table leaves the value.
template <size_t N>
void MapValue(const NamedValue (&table)[N], const _stringx& text, int& value)
{
    for (const NamedValue& entry : table) {
        if (text == entry.name) {
            value = entry.value;
            return;
        }
    }
}

} // namespace

int WantedOperationKind(EnumInstallMode mode) noexcept
{
    switch (mode) {
    case eimInstall:
    case eimAdmin:
        return episInstalled;
    case eimModify:
        return episModify;
    case eimRemove:
        return episRemove;
    case eimRepair:
        return episRepair;
    default:
        return kOtherOperationKind;
    }
}

void COperation::SetAttribute(const _stringx& name, const _stringx& value)
{
    if (name == L"Name") {
        m_kind = kOtherOperationKind;
        MapValue(kOperationKinds, value, m_kind);
    } else if (name == L"Target") {
        m_target = value;
    } else if (name == L"CommandLine") {
        m_commandLine = value;
    } else if (name == L"Silent") {
        m_silent = value;
    } else if (name == L"RebootRequest") {
        MapValue(kRebootRequests, value, m_rebootRequest);
    } else if (name == L"ExitBehavior") {
        MapValue(kExitBehaviors, value, m_exitBehavior);
    } else {
        CProperties::SetAttribute(name, value);
    }
}
