#include "Supervision.h"

#include "BusyState.h"
#include "ConnectionDisplay.h"
#include "Languages.h"
#include "Panels.h"
#include "ProgramEnd.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kMessageConnecting = 67;

constexpr int kProgressImages[] = {FIRSTPANEL_LOGO_LOAD,   FIRSTPANEL_LOGO_LOAD_2, FIRSTPANEL_LOGO_LOAD_3,
                                   FIRSTPANEL_LOGO_LOAD_4, FIRSTPANEL_LOGO_LOAD_5, FIRSTPANEL_LOGO_LOAD_6,
                                   FIRSTPANEL_LOGO_LOAD_7, FIRSTPANEL_LOGO_LOAD_8};

} // namespace

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
