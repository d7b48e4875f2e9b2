#include "Supervision.h"

#include "BusyState.h"
#include "ConnectionDisplay.h"
#include "ConnectionSequence.h"
#include "DataStatusLed.h"
#include "LiveRead.h"
#include "Languages.h"
#include "Panels.h"
#include "ProgramEnd.h"
#include "Reidentification.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleError = 0;
constexpr int kMessageRemoved = 27;
constexpr int kMessageRestarting = 28;
constexpr int kMessagePleaseWait = 56;
constexpr int kMessageReady = 63;
constexpr int kMessageError = 64;
constexpr int kMessageConnecting = 67;
constexpr int kButtonReconnect = 6;
constexpr int kButtonClose = 5;

constexpr int kProgressImages[] = {FIRSTPANEL_LOGO_LOAD,   FIRSTPANEL_LOGO_LOAD_2, FIRSTPANEL_LOGO_LOAD_3,
                                   FIRSTPANEL_LOGO_LOAD_4, FIRSTPANEL_LOGO_LOAD_5, FIRSTPANEL_LOGO_LOAD_6,
                                   FIRSTPANEL_LOGO_LOAD_7, FIRSTPANEL_LOGO_LOAD_8};

// A poll answered by the encoder: also a rejected control access, as long as no earlier operation
// left a failure behind (an invalid parameter is the operator's, not the link's).
bool VantrelAnswered(int poll)
{
    const bool pollAnswered = poll == eBISS_NO_ERROR || poll == eBISS_REGISTER_REJECTED;
    const bool linkSound = g_link.lastError == eBISS_NO_ERROR || g_link.lastError == eBISS_INVALID_PARAMETER;
    return pollAnswered && linkSound;
}

void ShowZeroMinus()
{
    int ssiValue = 0;
    GetCtrlVal(GetTabPanel(0), TAB_SYS_SSI_VALUE, &ssiValue);
    SetCtrlAttribute(GetTabPanel(1), TAB_POS_ZERO_MINUS, ATTR_VISIBLE, ssiValue != 0 ? 1 : 0);
}

void StopLiveReading()
{
    if (!g_reading)
        return;
    g_reading = 0;
    SetTimerEnabled(ToolTimer::Read, false);
    const int position = GetTabPanel(1);
    SetCtrlVal(position, TAB_POS_READ_SENSORS, 0);
    READ_SENSORS_CB(position, TAB_POS_READ_SENSORS, EVENT_COMMIT, nullptr, 0, 0);
}

// Everything that used the encoder stops before the operator is asked.
void ShowVantrelLost()
{
    SetTimerEnabled(ToolTimer::Main, false);
    ClearSelectedFile();
    CloseEncoderDialogs();
    StopLiveReading();
    DisableVantrel_LED();
    DimParameterPages(1);
    SetLocalizedNotification(kMessageError, kSlotMainMessage);
}

int RestartAfterFailure(int code)
{
    ShowConnectionStatus(false);
    SetLocalizedNotification(kMessageReady, kSlotMainMessage);
    ProcessSystemEvents();
    LocalizedMessagePopup(kTitleError, kMessageRestarting);
    RestartApp();
    return code;
}

int Reconnect()
{
    ResetLinkSettings();
    g_calibPanelShown = 0;
    SetLoadstate(kMessagePleaseWait);
    bool wasSsi = false;
    if (LooksLikeSsiVantrel(InitConnection())) {
        SetLoadstate(kMessagePleaseWait);
        MillisecSleep(0.1);
        SSItoBISS();
        wasSsi = true;
        MillisecSleep(0.1);
    }
    if (g_link.lastError != 0)
        return RestartAfterFailure(g_link.lastError);
    return ReidentifyVantrel(wasSsi, RestartAfterFailure);
}

} // namespace

int MAIN_TIMER_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    ShowProtocolFields();
    ShowZeroMinus();
    if (!g_link.connected)
        return 0;

    const int poll = BISS_ReadSCD(g_link.handle, g_scd.high, g_scd.low, &g_scd.crcStatus, 0, &g_scd.controlDone);
    DisplayVantrel_LED();
    if (VantrelAnswered(poll))
        return 0;

    ShowVantrelLost();
    const int answer = LocalizedGenericMessagePopup(kTitleError, kMessageRemoved, kButtonReconnect, kButtonClose, 0, 0,
                                                    1, 1, 2);
    if (answer != 1) {
        TerminateApp();
        return 0;
    }
    return Reconnect();
}

int FailWithSupervision(int code)
{
    SetTimerEnabled(ToolTimer::Main, true);
    return code;
}

void RestartApp()
{
    HidePanel(g_mainPanel);
    ReleaseLoadstate();

    SetPanelAttribute(g_firstPanel, ATTR_CLOSE_ENABLED, 1);
    SetLocalizedNotification(kMessageConnecting, kSlotInitStatus);
    for (const int image : kProgressImages)
        SetCtrlAttribute(g_firstPanel, image, ATTR_DIMMED, 1);
    DisplayPanel(g_firstPanel);

    ClearSelectedFile();
    Disconnect();
    MillisecSleep(1.0);
    ShowConnectedMenus();

    SetTimerEnabled(ToolTimer::Main, false);
    SetTimerEnabled(ToolTimer::Init, true);
}

void DisableVantrel_LED()
{
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_GREEN, ATTR_VISIBLE, 0);
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_LED_RED, ATTR_VISIBLE, 0);
    ShowConnectionStatus(false);
}
