// Callbacks of the start panel and the password panel.
#include "ProgramEnd.h"
#include "Startup.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"

int FIRSTPANEL_CB(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE) {
        SetTimerEnabled(ToolTimer::Init, false);
        SetTimerEnabled(ToolTimer::Main, false);
        TerminateApp();
    }
    return 0;
}

int PSWD_PANEL_CB(int, int event, void *, int, int)
{
    if (event == EVENT_CLOSE)
        QuitUserInterface(0);
    return 0;
}

int PSWD_ENTER_CB(int, int, int event, void *, int, int)
{
    if (event == EVENT_COMMIT)
        CheckPassword();
    return 0;
}

int PSWD_PASSWORD_CB(int, int, int event, void *, int eventData1, int)
{
    if (event == EVENT_KEYPRESS && eventData1 == KEY_ENTER)
        CheckPassword();
    return 0;
}
