#include "Timers.h"

#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

struct TimerPlace {
    int panel;
    int control;
};

TimerPlace PlaceOf(ToolTimer timer)
{
    switch (timer) {
    case ToolTimer::Init:
        return {g_firstPanel, FIRSTPANEL_INIT_TIMER};
    case ToolTimer::Main:
        return {g_mainPanel, MAIN_PANEL_MAIN_TIMER};
    case ToolTimer::Read:
        return {GetTabPanel(1), TAB_POS_READ_TIMER};
    }
    return {0, 0};
}

} // namespace

void SetTimerEnabled(ToolTimer timer, bool enabled)
{
    const TimerPlace place = PlaceOf(timer);
    SetCtrlAttribute(place.panel, place.control, ATTR_ENABLED, enabled ? 1 : 0);
}

bool IsTimerEnabled(ToolTimer timer)
{
    const TimerPlace place = PlaceOf(timer);
    int enabled = 0;
    return GetCtrlAttribute(place.panel, place.control, ATTR_ENABLED, &enabled) >= 0 && enabled != 0;
}
