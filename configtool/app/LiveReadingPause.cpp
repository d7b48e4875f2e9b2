#include "LiveReadingPause.h"

#include "BusyState.h"
#include "LiveRead.h"
#include "Panels.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

std::string MainMessage()
{
    int length = 0;
    if (GetCtrlAttribute(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, ATTR_STRING_TEXT_LENGTH, &length) < 0 || length < 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    if (GetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, text.data()) < 0)
        return {};
    text.resize(static_cast<std::size_t>(length));
    return text;
}

} // namespace

LiveReadingPause::LiveReadingPause() : message_(MainMessage()) {}

void LiveReadingPause::StopReadTimer() const
{
    if (!g_reading)
        return;
    SetTimerEnabled(ToolTimer::Read, false);
    g_scd.errorReadPending = 0;
}

void LiveReadingPause::Resume() const
{
    if (!g_reading)
        return;
    SetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, message_.c_str());
    // Leaving the busy state enabled every page; reading keeps the parameter pages dimmed.
    SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, 1);
    if (g_expertMode) {
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 2, ATTR_DIMMED, 1);
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 3, ATTR_DIMMED, 1);
    }
    MillisecSleep(0.1);
    SetTimerEnabled(ToolTimer::Read, true);
}
