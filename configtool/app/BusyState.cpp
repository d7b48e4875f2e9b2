#include "BusyState.h"

#include <span>

#include "Languages.h"
#include "Panels.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

// Tab pages 0 and 1, and the expert pages while expert mode is on.
void DimTabPages(int dimmed)
{
    const int pages = g_expertMode ? 4 : 2;
    for (int page = 0; page < pages; ++page)
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_DIMMED, dimmed);
}

void DimMenus(std::span<const int> entries, int dimmed)
{
    const int menuBar = MainMenuBar();
    for (const int entry : entries)
        SetMenuBarAttribute(menuBar, entry, ATTR_DIMMED, dimmed);
}

constexpr int kBusyMenus[] = {VANTREL_MENU_FILE, VANTREL_MENU_SETTINGS, VANTREL_MENU_SENSOR, VANTREL_MENU_VIEW,
                              VANTREL_MENU_HELP};
constexpr int kReleasedMenus[] = {VANTREL_MENU_FILE, VANTREL_MENU_SETTINGS, VANTREL_MENU_VIEW, VANTREL_MENU_HELP};
constexpr int kSensorAndFileMenus[] = {VANTREL_MENU_SENSOR, VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE};

} // namespace

void SetLoadstate(int message)
{
    SetSleepPolicy(SLEEP_NONE);
    SetInputMode(MainMenuBar(), -1, 0);
    MillisecSleep(0.05);
    DimTabPages(1);
    DimMenus(kBusyMenus, 1);
    SetLocalizedNotification(message, kSlotMainMessage);
    SetTimerEnabled(ToolTimer::Main, false);
    ProcessSystemEvents();
    SetMouseCursor(CURSOR_WAIT);
    MillisecSleep(0.1);
}

void ReleaseLoadstate()
{
    SetInputMode(MainMenuBar(), -1, 1);
    SetMouseCursor(CURSOR_DEFAULT);
    SetPanelAttribute(g_mainPanel, ATTR_CLOSE_ENABLED, 1);
    SetLocalizedNotification(63, kSlotMainMessage);
    SetProgress(0);
    DimTabPages(0);
    DimMenus(kReleasedMenus, 0);
    if (g_reading) {
        SetSleepPolicy(SLEEP_SOME);
        DimMenus(kSensorAndFileMenus, 1);
        SetTimerEnabled(ToolTimer::Main, false);
    } else {
        SetSleepPolicy(SLEEP_MORE);
        DimMenus(kSensorAndFileMenus, 0);
        SetTimerEnabled(ToolTimer::Main, true);
    }
    MillisecSleep(0.1);
}

void SetProgress(int percent)
{
    SetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_PROGRESSBAR, percent);
}

void MillisecSleep(double seconds)
{
    const double milliseconds = seconds * 1000.0;
    if (milliseconds >= 1.0)
        RunTimeSleep(static_cast<unsigned>(milliseconds));
}
