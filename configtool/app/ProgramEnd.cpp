#include "ProgramEnd.h"

#include "BusyState.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolState.h"
#include "cvi/UserInterface.h"

void Disconnect()
{
    CloseInterface(&g_link.handle);
    ResetLinkSettings();
    g_calibPanelShown = 0;
    MillisecSleep(1.0);
}

void TerminateApp()
{
    SetTimerEnabled(ToolTimer::Main, false);
    SetTimerEnabled(ToolTimer::Init, false);
    SetTimerEnabled(ToolTimer::Read, false);
    Disconnect();
    QuitUserInterface(0);
}
