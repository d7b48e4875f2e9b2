#include "ConfigurationWrite.h"

#include "BlockTransfer.h"
#include "BusyState.h"
#include "ConfigurationAreas.h"
#include "ConnectionSequence.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "RegisterFields.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "SensorPower.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kMessageUpdateStarted = 47;
constexpr int kMessageTransfer = 55;
constexpr double kSettleSeconds = 0.1;

int WriteRange(const calvista::AddressRange &range)
{
    return TransferBissData(kMailboxWriteEeprom, range.start, range.count);
}

int MarkParameters(calvista::ParameterState state)
{
    const std::uint16_t address = calvista::kModificationMarkerAddress;
    if (const int code = TransferBissData(kMailboxReadEeprom, address, 1))
        return code;
    const auto marker = calvista::MarkerForState(calvista::ImageByte(address), state);
    if (!marker)
        return 0;
    calvista::UpdateBuffers(address, 0, *marker);
    if (const int code = TransferBissData(kMailboxWriteEeprom, address, 1))
        return code;
    Visualize();
    return 0;
}

// A rotary zero shift is kept as a start-set offset of the resolution it was set at.
void DropStartsetOffsetOfOtherResolution()
{
    if (g_rotaryStartset && CtrlInt(SysPage(), TAB_SYS_VANTREL_RES) != ReferenceSysSettings.resolution)
        SetDerivedValue(ExpertPage(), TAB_EXPERT_STARTSET_OFFSET, 0);
}

void PackPages()
{
    CollectSysParameterFields();
    PackSysBlock();
    CollectDorvelParameterFields();
    PackDorvelBlock();
}

// Capable encoders keep their frame type in the identifier; the restart shows whether it took.
void RecordFrameType()
{
    if (!g_firmware.frameTypeCapable)
        return;
    const std::int32_t frameType = calvista::SysRegField(calvista::SysField::BISS_SSI_FRAME_TYPE).value;
    calvista::UpdateBuffers(calvista::kFrameTypeIdentifierAddress, 0, calvista::FrameTypeIdentifierCharacter(frameType));
    TransferBissData(kMailboxWriteEeprom, calvista::kFrameTypeIdentifierAddress, 1);
}

int WriteConfiguration(bool markModified)
{
    if (g_link.protocol == kProtocolSsi) {
        if (const int code = SSItoBISS())
            return code;
    }
    DropStartsetOffsetOfOtherResolution();
    PackPages();
    if (markModified) {
        if (const int code = SetModifiedState())
            return code;
    }
    for (const calvista::AddressRange &range : calvista::kWrittenConfiguration) {
        if (const int code = WriteRange(range))
            return code;
    }
    RecordFrameType();
    return 0;
}

void ForgetShownFile()
{
    SetCtrlVal(SysPage(), TAB_SYS_SELECTED_FILE, "");
    g_paramFileShown = 0;
}

} // namespace

int SetModifiedState()
{
    return MarkParameters(calvista::ParameterState::Modified);
}

int ResetModifiedState()
{
    return MarkParameters(calvista::ParameterState::Delivered);
}

int WRITE_CFG_CB(int, int, int event, void *, int eventData1, int eventData2)
{
    if (event != EVENT_COMMIT)
        return 0;
    SetLocalizedNotification(kMessageUpdateStarted, kSlotWarning);
    InstallPopup(g_warnPanel);
    SetLoadstate(kMessageTransfer);

    const bool markModified = eventData1 != kWriteKeepsMarker && eventData2 != kWriteKeepsMarker;
    if (const int code = WriteConfiguration(markModified)) {
        HidePanel(g_warnPanel);
        return FailWithSupervision(code);
    }

    SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, true);
    MillisecSleep(kSettleSeconds);
    Visualize();
    MillisecSleep(kSettleSeconds);
    const int code = RestartSensor();
    HidePanel(g_warnPanel);
    return code;
}

int READ_CFG_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    const int sys = SysPage();
    // Values of a loaded file that were not written are replaced by the encoder's.
    if (g_paramFileShown && !CtrlDimmed(sys, TAB_SYS_WRITE_CFG))
        ForgetShownFile();

    SetLoadstate(kMessageTransfer);
    const bool switched = g_link.protocol == kProtocolSsi;
    if (switched) {
        if (const int code = SSItoBISS())
            return code;
    }
    const calvista::AddressRange area = calvista::kReadConfiguration;
    if (const int code = TransferBissData(kMailboxReadEeprom, area.start, area.count))
        return FailWithSupervision(code);
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    // The pages now show the encoder: nothing is pending, and the start-set display follows it.
    SetCtrlDimmed(sys, TAB_SYS_WRITE_CFG, true);
    Visualize();
    int code = 0;
    if (switched)
        code = BISStoSSI();
    ReleaseLoadstate();
    return code;
}
