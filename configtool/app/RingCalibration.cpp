#include "ConfigurationAreas.h"
#include "RingCalibration.h"

#include "BusyState.h"
#include "CalibrationPanel.h"
#include "ConfigurationWrite.h"
#include "ConnectionSequence.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "RegisterImage.h"
#include "RingParameters.h"
#include "SensorInformation.h"
#include "SensorLink.h"
#include "SensorMemoryMap.h"
#include "SensorPower.h"
#include "Supervision.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"

std::uint8_t PoleEnterPending = 0;
std::uint8_t PoleChangePending = 0;

namespace {

constexpr unsigned kOutputFormatAddress = 17;
constexpr std::uint32_t kSmallestPoleCount = 2;
constexpr std::uint16_t kCalibrationFrameLength = 40;

constexpr int kTextDefinePoles = 73;
constexpr int kTextCalculating = 74;
constexpr int kTextCalculationDone = 75;
constexpr int kTextCalculationFailed = 76;

bool IsDigitOrNumberKey(int key)
{
    switch (key) {
    case KEY_BACKSPACE:
    case KEY_DELETE:
    case KEY_UP:
    case KEY_DOWN:
    case 'E':
    case 'e':
    case '+':
    case '.':
        return true;
    default:
        return key >= '0' && key <= '9';
    }
}

// The operator is changing the count: the calculation waits for the next Enter.
void AskForPoleCount()
{
    PoleEnterPending = 0;
    SetCalibControlsDimmed({CALIB_PAN_START_CALIB}, true);
    ShowCalibrationText(kTextDefinePoles, kCalibBlack);
}

void RunPendingCalculation()
{
    if (PoleEnterPending == 1 && PoleChangePending == 1) {
        PoleEnterPending = 0;
        PoleChangePending = 0;
        CalculateRingParams();
    }
}

void DimCalculationControls(bool dimmed)
{
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_START_CALIB, CALIB_PAN_ABORT_CALIB, CALIB_PAN_POLE_NUM},
                           dimmed);
}

// Nothing was written: the panel takes a new count.
int RefuseCalculation()
{
    SetMouseCursor(CURSOR_DEFAULT);
    SetProgress(0);
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_ABORT_CALIB, CALIB_PAN_POLE_NUM}, false);
    ShowCalibrationText(kTextCalculationFailed, kCalibBlack);
    SetTimerEnabled(ToolTimer::Main, true);
    return 0;
}

// The chip block as the encoder holds it, packed with its CRC and written back.
int RewriteDorvelBlock()
{
    if (const int code = TransferBissData(kMailboxReadEeprom, calvista::kDorvelSecondMirrorByte, 1))
        return code;
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
    CAT_DORVEL_VECTOR_CB(ExpertPage(), 0, EVENT_VAL_CHANGED, nullptr, 0, 0);
    SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, true);
    return TransferBissData(kMailboxWriteEeprom, calvista::kDorvelBlockAddress, calvista::kDorvelBlockSize);
}

// The encoder's position output switched to the raw calibration format, in BiSS mode.
int StartCalibrationOutput()
{
    SetTimerEnabled(ToolTimer::Main, false);
    MillisecSleep(0.1);
    if (g_link.protocol == kProtocolSsi) {
        g_link.frameLength = kCalibrationFrameLength;
        g_link.savedProtocol = kProtocolSsi;
        SSItoBISS();
        MillisecSleep(0.05);
    }
    if (const int code = TransferBissData(kMailboxReadRam, kOutputFormatAddress, 1))
        return code;
    const std::uint8_t format = calvista::WithCalibrationPositionFormat(calvista::ImageByte(kOutputFormatAddress));
    if (const int code = OperateSlaveRegByAddress(kOutputFormatAddress, format, kMailboxWriteRam))
        return code;
    g_link.protocol = kProtocolBiss;
    g_link.frameLength = kCalibrationFrameLength;
    ConfigInterface();
    SetVantrelApplicationType();
    return 0;
}

} // namespace

int POLE_NUM_CB(int, int, int event, void *, int eventData1, int)
{
    switch (event) {
    case EVENT_MOUSE_WHEEL_SCROLL:
        AskForPoleCount();
        break;
    case EVENT_KEYPRESS:
        if (eventData1 == KEY_ENTER) {
            PoleEnterPending = 1;
            RunPendingCalculation();
        } else if (IsDigitOrNumberKey(eventData1)) {
            AskForPoleCount();
        } else {
            PoleEnterPending = 0;
        }
        break;
    case EVENT_VAL_CHANGED:
        PoleChangePending = 1;
        RunPendingCalculation();
        break;
    default:
        break;
    }
    return 0;
}

int CalculateRingParams()
{
    DimCalculationControls(true);
    SetTimerEnabled(ToolTimer::Main, false);
    ShowCalibrationText(kTextCalculating, kCalibBlack);
    SetMouseCursor(CURSOR_WAIT);
    ProcessSystemEvents();

    unsigned short shown = 0;
    GetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, &shown);
    const std::uint32_t poles = shown & ~1u;
    if (poles != shown)
        SetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, static_cast<unsigned short>(poles));
    // Without a code length the start-value search would never end.
    const auto ring = calvista::ComputeRingParams(poles, g_firmware.number);
    if (poles < kSmallestPoleCount || !ring)
        return RefuseCalculation();

    if (const int code = OperateSlaveRegByAddress(calvista::kMirrorValidAddress, 0, kMailboxReadEeprom))
        return FailWithSupervision(code);
    if (MailboxResult() & 1u)
        return RefuseCalculation();

    if (const int code = RewriteDorvelBlock())
        return FailWithSupervision(code);

    SetCtrlVal(g_calibPanel, CALIB_PAN_PRC_BITNUM, static_cast<int>(ring->codeBits));
    const int expert = ExpertPage();
    SetDerivedValue(expert, TAB_EXPERT_PRC_BIT_NUM_REG, ring->prcBitNumReg);
    SetDerivedValue(expert, TAB_EXPERT_NUM_OF_POLES_REG_L, ring->poles & 0xFF);
    SetDerivedValue(expert, TAB_EXPERT_NUM_OF_POLES_REG_H, ring->poles >> 8);
    ProcessSystemEvents();
    SetCtrlVal(g_calibPanel, CALIB_PAN_PRC_START, static_cast<unsigned>(ring->startValue));
    SetDerivedValue(expert, TAB_EXPERT_START_PRC_REG_L, ring->startValue & 0xFF);
    SetDerivedValue(expert, TAB_EXPERT_START_PRC_REG_H, (ring->startValue >> 8) & 0xFF);

    CollectSysParameterFields();
    PackSysBlock();
    if (const int code = TransferBissData(kMailboxWriteEeprom,
                                          calvista::kRingParameterAddress, calvista::kRingParameterSize))
        return FailWithSupervision(code);
    if (const int code = SetModifiedState())
        return FailWithSupervision(code);
    if (const int code = RestartSensor())
        return code;
    if (const int code = StartCalibrationOutput())
        return FailWithSupervision(code);

    ShowCalibrationText(kTextCalculationDone, kCalibBlack);
    SetMouseCursor(CURSOR_DEFAULT);
    SetProgress(0);
    DimCalculationControls(false);
    SetTimerEnabled(ToolTimer::Main, true);
    SetActiveCtrl(g_calibPanel, CALIB_PAN_START_CALIB);
    return 0;
}
