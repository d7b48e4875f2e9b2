// The connection timer of the first panel: one attempt per tick, alternating BiSS and SSI settings
// while the master answers but the encoder does not; a reached encoder is read, checked and set up,
// and the main panel with its supervision takes over.
#include "BusyState.h"
#include "ConnectionDisplay.h"
#include "ConnectionSequence.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "MainPanelClose.h"
#include "MasterSetup.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "ProgramEnd.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "Supervision.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleError = 0;
constexpr int kMessageDriverMissing = 25;
constexpr int kMessageRemoved = 26;
constexpr int kMessageConnecting = 67;
constexpr int kMessageNoAdapter = 68;
constexpr int kMessageNoVantrel = 69;
constexpr int kMessageConnectionOk = 70;
constexpr int kMessagePleaseWait = 71;
constexpr int kMessageReading = 72;
constexpr int kMessageReady = 63;
constexpr int kButtonRestart = 7;
constexpr int kButtonClose = 5;

constexpr int kDriverMissing = eBISS_DRIVER_MISSING;  // 2
constexpr int kAdapterMissing = eBISS_NO_CONNECTION;  // 3

// Failed attempts in which the master answered but the encoder did not.
int s_attempts = 0;
// The protocol with which the latest successful attempt reached the encoder.
int s_detectedProtocol = kProtocolBiss;

void UseSsiSettings()
{
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 24;
    g_link.scdClockDivider = 20;
}

void UseBissSettings()
{
    g_link.protocol = kProtocolBiss;
    g_link.frameLength = 40;
    g_link.scdClockDivider = 1;
}

// Closing the first panel ends the program.
void CloseFirstPanel()
{
    FIRSTPANEL_CB(g_firstPanel, EVENT_CLOSE, nullptr, 0, 0);
}

int AttemptFailed(int code)
{
    if (g_link.communicationReady) {
        if (s_attempts % 2 == 0)
            UseSsiSettings();
        else
            UseBissSettings();
        ++s_attempts;
    } else {
        s_attempts = 0;
        g_link.protocol = kProtocolBiss;
    }

    if (code == kDriverMissing) {
        SetTimerEnabled(ToolTimer::Init, false);
        LocalizedMessagePopup(kTitleError, kMessageDriverMissing);
        CloseFirstPanel();
        return code;
    }
    if (code == kAdapterMissing)
        SetLocalizedNotification(kMessageNoAdapter, kSlotInitStatus);
    else if (!g_link.communicationReady)
        SetLocalizedNotification(kMessageNoVantrel, kSlotInitStatus);
    // Neither BiSS nor SSI answered on this start-up: the next tick starts over.
    if (s_attempts > 1) {
        Disconnect();
        s_attempts = 0;
    }
    MillisecSleep(0.05);
    return code;
}

// The encoder was reached but could not be switched, read or checked: the operator restarts the
// search or ends the program. Neither timer polls meanwhile.
int OfferRestart(int code)
{
    SetTimerEnabled(ToolTimer::Init, false);
    SetTimerEnabled(ToolTimer::Main, false);
    const int answer = LocalizedGenericMessagePopup(kTitleError, kMessageRemoved, kButtonRestart, kButtonClose, 0, 0,
                                                    1, 1, 2);
    if (answer == 1)
        RestartApp();
    else
        CloseFirstPanel();
    return code;
}

// Parameter pages and the link for the firmware and the protocol the encoder was reached with.
void SetUpForVantrel()
{
    SetFwVerSpecific(true, false, false);
    if (s_detectedProtocol == kProtocolBiss) {
        g_link.scdClockDivider = 1;
        SetFwVerSpecific(false, true, false);
    } else if (s_detectedProtocol == kProtocolSsi) {
        SetFwVerSpecific(false, false, true);
        SetSSIParamsFromBitlength();
        BISStoSSI();
    }
    ConfigInterface();
    ShowProtocolFields();
}

void ShowMainPanel()
{
    HidePanel(g_firstPanel);
    MillisecSleep(0.1);
    DisplayPanel(g_mainPanel);
    InstallMainCallback(MAIN_CALLBACK_CB, nullptr, 0);
    SetLocalizedNotification(kMessageConnecting, kSlotInitStatus);
    SetTimerEnabled(ToolTimer::Init, false);
    SetTimerEnabled(ToolTimer::Main, true);
    SetLocalizedNotification(kMessageReady, kSlotMainMessage);
    SetProgress(0);
}

int AttemptSucceeded()
{
    calvista::InitAllDatabuffers();
    s_detectedProtocol = g_link.protocol;
    SetPanelAttribute(g_firstPanel, ATTR_CLOSE_ENABLED, 0);

    if (s_detectedProtocol == kProtocolSsi) {
        SetLocalizedNotification(kMessagePleaseWait, kSlotInitStatus);
        MillisecSleep(1.0);
        if (const int code = SSItoBISS())
            return OfferRestart(code);
    }
    SetLocalizedNotification(kMessageConnectionOk, kSlotInitStatus);
    MillisecSleep(1.0);

    SetLocalizedNotification(kMessageReading, kSlotInitStatus);
    if (const int code = ReadData())
        return OfferRestart(code);
    if (const int result = CheckCompatibilityVantrel())
        return result;  // the program is ending
    // The frame-type check started the supervision for its failure; this search is not done yet.
    if (const int code = CheckFrameTypeVantrel())
        return OfferRestart(code);

    SetUpForVantrel();
    ShowMainPanel();
    return 0;
}

} // namespace

int INIT_TIMER_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    ProcessSystemEvents();
    if (const int code = InitConnection())
        return AttemptFailed(code);
    return AttemptSucceeded();
}
