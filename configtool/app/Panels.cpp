#include "Panels.h"

#include "Vantrel_Kelto_uir.h"

int g_mainPanel = 0;
int g_menuBar = 0;
int g_firstPanel = 0;
int g_aboutPanel = 0;
int g_calibPanel = 0;
int g_warnPanel = 0;
int g_passwordPanel = 0;

int MainMenuBar()
{
    return GetPanelMenuBar(g_mainPanel);
}

int GetTabPanel(int index)
{
    int page = 0;
    const int status = GetPanelHandleFromTabPage(g_mainPanel, MAIN_PANEL_TABS, index, &page);
    return status < 0 ? status : page;
}

int GetActiveTabPanel()
{
    int index = 0;
    const int status = GetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, &index);
    return status < 0 ? status : GetTabPanel(index);
}
