// Timers and the event loop in virtual time.
#include <vector>

#include "UiFixture.h"
#include "cvi/Toolbox.h"

TEST_F(UiTest, TimerTicksInVirtualTimeOnlyWhileEnabled)
{
    driver.Advance(1.0);
    EXPECT_EQ(Log().ticks, 0);
    ASSERT_EQ(SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1), 0);
    const double start = driver.Now();
    driver.Advance(60.0); // a minute of program time
    EXPECT_EQ(Log().ticks, 240);
    EXPECT_DOUBLE_EQ(driver.Now() - start, 60.0);
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 0);
    driver.Advance(1.0);
    EXPECT_EQ(Log().ticks, 240);
    int enabled = 1;
    GetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, &enabled);
    EXPECT_EQ(enabled, 0);

    // Enabling starts a fresh interval; enabling again does not.
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    driver.Advance(0.2);
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    driver.Advance(0.05);
    EXPECT_EQ(Log().ticks, 241);
}

TEST_F(UiTest, TimerIsNotReenteredAndMissedTicksMerge)
{
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    // The first tick works for 1.1 s with events processed meanwhile.
    Log().onTick = [](int) {
        if (Log().ticks == 1)
            DelayWithEventProcessing(1.1);
    };
    driver.Advance(2.0);
    EXPECT_EQ(Log().deepestTick, 1);
    ASSERT_GE(Log().tickIntervals.size(), 2u);
    EXPECT_EQ(Log().tickIntervals[0], 1);
    EXPECT_EQ(Log().tickIntervals[1], 4); // 0.5 .. 1.25 missed: one tick for four intervals
    // Afterwards the rhythm is the old one: ticks at 1.5, 1.75 and 2.0.
    EXPECT_EQ(Log().ticks, 5);
}

TEST_F(UiTest, BlockingPauseProcessesNothing)
{
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    Log().onTick = [](int) {
        if (Log().ticks == 1)
            RunTimeSleep(1000);
    };
    driver.Advance(0.3);
    EXPECT_DOUBLE_EQ(driver.Now(), 1.25);
    EXPECT_EQ(Log().ticks, 1);
    // The ticks missed meanwhile come as one at the next chance to process events.
    ProcessSystemEvents();
    ASSERT_EQ(Log().ticks, 2);
    EXPECT_EQ(Log().tickIntervals[1], 4);
}

TEST_F(UiTest, NoTicksWhileAPopupWaits)
{
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    int ticksSeenByPopup = -1;
    driver.OnPopup([&](const cvi::PopupRecord &) {
        // The user takes two seconds to answer.
        DelayWithEventProcessing(2.0);
        ProcessSystemEvents();
        ticksSeenByPopup = Log().ticks;
        return 1;
    });
    Log().onTick = [](int) {
        if (Log().ticks == 1)
            MessagePopup("Title", "Waiting");
    };
    driver.Advance(2.5);
    EXPECT_EQ(ticksSeenByPopup, 1);
    EXPECT_EQ(Log().deepestTick, 1);
    ASSERT_GE(Log().tickIntervals.size(), 2u);
    EXPECT_EQ(Log().tickIntervals[1], 8);
}

TEST_F(UiTest, RunUserInterfaceTakesScheduledInputUntilQuit)
{
    DisplayPanel(main);
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    Log().onEvent = [](const RecordedEvent &entry) {
        if (entry.event == EVENT_COMMIT && entry.control == MAIN_APPLY)
            QuitUserInterface(7);
    };
    driver.At(1.0, [this] { EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Accepted); });
    EXPECT_EQ(RunUserInterface(), 7);
    EXPECT_EQ(Log().ticks, 4);
    EXPECT_DOUBLE_EQ(driver.Now(), 1.0);
    EXPECT_FALSE(driver.QuitRequested());

    // With no timer and no input ahead the loop cannot wait for anything.
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 0);
    EXPECT_EQ(RunUserInterface(), UIE_NOTHING_TO_WAIT_FOR);
}

TEST_F(UiTest, NestedLoopQuitsOnlyItself)
{
    DisplayPanel(main);
    int inner = 0;
    Log().onEvent = [&](const RecordedEvent &entry) {
        if (entry.event != EVENT_COMMIT)
            return;
        if (entry.control == MAIN_APPLY) {
            driver.At(0.5, [this] { driver.SetValue(main, MAIN_COUNT, 1); });
            inner = RunUserInterface();
            driver.At(0.5, [this] { driver.SetValue(main, MAIN_COUNT, 2); });
        } else if (entry.control == MAIN_COUNT) {
            QuitUserInterface(inner == 0 ? 11 : 22);
        }
    };
    driver.At(0.5, [this] { driver.Click(main, MAIN_APPLY); });
    EXPECT_EQ(RunUserInterface(), 22);
    EXPECT_EQ(inner, 11);
}

TEST_F(UiTest, SleepPolicyAndCursorAreKept)
{
    EXPECT_EQ(SetSleepPolicy(SLEEP_MORE), 0);
    EXPECT_EQ(GetSleepPolicy(), SLEEP_MORE);
    EXPECT_EQ(SetSleepPolicy(7), UIE_INVALID_VALUE);
    EXPECT_EQ(SetMouseCursor(CURSOR_WAIT), 0);
    int cursor = 0;
    GetMouseCursor(&cursor);
    EXPECT_EQ(cursor, CURSOR_WAIT);
}

TEST_F(UiTest, TimerWhosePanelGoesAwayStops)
{
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    const int panel = main;
    Log().onTick = [panel](int) { DiscardPanel(panel); };
    driver.Advance(1.0);
    EXPECT_EQ(Log().ticks, 1);
    EXPECT_EQ(SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1), UIE_INVALID_PANEL);
    EXPECT_EQ(ProcessDrawEvents(), 0);
}
