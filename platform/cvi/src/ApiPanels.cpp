// Entry points of the event loop, panels, tab pages and menu bars.
#include "ApiSupport.h"
#include "cvi/UserInterface.h"

using cvi::Runtime;
using cvi::WithRuntime;

int RunUserInterface()
{
    return WithRuntime([](Runtime &rt) { return rt.Run(); });
}

int QuitUserInterface(int returnCode)
{
    return WithRuntime([=](Runtime &rt) { return rt.Quit(returnCode); });
}

int ProcessSystemEvents()
{
    return WithRuntime([](Runtime &rt) { return rt.ProcessEvents(); });
}

int ProcessDrawEvents()
{
    return WithRuntime([](Runtime &rt) { return rt.ProcessDraw(); });
}

int InstallMainCallback(MainCallbackPtr callback, void *callbackData, int)
{
    return WithRuntime([=](Runtime &rt) { return rt.InstallMainCallback(callback, callbackData); });
}

int SetSleepPolicy(int policy)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetSleepPolicy(policy); });
}

int GetSleepPolicy()
{
    return WithRuntime([](Runtime &rt) { return rt.SleepPolicy(); });
}

int SetMouseCursor(int cursor)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetMouseCursor(cursor); });
}

int GetMouseCursor(int *cursor)
{
    return WithRuntime([=](Runtime &rt) {
        if (!cursor)
            return static_cast<int>(UIE_INVALID_VALUE);
        *cursor = rt.MouseCursor();
        return 0;
    });
}

void RunTimeSleep(unsigned milliseconds)
{
    if (Runtime *runtime = Runtime::Current())
        runtime->Sleep(milliseconds);
}

int SetInputMode(int panelOrMenuBar, int control, int mode)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetInputMode(panelOrMenuBar, control, mode); });
}

int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId)
{
    if (!resourceFile)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.LoadPanel(parentPanel, resourceFile, panelResourceId); });
}

int DiscardPanel(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.DiscardPanel(panel); });
}

int DisplayPanel(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.DisplayPanel(panel); });
}

int HidePanel(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.HidePanel(panel); });
}

int InstallPopup(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.InstallPopup(panel); });
}

int SetActivePanel(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetActivePanel(panel); });
}

int GetActivePanel()
{
    return WithRuntime([](Runtime &rt) { return rt.ActivePanel(); });
}

int InstallPanelCallback(int panel, PanelCallbackPtr callback, void *callbackData)
{
    return WithRuntime([=](Runtime &rt) { return rt.InstallPanelCallback(panel, callback, callbackData); });
}

int SetPanelAttribute(int panel, int attribute, int value)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetPanelAttribute(panel, attribute, value); });
}

int SetPanelAttribute(int panel, int attribute, const char *value)
{
    if (attribute != ATTR_TITLE)
        return UIE_TYPE_MISMATCH;
    if (!value)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.SetPanelTitle(panel, value); });
}

int GetPanelAttribute(int panel, int attribute, int *value)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetPanelAttribute(panel, attribute, value); });
}

int GetPanelAttribute(int panel, int attribute, char *value)
{
    if (attribute != ATTR_TITLE)
        return UIE_TYPE_MISMATCH;
    return WithRuntime([=](Runtime &rt) { return rt.GetPanelTitle(panel, value); });
}

int GetPanelHandleFromTabPage(int panel, int tabControl, int pageIndex, int *pagePanel)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetPageHandle(panel, tabControl, pageIndex, pagePanel); });
}

int GetActiveTabPage(int panel, int tabControl, int *pageIndex)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetActivePage(panel, tabControl, pageIndex); });
}

int SetActiveTabPage(int panel, int tabControl, int pageIndex)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetActivePage(panel, tabControl, pageIndex); });
}

int SetTabPageAttribute(int panel, int tabControl, int pageIndex, int attribute, int value)
{
    return WithRuntime(
        [=](Runtime &rt) { return rt.SetTabPageAttribute(panel, tabControl, pageIndex, attribute, value); });
}

int GetTabPageAttribute(int panel, int tabControl, int pageIndex, int attribute, int *value)
{
    return WithRuntime(
        [=](Runtime &rt) { return rt.GetTabPageAttribute(panel, tabControl, pageIndex, attribute, value); });
}

int LoadMenuBar(int panel, const char *resourceFile, int menuBarResourceId)
{
    if (!resourceFile)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.LoadMenuBar(panel, resourceFile, menuBarResourceId); });
}

int DiscardMenuBar(int menuBar)
{
    return WithRuntime([=](Runtime &rt) { return rt.DiscardMenuBar(menuBar); });
}

int GetPanelMenuBar(int panel)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetPanelMenuBar(panel); });
}

int SetMenuBarAttribute(int menuBar, int entry, int attribute, int value)
{
    return WithRuntime([=](Runtime &rt) { return rt.SetMenuBarAttribute(menuBar, entry, attribute, value); });
}

int GetMenuBarAttribute(int menuBar, int entry, int attribute, int *value)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetMenuBarAttribute(menuBar, entry, attribute, value); });
}

int InstallMenuCallback(int menuBar, int entry, MenuCallbackPtr callback, void *callbackData)
{
    return WithRuntime([=](Runtime &rt) { return rt.InstallMenuCallback(menuBar, entry, callback, callbackData); });
}
