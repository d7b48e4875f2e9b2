#include "CalibrationPanel.h"

#include "BusyState.h"
#include "ConfigurationAreas.h"
#include "ConnectionSequence.h"
#include "FieldPacking.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "RingCalibration.h"
#include "SensorInformation.h"
#include "SensorLink.h"
#include "SensorMemoryMap.h"
#include "SensorPower.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {


constexpr int kTitleWarning = 1;
constexpr int kTitleNotification = 2;
constexpr int kButtonCancel = 4;
constexpr int kButtonUpdate = 10;
constexpr int kMessageNotUpdated = 45;
constexpr int kMessageAborted = 33;
constexpr int kMessageDeleted = 38;
constexpr int kMessageDeletionFailed = 39;
constexpr int kMessagePleaseWait = 56;
constexpr int kMessagePreparing = 62;
constexpr int kTextDefinePoles = 73;
constexpr int kTextDeleting = 90;
constexpr int kTextError = 91;

constexpr int kResultDisplays[] = {CALIB_PAN_PRC_BITNUM, CALIB_PAN_PRC_START, CALIB_PAN_N1,
                                   CALIB_PAN_N2,         CALIB_PAN_POLNUM,    CALIB_PAN_VEF_CALC};

constexpr int kRingParameterControls[] = {TAB_EXPERT_PRC_BIT_NUM_REG, TAB_EXPERT_NUM_OF_POLES_REG_L,
                                          TAB_EXPERT_NUM_OF_POLES_REG_H, TAB_EXPERT_START_PRC_REG_L,
                                          TAB_EXPERT_START_PRC_REG_H};

// The ring parameters on the expert page cleared, both blocks collected and packed.
void ClearRingParameters()
{
    const int expert = ExpertPage();
    for (const int control : kRingParameterControls)
        SetDerivedValue(expert, control, 0);
    CollectSysParameterFields();
    CollectDorvelParameterFields();
    PackSysBlock();
    PackDorvelBlock();
}

// Ready for a pole count: the default shown, the calculation waiting for Enter.
void OfferPoleCount()
{
    SetCalibControlsDimmed({CALIB_PAN_START_CALIB}, true);
    SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_ABORT_CALIB, CALIB_PAN_POLE_NUM}, false);
    SetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, kDefaultPoleCount);
    SetActiveCtrl(g_calibPanel, CALIB_PAN_POLE_NUM);
    ShowCalibrationText(kTextDefinePoles, kCalibBlack);
}

// A link error while deleting: the panel closes and supervision takes over.
int LeaveDeletion(int code)
{
    HidePanel(g_calibPanel);
    SetActivePanel(g_mainPanel);
    SetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, kDefaultPoleCount);
    SetTimerEnabled(ToolTimer::Main, true);
    return code;
}

int DeleteCalibration()
{
    PoleEnterPending = 0;
    PoleChangePending = 1;
    SetCalibControlsDimmed({CALIB_PAN_START_CALIB, CALIB_PAN_DELETE_CALIB, CALIB_PAN_ABORT_CALIB, CALIB_PAN_POLE_NUM},
                           true);
    SetTimerEnabled(ToolTimer::Main, false);
    SetMouseCursor(CURSOR_WAIT);
    ShowCalibrationText(kTextDeleting, kCalibBlack);

    if (const int code = OperateSlaveRegByAddress(calvista::kMirrorValidAddress, 0, kMailboxReadEeprom))
        return LeaveDeletion(code);
    if (MailboxResult() & 1u) {
        SetMouseCursor(CURSOR_DEFAULT);
        ShowCalibrationText(kTextError, kCalibBlack);
        LocalizedMessagePopup(kTitleNotification, kMessageDeletionFailed);
        SetCalibControlsDimmed({CALIB_PAN_DELETE_CALIB, CALIB_PAN_ABORT_CALIB, CALIB_PAN_POLE_NUM}, false);
        SetTimerEnabled(ToolTimer::Main, true);
        return 1;
    }
    if (const int code = TransferBissData(kMailboxReadEeprom, calvista::kDorvelSecondMirrorByte, 1))
        return LeaveDeletion(code);

    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
    CAT_DORVEL_VECTOR_CB(ExpertPage(), 0, EVENT_VAL_CHANGED, nullptr, 0, 0);
    SetCtrlDimmed(SysPage(), TAB_SYS_WRITE_CFG, true);
    ClearRingParameters();
    if (const int code = TransferBissData(kMailboxWriteEeprom,
                                          calvista::kRingParameterAddress, calvista::kRingParameterSize))
        return LeaveDeletion(code);
    if (const int code = TransferBissData(kMailboxWriteEeprom,
                                          calvista::kDorvelBlockAddress, calvista::kDorvelBlockSize))
        return LeaveDeletion(code);

    SetVantrelApplicationType();
    if (const int code = RestartSensor())
        return code;
    if (g_link.protocol == kProtocolSsi) {
        SetTimerEnabled(ToolTimer::Main, false);
        MillisecSleep(0.1);
        g_link.lastError = SSItoBISS();
        MillisecSleep(0.1);
        SetTimerEnabled(ToolTimer::Main, true);
        if (g_link.lastError != 0)
            return g_link.lastError;
    }
    SetMouseCursor(CURSOR_DEFAULT);
    LocalizedMessagePopup(kTitleNotification, kMessageDeleted);
    OfferPoleCount();
    return 0;
}

} // namespace

void ShowCalibrationText(int text, int colour)
{
    SetCtrlAttribute(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, ATTR_TEXT_COLOR, colour);
    SetLocalizedNotification(text, kSlotCalibration);
}

void SetCalibControlsDimmed(std::initializer_list<int> controls, bool dimmed)
{
    for (const int control : controls)
        SetCtrlAttribute(g_calibPanel, control, ATTR_DIMMED, dimmed ? 1 : 0);
}

bool CalibControlDimmed(int control)
{
    int dimmed = 0;
    GetCtrlAttribute(g_calibPanel, control, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

int CalibOff(bool restore)
{
    g_calibPanelShown = 0;
    PoleEnterPending = 0;
    PoleChangePending = 0;
    SetPanelAttribute(g_mainPanel, ATTR_CLOSE_ENABLED, 0);
    HidePanel(g_calibPanel);
    SetActivePanel(g_mainPanel);

    if (restore) {
        ClearRingParameters();
        SetLoadstate(kMessagePleaseWait);
        if (const int code = TransferBissData(kMailboxWriteEeprom,
                                              calvista::kRingParameterAddress, calvista::kRingParameterSize)) {
            ReleaseLoadstate();
            return code;
        }
    }
    SetVantrelApplicationType();
    SetLoadstate(kMessagePleaseWait);
    const int code = RestartSensor();
    if (code == 0) {
        SetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, kDefaultPoleCount);
        ReleaseLoadstate();
    } else {
        SetPanelAttribute(g_mainPanel, ATTR_CLOSE_ENABLED, 1);
    }
    return code;
}

int ROTATIVE_CALIB_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    // Unwritten changes are written first or given up.
    const int sys = SysPage();
    if (!CtrlDimmed(sys, TAB_SYS_WRITE_CFG)) {
        if (LocalizedGenericMessagePopup(kTitleWarning, kMessageNotUpdated, kButtonUpdate, kButtonCancel, 0,
                                         VAL_GENERIC_POPUP_ALIGN_CENTER, 1, 1, 2) == 1)
            WRITE_CFG_CB(sys, TAB_SYS_WRITE_CFG, EVENT_COMMIT, nullptr, 0, 0);
        else
            DiscardParameterMods();
    }
    SetLoadstate(kMessagePreparing);
    SetCtrlAttribute(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, ATTR_TEXT_COLOR, kCalibBlack);
    if (g_link.protocol == kProtocolSsi) {
        SSItoBISS();
        MillisecSleep(0.1);
    }
    ReleaseLoadstate();
    OfferPoleCount();

    g_calibPanelShown = 1;
    PoleChangePending = 1;
    PoleEnterPending = 0;
    const bool expert = g_expertMode != 0;
    for (const int control : kResultDisplays) {
        SetCtrlAttribute(g_calibPanel, control, ATTR_VISIBLE, expert ? 1 : 0);
        if (expert)
            SetCtrlVal(g_calibPanel, control, 0);
    }
    InstallPopup(g_calibPanel);
    return 0;
}

int DELETE_CALIB_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    return DeleteCalibration();
}

int ABORT_CALIB_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    // Ring parameters were calculated, or a calculation or run is in progress.
    const bool prepared = !CalibControlDimmed(CALIB_PAN_START_CALIB) || CalibControlDimmed(CALIB_PAN_POLE_NUM);
    LocalizedMessagePopup(kTitleNotification, kMessageAborted);
    CalibOff(prepared);
    return 0;
}

int CALIB_PAN_CB(int, int event, void *, int, int)
{
    if (event != EVENT_CLOSE)
        return 0;
    const bool unprepared = CalibControlDimmed(CALIB_PAN_START_CALIB) && !CalibControlDimmed(CALIB_PAN_POLE_NUM);
    CalibOff(!unprepared);
    return 0;
}
