#include "TestCallbacks.h"

#include "Cvi_Test_uir.h"

CallbackLog &Log()
{
    static CallbackLog log;
    return log;
}

void ResetLog()
{
    Log() = CallbackLog{};
}

std::vector<RecordedEvent> CallbackLog::Of(int event) const
{
    std::vector<RecordedEvent> found;
    for (const RecordedEvent &entry : events) {
        if (entry.event == event)
            found.push_back(entry);
    }
    return found;
}

std::vector<int> CallbackLog::EventsOf(int panel, int control) const
{
    std::vector<int> found;
    for (const RecordedEvent &entry : events) {
        if (entry.panel == panel && entry.control == control)
            found.push_back(entry.event);
    }
    return found;
}

namespace {

int Record(RecordedEvent entry)
{
    Log().events.push_back(entry);
    if (Log().onEvent)
        Log().onEvent(entry);
    return 0;
}

} // namespace

int CONTROL_CB(int panel, int control, int event, void *, int eventData1, int eventData2)
{
    return Record({panel, control, event, eventData1, eventData2});
}

int TICK_CB(int panel, int control, int event, void *, int eventData1, int eventData2)
{
    CallbackLog &log = Log();
    log.events.push_back({panel, control, event, eventData1, eventData2});
    if (event != EVENT_TIMER_TICK)
        return 0;
    ++log.ticks;
    log.tickIntervals.push_back(eventData1);
    ++log.tickDepth;
    if (log.tickDepth > log.deepestTick)
        log.deepestTick = log.tickDepth;
    if (log.onTick)
        log.onTick(eventData1);
    --log.tickDepth;
    return 0;
}

int MAIN_CB(int panel, int event, void *, int eventData1, int eventData2)
{
    return Record({panel, 0, event, eventData1, eventData2});
}

int PAGE_CB(int panel, int event, void *, int eventData1, int eventData2)
{
    return Record({panel, 0, event, eventData1, eventData2});
}

int DIALOG_CB(int panel, int event, void *, int eventData1, int eventData2)
{
    return Record({panel, 0, event, eventData1, eventData2});
}

int MENU_CB(int menuBar, int menuItem, void *, int panel)
{
    Log().menuChoices.push_back({menuBar, menuItem, 0, panel, 0});
    return 0;
}

int MainCallback(int, int, int event, void *, int, int)
{
    Log().events.push_back({0, 0, event, 0, 0});
    return Log().mainCallbackResult;
}
