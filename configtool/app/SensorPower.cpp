#include "SensorPower.h"

#include "BusyState.h"
#include "ConnectionDisplay.h"
#include "ConnectionSequence.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "ProgramEnd.h"
#include "Reidentification.h"
#include "SensorLinkState.h"
#include "Supervision.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kTitleError = 0;
constexpr int kMessageNoAdapter = 21;
constexpr int kMessageNoVantrel = 22;
constexpr int kMessageRestartingApplication = 24;
constexpr int kMessagePowerOff = 29;
constexpr int kMessagePleaseWait = 56;
constexpr int kMessageRestarting = 57;
constexpr int kMessageReady = 63;
constexpr int kMessageError = 64;

constexpr int kAdapterMissing = eBISS_NO_CONNECTION;   // 3
constexpr int kStartupTimedOut = eBISS_BISS_COMM_FAILED; // 13

// Failure while switching on: the encoder is shown as gone and the power goes off.
int SwitchOffAfterFailure(int code)
{
    ShowConnectionStatus(false);
    SetLocalizedNotification(kMessageReady, kSlotMainMessage);
    ProcessSystemEvents();
    LocalizedMessagePopup(kTitleError, kMessagePowerOff);
    PowerOFF();
    return code;
}

int SwitchOffWithMessage(int message, int code)
{
    LocalizedMessagePopup(kTitleError, message);
    PowerOFF();
    return code;
}

// An encoder that did not answer the BiSS test is taken for one that outputs SSI.
void SwitchSsiVantrelToBiss()
{
    if (SSItoBISS() != 0)
        SetTimerEnabled(ToolTimer::Main, false);
    MillisecSleep(0.1);
}

} // namespace

void PowerOFF()
{
    ReleaseLoadstate();
    SetTimerEnabled(ToolTimer::Main, false);
    Disconnect();
    ClearSelectedFile();
    SetProgress(0);
    DimParameterPages(1);
    DisableVantrel_LED();
    SetLocalizedNotification(kMessageReady, kSlotMainMessage);
    ShowSwitchedOffMenus();
    ProcessSystemEvents();
}

int PowerON()
{
    ResetLinkSettings();
    g_calibPanelShown = 0;
    SetLoadstate(kMessagePleaseWait);
    ClearSelectedFile();

    const int code = InitConnection();
    MillisecSleep(0.05);
    if (code == kStartupTimedOut && !g_link.communicationReady)
        return SwitchOffWithMessage(kMessageNoVantrel, code);
    if (code == kAdapterMissing)
        return SwitchOffWithMessage(kMessageNoAdapter, code);

    bool wasSsi = false;
    if (code != 0) {
        SwitchSsiVantrelToBiss();
        wasSsi = true;
    }
    if (g_link.lastError != 0) {
        ProcessSystemEvents();
        return SwitchOffWithMessage(kMessagePowerOff, g_link.lastError);
    }
    if (const int result = ReidentifyVantrel(wasSsi, SwitchOffAfterFailure))
        return result;
    ReleaseLoadstate();
    ShowConnectedMenus();
    return 0;
}

int RestartSensor()
{
    const std::uint8_t calibPanelShown = g_calibPanelShown;
    SetLoadstate(kMessageRestarting);
    Disconnect();
    g_calibPanelShown = calibPanelShown;
    ProcessSystemEvents();

    SetFwVerSpecific(true, true, false);
    const int code = InitConnection();
    bool wasSsi = false;
    if (LooksLikeSsiVantrel(code)) {
        SwitchSsiVantrelToBiss();
        wasSsi = true;
    }
    if (g_link.lastError != 0) {
        const int failure = g_link.lastError;
        SetLocalizedNotification(kMessageError, kSlotMainMessage);
        CloseEncoderDialogs();
        LocalizedMessagePopup(kTitleError, kMessageRestartingApplication);
        RestartApp();
        return failure;
    }
    // A failed frame-type read leaves the busy state on; the supervision it started takes over.
    if (const int result = CheckFrameTypeVantrel())
        return result;

    ShowConnectionStatus(true);
    if (wasSsi)
        BISStoSSI();
    MillisecSleep(0.5);
    ReleaseLoadstate();
    return g_link.lastError;
}
