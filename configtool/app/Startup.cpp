#include "Startup.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "BusyState.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "LinkServices.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "ProgramTexts.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SettingsFile.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/Toolbox.h"

ProgramTexts g_programTexts;

namespace {

constexpr char kExpertSwitch[] = "-expert";

const char *OrEmpty(const char *text)
{
    return text ? text : "";
}

struct PanelToLoad {
    int *handle;
    int resourceId;
};

// In the order they are loaded; the menu bar comes between the main and the first panel.
bool LoadPanelsAndMenuBar()
{
    if ((g_mainPanel = LoadPanel(0, kResourceFile, MAIN_PANEL)) < 0)
        return false;
    if ((g_menuBar = LoadMenuBar(0, kResourceFile, VANTREL_MENU)) < 0)
        return false;
    const PanelToLoad others[] = {{&g_firstPanel, FIRSTPANEL}, {&g_aboutPanel, ABOUT_PAN}, {&g_calibPanel, CALIB_PAN},
                                  {&g_warnPanel, WARN_PANEL},  {&g_passwordPanel, PSWD_PANEL}};
    for (const PanelToLoad &panel : others) {
        if ((*panel.handle = LoadPanel(0, kResourceFile, panel.resourceId)) < 0)
            return false;
    }
    return true;
}

void ShowExpertPages(bool visible)
{
    for (int page = 2; page <= 3; ++page)
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_VISIBLE, visible ? 1 : 0);
}

// Odd build numbers (the four characters after "V1.06.") mark a pre-release.
bool IsPreRelease(std::string_view version)
{
    char build[5] = {};
    if (version.size() > 6)
        version.substr(6, 4).copy(build, 4);
    return std::atoi(build) % 2 != 0;
}

void PrepareTexts()
{
    for (int panel : {g_firstPanel, g_mainPanel, g_calibPanel, g_passwordPanel})
        SetPanelAttribute(panel, ATTR_TITLE, g_programTexts.name);
    SetCtrlVal(g_aboutPanel, ABOUT_PAN_COPYRIGHT_TXT, g_programTexts.shortRights);
    SetCtrlVal(g_firstPanel, FIRSTPANEL_COPYRIGHT_TXT, g_programTexts.shortRights);
    SetCtrlVal(g_passwordPanel, PSWD_PANEL_COPYRIGHT_TXT, g_programTexts.shortRights);
    SetCtrlVal(g_calibPanel, CALIB_PAN_COPYRIGHT_TXT, g_programTexts.shortRights);
    SetCtrlVal(g_aboutPanel, ABOUT_PAN_RLS_DATE, g_programTexts.longRights);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_SW_VER_BANNER, g_programTexts.version);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_SW_VER_PRINTSCRN, g_programTexts.fullTitle);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN, "");
}

void PrepareMenuBar()
{
    const int menuBar = MainMenuBar();
    for (int entry : {VANTREL_MENU_FILE, VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE, VANTREL_MENU_EXIT,
                      VANTREL_MENU_SETTINGS, VANTREL_MENU_LANGUAGE, VANTREL_MENU_SENSOR, VANTREL_MENU_FACTORYDEF,
                      VANTREL_MENU_POWEROFF, VANTREL_MENU_VIEW, VANTREL_MENU_HELP})
        SetMenuBarAttribute(menuBar, entry, ATTR_DIMMED, 0);
    SetMenuBarAttribute(menuBar, VANTREL_MENU_POWERON, ATTR_DIMMED, 1);
}

void ReadSettings()
{
    if (CheckSettingsFile() == 1)
        CreateSettingsFile(true);
    else
        ReadSettingsFile();
}

int RestoreCursorOnMouseMove(int event)
{
    if (event == EVENT_MOUSE_POINTER_MOVE && GetSleepPolicy() == SLEEP_MORE)
        SetMouseCursor(CURSOR_DEFAULT);
    return 0;
}

// The sensor link processes events, pauses and shows progress through the run-time.
void HandRunTimeToSensorLink()
{
    SensorLinkServices services;
    services.processEvents = ProcessSystemEvents;
    services.delayWithEvents = DelayWithEventProcessing;
    services.sleep = RunTimeSleep;
    services.setProgress = SetProgress;
    SetSensorLinkServices(services);
}

// Handles of an earlier run are no longer valid.
void ResetModuleState()
{
    g_mainPanel = g_menuBar = g_firstPanel = g_aboutPanel = g_calibPanel = g_warnPanel = g_passwordPanel = 0;
    ResetToolState();
    g_link = SensorLinkState{};
    g_firmware = FirmwareState{};
    ResetParameterPages();
}

} // namespace

int InitializeKelto(int argc, char *argv[], const char *name, const char *version, const char *fullTitle,
                    const char *password, const char *shortRights, const char *longRights)
{
    g_programTexts = {OrEmpty(name),     OrEmpty(version),     OrEmpty(fullTitle),
                      OrEmpty(password), OrEmpty(shortRights), OrEmpty(longRights)};
    ResetModuleState();

    if (!LoadPanelsAndMenuBar())
        return -1;
    constexpr PanelCallbackPtr kPageCallbacks[] = {Kelto_TAB0_CB, Kelto_TAB1_CB, Kelto_TAB2_CB, Kelto_TAB3_CB};
    for (int page = 0; page < 4; ++page)
        InstallPanelCallback(GetTabPanel(page), kPageCallbacks[page], nullptr);
    SetSleepPolicy(SLEEP_MORE);
    PrepareTexts();
    PrepareMenuBar();
    const int marker = IsPreRelease(g_programTexts.version) ? 1 : 0;
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_PRE_TXT, ATTR_VISIBLE, marker);
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_PRE_FRAME, ATTR_VISIBLE, marker);
    SetInterfaceTool();
    HandRunTimeToSensorLink();
    calvista::InitAllDatabuffers();

    for (int i = 1; i < argc && argv; ++i) {
        if (argv[i] && std::strcmp(argv[i], kExpertSwitch) == 0)
            g_expertStart = 1;
    }
    ReadSettings();
    LocalizeGUI();

    if (g_expertStart)
        return DisplayPanel(g_passwordPanel) < 0 ? -1 : 0;
    ShowExpertPages(false);
    if (DisplayPanel(g_firstPanel) < 0)
        return -1;
    SetLocalizedNotification(67, kSlotInitStatus);
    SetTimerEnabled(ToolTimer::Init, true);
    return 0;
}

int CleanUpKelto()
{
    for (int *panel : {&g_mainPanel, &g_firstPanel, &g_aboutPanel, &g_calibPanel, &g_warnPanel, &g_passwordPanel}) {
        if (*panel > 0)
            DiscardPanel(*panel);
        *panel = 0;
    }
    return 0;
}

void CheckPassword()
{
    int length = 0;
    GetCtrlAttribute(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, ATTR_STRING_TEXT_LENGTH, &length);
    std::string entered(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    if (GetCtrlVal(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, entered.data()) < 0)
        entered.clear();
    if (std::strcmp(entered.c_str(), g_programTexts.password) == 0) {
        ShowExpertPages(true);
        g_expertMode = 1;
    } else {
        LocalizedMessagePopup(2, 42);
        ShowExpertPages(false);
        g_expertMode = 0;
    }
    SetLocalizedNotification(67, kSlotInitStatus);
    SetTimerEnabled(ToolTimer::Init, true);
    HidePanel(g_passwordPanel);
    DisplayPanel(g_firstPanel);
    SetActivePanel(g_firstPanel);
}

void AboutOff()
{
    HidePanel(g_aboutPanel);
    SetActivePanel(g_mainPanel);
}

int Kelto_TAB0_CB(int, int event, void *, int, int)
{
    return RestoreCursorOnMouseMove(event);
}

int Kelto_TAB1_CB(int, int event, void *, int, int)
{
    return RestoreCursorOnMouseMove(event);
}

int Kelto_TAB2_CB(int, int event, void *, int, int)
{
    return RestoreCursorOnMouseMove(event);
}

int Kelto_TAB3_CB(int, int event, void *, int, int)
{
    return RestoreCursorOnMouseMove(event);
}
