// The callbacks named by the test panel record what they receive; tests hook in behaviour.
#pragma once

#include <functional>
#include <vector>

struct RecordedEvent {
    int panel;
    int control;
    int event;
    int data1;
    int data2;
};

struct CallbackLog {
    std::vector<RecordedEvent> events;      // control, panel and main callbacks
    std::vector<RecordedEvent> menuChoices; // menu bar, item, -, panel
    std::function<void(const RecordedEvent &)> onEvent;
    std::function<void(int data1)> onTick;
    int ticks = 0;
    int tickDepth = 0;
    int deepestTick = 0;
    std::vector<int> tickIntervals; // event data 1 of each tick
    int mainCallbackResult = 1;

    // Events of one kind, in order.
    std::vector<RecordedEvent> Of(int event) const;
    std::vector<int> EventsOf(int panel, int control) const;
};

CallbackLog &Log();
void ResetLog();

// The program's main callback in these tests: records and answers with mainCallbackResult.
int MainCallback(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
