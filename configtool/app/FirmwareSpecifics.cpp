#include "FirmwareSpecifics.h"

#include "FirmwareNumber.h"
#include "Panels.h"
#include "SensorLinkState.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

FirmwareState g_firmware;

namespace {

constexpr int kSysPage = 0;
constexpr int kPositionPage = 1;

// Frames of these firmwares carry the VEF and the error bits (54 bits).
constexpr std::int32_t kLastFortyBitFirmware = 141000;
constexpr std::int32_t kFirstCalibrationFirmware = 300000;

constexpr int kErrorIndicators[] = {TAB_POS_VANTREL_READY, TAB_POS_SSI_OVERCLK,   TAB_POS_DORVEL_SIG_LOW,
                                    TAB_POS_DRV_IN_MK,     TAB_POS_NO_MAGNETICTAPE, TAB_POS_INCONSISTENCY,
                                    TAB_POS_PELLIN_ERROR};

void DimErrorIndicators(bool dimmed)
{
    const int page = GetTabPanel(kPositionPage);
    for (const int control : kErrorIndicators)
        SetCtrlAttribute(page, control, ATTR_DIMMED, dimmed ? 1 : 0);
}

void DimVefDisplays(bool dimmed)
{
    const int page = GetTabPanel(kPositionPage);
    SetCtrlAttribute(page, TAB_POS_VEF, ATTR_DIMMED, dimmed ? 1 : 0);
    SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_DIMMED, dimmed ? 1 : 0);
}

void ClearGraphs()
{
    CLR_GRAPHS_CB(GetTabPanel(kPositionPage), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
}

// Frame type values of the FRAME_TYPE ring.
constexpr int kFrameTypeDiagnosis = 0;
constexpr int kFrameTypeStandard = 1;

void FixFrameType(int value)
{
    const int page = GetTabPanel(kSysPage);
    SetCtrlVal(page, TAB_SYS_FRAME_TYPE, value);
    SetCtrlAttribute(page, TAB_SYS_FRAME_TYPE, ATTR_DIMMED, 1);
}

// A capable encoder keeps its frame type, which an interface variant fixes; any other firmware
// that sends the diagnosis bits has the diagnosis frame only.
void OfferFrameTypeOfDiagnosisFirmware()
{
    if (g_firmware.frameTypeCapable) {
        const bool fixed = g_sarvikInterface || g_absoluteQuadrature;
        SetCtrlAttribute(GetTabPanel(kSysPage), TAB_SYS_FRAME_TYPE, ATTR_DIMMED, fixed ? 1 : 0);
    } else {
        FixFrameType(kFrameTypeDiagnosis);
    }
}

void SetCalibrationSpecific(std::int32_t firmware)
{
    // An unknown firmware (0) counts as an old one.
    const bool dimmed = firmware < kFirstCalibrationFirmware;
    SetCtrlAttribute(GetTabPanel(kSysPage), TAB_SYS_ROTATIVE_CALIB, ATTR_DIMMED, dimmed ? 1 : 0);
}

void SetFrameSpecific(std::int32_t firmware)
{
    if (g_link.protocol != kProtocolBiss)
        return;
    DimErrorIndicators(false);
    if (firmware > kLastFortyBitFirmware) {
        g_link.frameLength = 54;
        DimVefDisplays(false);
        OfferFrameTypeOfDiagnosisFirmware();
    } else {
        g_link.frameLength = 40;
        DimVefDisplays(true);
        ClearGraphs();
        FixFrameType(kFrameTypeStandard);
    }
}

// What the SSI frame carries behind the position grows with the firmware.
void SetDisplaySpecific(std::int32_t firmware)
{
    if (firmware > 129000) {
        g_link.ssiFrameType = firmware > 139000 ? 3 : firmware > 137000 ? 2 : 1;
        DimVefDisplays(false);
        DimErrorIndicators(false);
        if (g_link.ssiFrameType == 3)
            OfferFrameTypeOfDiagnosisFirmware();
        else
            FixFrameType(kFrameTypeDiagnosis);
        return;
    }
    g_link.ssiFrameType = 0;
    DimVefDisplays(true);
    ClearGraphs();
    // An unknown firmware may still report errors; a known old one has no error bits.
    DimErrorIndicators(firmware != 0);
    FixFrameType(kFrameTypeStandard);
}

} // namespace

void SetFirmwareFromText(const char *text)
{
    g_firmware.number = calvista::FirmwareNumberFromText(text ? text : "");
    g_firmware.frameTypeCapable = calvista::IsFrameTypeCapable(g_firmware.number);
}

void SetFwVerSpecific(bool calibration, bool frame, bool display)
{
    const std::int32_t firmware = g_firmware.number;
    if (calibration)
        SetCalibrationSpecific(firmware);
    if (frame)
        SetFrameSpecific(firmware);
    if (display)
        SetDisplaySpecific(firmware);
}
