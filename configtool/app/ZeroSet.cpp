// The position page's zero set: the encoder takes its current position as its zero (preset),
// moved by the operator's zero shift, and for a rotary start set by the start-set offset of the
// chosen angle. ZERO_SHIFT_CB keeps both shift inputs on their grid.
#include <cmath>
#include <cstdint>
#include <optional>

#include "BlockTransfer.h"
#include "BusyState.h"
#include "ConfigurationWrite.h"
#include "ConnectionSequence.h"
#include "Languages.h"
#include "LiveReadingPause.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "ParameterTables.h"
#include "RegisterFields.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "ZeroShift.h"

namespace {

using calvista::SysField;

constexpr int kMessageUpdateStarted = 47;
constexpr int kMessageSettingPreset = 59;

unsigned FieldAddress(SysField field)
{
    return calvista::SysRegField(field).address;
}

// The expert page and the field show what the encoder now holds: a later refresh of the pages
// (the modification marker's) or a configuration write must not bring back the old value.
void ShowWrittenField(int control, SysField field, std::uint32_t value)
{
    calvista::SysRegField(field).value = static_cast<std::int32_t>(value);
    SetDerivedValue(ExpertPage(), control, value);
}

// Read the command byte from RAM, set ZERO_SET in it and write it back.
int GivePresetCommand()
{
    const calvista::RegField &zeroSet = calvista::SysRegField(SysField::ZERO_SET);
    if (const int code = OperateSlaveRegByAddress(zeroSet.address, 0, kMailboxReadRam))
        return code;
    const unsigned command = (MailboxResult() | 1u << zeroSet.bitpos) & 0xFF;
    return OperateSlaveRegByAddress(zeroSet.address, command, kMailboxWriteRam);
}

int TransferByte(int operation, unsigned address)
{
    return TransferBissData(operation, address, 1);
}

// The image cell, then both memories in the given order, each followed by a pause of 0.01 s
// (the last one only when asked for).
int StoreByte(unsigned address, std::uint8_t value, int firstOperation, int secondOperation, bool pauseAfter)
{
    calvista::UpdateBuffers(static_cast<std::uint16_t>(address), 0, value);
    if (const int code = TransferByte(firstOperation, address))
        return code;
    MillisecSleep(0.01);
    if (const int code = TransferByte(secondOperation, address))
        return code;
    if (pauseAfter)
        MillisecSleep(0.01);
    return 0;
}

std::optional<std::uint32_t> StartsetOffsetFor(double degrees, int resolutionIndex)
{
    if (resolutionIndex < 0 || resolutionIndex >= calvista::kResolutionCount)
        return std::nullopt;
    const int row = calvista::StartsetRowForDegrees(degrees);
    return calvista::StartsetOffsetTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(resolutionIndex)];
}

// The start-set offset of the angle into RAM and EEPROM, then the preset again so that the encoder
// counts from it.
int SetStartsetOffset(int position)
{
    const auto value = StartsetOffsetFor(CtrlDouble(position, TAB_POS_ZERO_SHIFT_DEG), ReferenceSysSettings.resolution);
    if (!value)
        return 0;
    ShowWrittenField(TAB_EXPERT_STARTSET_OFFSET, SysField::STARTSET_OFFSET, *value);
    const unsigned address = FieldAddress(SysField::STARTSET_OFFSET);
    if (const int code = StoreByte(address, (*value >> 8) & 0xFF, kMailboxWriteRam, kMailboxWriteEeprom, true))
        return code;
    if (const int code = StoreByte(address + 1, *value & 0xFF, kMailboxWriteRam, kMailboxWriteEeprom, false))
        return code;
    return GivePresetCommand();
}

// OFFSET as the preset left it in the EEPROM, most significant byte first.
int ReadOffset(std::uint32_t &offset)
{
    const unsigned first = FieldAddress(SysField::OFFSET);
    offset = 0;
    for (unsigned address = first; address < first + 4; ++address) {
        if (const int code = TransferByte(kMailboxReadEeprom, address))
            return code;
        MillisecSleep(0.05);
        offset = offset << 8 | calvista::ImageByte(address);
    }
    return 0;
}

int WriteOffset(std::uint32_t offset)
{
    const unsigned first = FieldAddress(SysField::OFFSET);
    for (unsigned i = 0; i < 4; ++i) {
        const auto byte = static_cast<std::uint8_t>(offset >> (24 - 8 * i));
        if (const int code = StoreByte(first + i, byte, kMailboxWriteEeprom, kMailboxWriteRam, true))
            return code;
    }
    return 0;
}

// A position display that showed something shows the shift it was given instead.
void ShowShiftInPosition(int position, double shift)
{
    const std::int32_t shown = CtrlInt(position, TAB_POS_SENSDATA);
    SetCtrlVal(position, TAB_POS_SENSDATA, shown != 0 ? calvista::TruncatedCounts(shift) : 0);
}

} // namespace

int ZEROSET_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const LiveReadingPause reading;
    SetLocalizedNotification(kMessageUpdateStarted, kSlotWarning);
    InstallPopup(g_warnPanel);
    SetLoadstate(kMessageSettingPreset);
    if (g_reading) {
        reading.StopReadTimer();
        ProcessSystemEvents();
    }

    MillisecSleep(0.1);
    const bool switched = g_link.protocol == kProtocolSsi;
    if (switched) {
        if (const int code = SSItoBISS())
            return FailWithSupervision(code);
        MillisecSleep(0.05);
    }
    if (const int code = GivePresetCommand())
        return FailWithSupervision(code);

    const int position = PositionPage();
    const std::int32_t zeroShift = CtrlInt(position, TAB_POS_ZERO_SHIFT);
    if (g_rotaryStartset) {
        if (const int code = SetStartsetOffset(position))
            return FailWithSupervision(code);
    }

    MillisecSleep(0.05);
    std::uint32_t offset = 0;
    if (const int code = ReadOffset(offset))
        return FailWithSupervision(code);
    const calvista::ShiftedOffset shifted = calvista::ApplyZeroShift(offset, zeroShift, ReferenceSysSettings.resolution);
    ShowWrittenField(TAB_EXPERT_OFFSET, SysField::OFFSET, shifted.offset);
    if (shifted.changed) {
        if (const int code = WriteOffset(shifted.offset))
            return FailWithSupervision(code);
    }
    if (shifted.offset != 0) {
        if (const int code = SetModifiedState())
            return FailWithSupervision(code);
    }

    int switchBack = 0;
    if (switched)
        switchBack = BISStoSSI();
    if (!g_rotaryStartset)
        ShowShiftInPosition(position, shifted.shift);

    CLR_GRAPHS_CB(position, TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
    MillisecSleep(0.5);
    HidePanel(g_warnPanel);
    ReleaseLoadstate();
    reading.Resume();
    // The switch back to SSI failing leaves the encoder on BiSS: the supervision deals with it.
    return switchBack;
}

int ZERO_SHIFT_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_VAL_CHANGED)
        SetZeroShift();
    return 0;
}
