// The about panel: program and ferrolink versions, the credit text and the maker's web site.
#include "AboutPanel.h"

#include "LinkVersions.h"
#include "Panels.h"
#include "ProgramTexts.h"
#include "Startup.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/Toolbox.h"
#include "cvi/UserInterface.h"

namespace {

void OpenVenkorWebSite()
{
    OpenDocumentInDefaultViewer(kVenkorWebAddress, 0);
}

} // namespace

int MENU_ABOUT_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_ABOUT)
        return 0;
    InstallPopup(g_aboutPanel);
    SetCtrlVal(g_aboutPanel, ABOUT_PAN_RLS_VER, g_programTexts.fullTitle);
    SetCtrlVal(g_aboutPanel, ABOUT_PAN_BISS_DLL_VERNUM, GetDLLVersion());
    return 0;
}

int ABOUT_PAN_CB(int, int event, void *, int, int)
{
    if (event == EVENT_MOUSE_POINTER_MOVE) {
        int cursor = CURSOR_DEFAULT;
        if (GetMouseCursor(&cursor) >= 0 && cursor == CURSOR_POINTING_HAND)
            SetMouseCursor(CURSOR_DEFAULT);
    } else if (event == EVENT_CLOSE) {
        AboutOff();
    }
    return 0;
}

int RLS_VER_CB(int panel, int, int event, void *, int, int)
{
    if (event != EVENT_LEFT_CLICK_UP || g_creditReleases >= kCreditReleases)
        return 0;
    if (++g_creditReleases == kCreditReleases)
        SetCtrlVal(panel, ABOUT_PAN_TEXTMSG_2, kCreditText);
    return 0;
}

int VENKOR_BTN_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        OpenVenkorWebSite();
    return 0;
}

int VENKOR_LINK_TXT_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_LEFT_CLICK_UP)
        OpenVenkorWebSite();
    return 0;
}
