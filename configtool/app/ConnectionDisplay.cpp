#include "ConnectionDisplay.h"

#include <span>

#include "Languages.h"
#include "Panels.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kMessageConnected = 18;
constexpr int kMessageNotConnected = 19;
constexpr int kDefaultPoleCount = 350;

void SetMenuItemsDimmed(std::span<const int> items, int dimmed)
{
    const int menuBar = MainMenuBar();
    for (const int item : items)
        SetMenuBarAttribute(menuBar, item, ATTR_DIMMED, dimmed);
}

constexpr int kAlwaysAvailable[] = {VANTREL_MENU_FILE,     VANTREL_MENU_EXIT,   VANTREL_MENU_SETTINGS,
                                    VANTREL_MENU_LANGUAGE, VANTREL_MENU_SENSOR, VANTREL_MENU_VIEW,
                                    VANTREL_MENU_HELP};
constexpr int kNeedEncoder[] = {VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE, VANTREL_MENU_FACTORYDEF,
                                VANTREL_MENU_POWEROFF};
constexpr int kPowerOn[] = {VANTREL_MENU_POWERON};

} // namespace

void ShowConnectionStatus(bool connected)
{
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS, connected ? 1 : 0);
    SetLocalizedNotification(connected ? kMessageConnected : kMessageNotConnected, kSlotConnectionState);
}

void DimParameterPages(int dimmed)
{
    const int pages = g_expertMode ? 4 : 2;
    for (int page = 0; page < pages; ++page)
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_DIMMED, dimmed);
}

void ShowConnectedMenus()
{
    SetMenuItemsDimmed(kAlwaysAvailable, 0);
    SetMenuItemsDimmed(kNeedEncoder, 0);
    SetMenuItemsDimmed(kPowerOn, 1);
}

void ShowSwitchedOffMenus()
{
    SetMenuItemsDimmed(kAlwaysAvailable, 0);
    SetMenuItemsDimmed(kPowerOn, 0);
    SetMenuItemsDimmed(kNeedEncoder, 1);
}

void ClearSelectedFile()
{
    SetCtrlVal(GetTabPanel(0), TAB_SYS_SELECTED_FILE, "");
    g_paramFileShown = 0;
}

void ShowProtocolFields()
{
    const int system = GetTabPanel(0);
    int protocol = 0;
    GetCtrlVal(system, TAB_SYS_COMM_PROTOCOL, &protocol);
    const bool ssi = protocol == 1;
    SetCtrlAttribute(system, TAB_SYS_SSI_LENGTH, ATTR_VISIBLE, ssi ? 1 : 0);
    SetCtrlAttribute(system, TAB_SYS_BISS_LENGTH, ATTR_VISIBLE, ssi ? 0 : 1);
    for (const int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
        SetCtrlAttribute(system, control, ATTR_DIMMED, ssi ? 0 : 1);
}

void CloseEncoderDialogs()
{
    if (GetActivePanel() == g_warnPanel) {
        HidePanel(g_warnPanel);
        SetActivePanel(g_mainPanel);
    }
    if (g_calibPanelShown) {
        HidePanel(g_calibPanel);
        SetActivePanel(g_mainPanel);
        SetCtrlVal(g_calibPanel, CALIB_PAN_POLE_NUM, kDefaultPoleCount);
    }
}
