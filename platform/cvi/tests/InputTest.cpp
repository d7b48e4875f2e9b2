// User input: refused where a user could not give it, and the events it sends.
#include <vector>

#include "UiFixture.h"

TEST_F(UiTest, InputIsRefusedWhereAUserCouldNotGiveIt)
{
    const int dialog = LoadPanel(0, "Cvi_Test.uir", DIALOG);
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Hidden); // panel not shown
    DisplayPanel(main);
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Accepted);

    struct Case {
        const char *what;
        void (*arrange)(int main, int pageOne, int pageTwo, int menuBar, int dialog);
        InputStatus expected;
    };
    const Case cases[] = {
        {"dimmed control", [](int m, int, int, int, int) { SetCtrlAttribute(m, MAIN_APPLY, ATTR_DIMMED, 1); },
         InputStatus::Dimmed},
        {"hidden control", [](int m, int, int, int, int) { SetCtrlAttribute(m, MAIN_APPLY, ATTR_VISIBLE, 0); },
         InputStatus::Hidden},
        {"dimmed panel", [](int m, int, int, int, int) { SetPanelAttribute(m, ATTR_DIMMED, 1); },
         InputStatus::Dimmed},
        {"input mode off", [](int m, int, int, int, int) { SetInputMode(m, -1, 0); }, InputStatus::InputOff},
        {"control input off", [](int m, int, int, int, int) { SetInputMode(m, MAIN_APPLY, 0); },
         InputStatus::InputOff},
        {"popup up", [](int, int, int, int, int d) { InstallPopup(d); }, InputStatus::PopupBlocked},
    };
    for (const Case &entry : cases) {
        entry.arrange(main, pageOne, pageTwo, menuBar, dialog);
        EXPECT_EQ(driver.Click(main, MAIN_APPLY), entry.expected) << entry.what;
        // Put everything back for the next case.
        SetCtrlAttribute(main, MAIN_APPLY, ATTR_DIMMED, 0);
        SetCtrlAttribute(main, MAIN_APPLY, ATTR_VISIBLE, 1);
        SetPanelAttribute(main, ATTR_DIMMED, 0);
        SetInputMode(main, -1, 1);
        SetInputMode(main, MAIN_APPLY, 1);
        HidePanel(dialog);
    }
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, MAIN_APPLY), (std::vector<int>{EVENT_COMMIT, EVENT_COMMIT}));
}

TEST_F(UiTest, ControlsOnPagesFollowTheirPageAndTab)
{
    DisplayPanel(main);
    EXPECT_EQ(driver.Click(pageTwo, PAGE_TWO_RUN), InputStatus::Hidden); // not the active page
    EXPECT_EQ(driver.SelectTab(main, MAIN_PAGES, 1), InputStatus::Accepted);
    EXPECT_EQ(driver.Click(pageTwo, PAGE_TWO_RUN), InputStatus::Accepted);
    SetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_DIMMED, 1);
    EXPECT_EQ(driver.Click(pageTwo, PAGE_TWO_RUN), InputStatus::Dimmed);
    SetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_DIMMED, 0);
    SetCtrlAttribute(main, MAIN_PAGES, ATTR_DIMMED, 1);
    EXPECT_EQ(driver.Click(pageTwo, PAGE_TWO_RUN), InputStatus::Dimmed);
    SetCtrlAttribute(main, MAIN_PAGES, ATTR_DIMMED, 0);

    // A dimmed or hidden page cannot be chosen.
    SetTabPageAttribute(main, MAIN_PAGES, 0, ATTR_DIMMED, 1);
    EXPECT_EQ(driver.SelectTab(main, MAIN_PAGES, 0), InputStatus::Dimmed);
    SetTabPageAttribute(main, MAIN_PAGES, 0, ATTR_DIMMED, 0);
    SetTabPageAttribute(main, MAIN_PAGES, 0, ATTR_VISIBLE, 0);
    EXPECT_EQ(driver.SelectTab(main, MAIN_PAGES, 0), InputStatus::Hidden);
    EXPECT_EQ(driver.SelectTab(main, MAIN_PAGES, 5), InputStatus::BadValue);

    // Indicators show values but take none.
    SetTabPageAttribute(main, MAIN_PAGES, 0, ATTR_VISIBLE, 1);
    driver.SelectTab(main, MAIN_PAGES, 0);
    EXPECT_EQ(driver.SetValue(pageOne, PAGE_ONE_SHOWN, 3), InputStatus::Indicator);
    EXPECT_EQ(driver.SetValue(pageOne, PAGE_ONE_RATE, 3), InputStatus::Accepted);
    EXPECT_EQ(driver.Click(main, MAIN_TICK), InputStatus::WrongKind);
}

TEST_F(UiTest, UserValuesSendValueChangedThenCommit)
{
    ShowSecondPage();
    ResetLog();
    EXPECT_EQ(driver.SetValue(main, MAIN_COUNT, 20), InputStatus::Accepted);
    EXPECT_EQ(driver.SetValue(main, MAIN_COUNT, 20), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT, EVENT_COMMIT}));

    // A user cannot go beyond the limits either.
    driver.SetValue(main, MAIN_COUNT, 9999);
    unsigned short count = 0;
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 500);

    EXPECT_EQ(driver.SelectListItem(main, MAIN_MODE, 2), InputStatus::Accepted);
    EXPECT_EQ(driver.SetValue(main, MAIN_MODE, 4), InputStatus::BadValue);
    EXPECT_EQ(driver.SelectListItem(main, MAIN_MODE, 3), InputStatus::BadValue);
    int mode = 0;
    GetCtrlVal(main, MAIN_MODE, &mode);
    EXPECT_EQ(mode, 5);

    EXPECT_EQ(driver.Click(pageTwo, PAGE_TWO_RUN), InputStatus::Accepted);
    int run = 0;
    GetCtrlVal(pageTwo, PAGE_TWO_RUN, &run);
    EXPECT_EQ(run, 1);
    EXPECT_EQ(Log().EventsOf(pageTwo, PAGE_TWO_RUN), (std::vector<int>{EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(driver.SetValue(pageTwo, PAGE_TWO_OPTION, 2), InputStatus::BadValue);

    EXPECT_EQ(driver.SetText(main, MAIN_NAME, "typed"), InputStatus::Accepted);
    EXPECT_EQ(driver.SetText(main, MAIN_COUNT, "typed"), InputStatus::WrongKind);
    EXPECT_EQ(driver.Click(main, MAIN_STATUS), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, MAIN_STATUS), std::vector<int>{EVENT_LEFT_CLICK_UP});
}

TEST_F(UiTest, TypedDigitsBecomeTheValueOnEnter)
{
    DisplayPanel(main);
    std::vector<int> seenDuringEnter;
    Log().onEvent = [&](const RecordedEvent &entry) {
        if (entry.event == EVENT_KEYPRESS && entry.data1 == KEY_ENTER) {
            unsigned short value = 0;
            GetCtrlVal(main, MAIN_COUNT, &value);
            seenDuringEnter.push_back(value);
        }
    };
    ASSERT_EQ(driver.Type(main, MAIN_COUNT, "42"), InputStatus::Accepted);
    EXPECT_EQ(driver.DisplayedText(main, MAIN_COUNT), "42");
    unsigned short count = 0;
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 350); // not taken before Enter
    ASSERT_EQ(driver.PressKey(main, MAIN_COUNT, KEY_ENTER), InputStatus::Accepted);
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 42);
    // The Enter key's callback already sees the value typed.
    EXPECT_EQ(seenDuringEnter, std::vector<int>{42});
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT),
              (std::vector<int>{EVENT_KEYPRESS, EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_KEYPRESS, EVENT_COMMIT}));
    EXPECT_EQ(Log().Of(EVENT_KEYPRESS).at(0).data1, '4');

    // Enter alone commits without a change; arrows step by the increment.
    ResetLog();
    driver.PressKey(main, MAIN_COUNT, KEY_ENTER);
    driver.PressKey(main, MAIN_COUNT, KEY_UP);
    GetCtrlVal(main, MAIN_COUNT, &count);
    EXPECT_EQ(count, 43);
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT), (std::vector<int>{EVENT_KEYPRESS, EVENT_COMMIT, EVENT_KEYPRESS,
                                                                  EVENT_VAL_CHANGED, EVENT_COMMIT}));

    // A string takes each character at once, within its length.
    ResetLog();
    driver.Type(main, MAIN_NAME, "abcdefghijkl");
    char name[16];
    GetCtrlVal(main, MAIN_NAME, name);
    EXPECT_STREQ(name, "abcdefghij");
    EXPECT_EQ(Log().Of(EVENT_VAL_CHANGED).size(), 10u);
    driver.PressKey(main, MAIN_NAME, KEY_BACKSPACE);
    GetCtrlVal(main, MAIN_NAME, name);
    EXPECT_STREQ(name, "abcdefghi");
}

TEST_F(UiTest, WheelMouseTabMenuCloseAndEndTaskEvents)
{
    DisplayPanel(main);
    ResetLog();
    EXPECT_EQ(driver.Wheel(main, MAIN_COUNT, -1), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT),
              (std::vector<int>{EVENT_MOUSE_WHEEL_SCROLL, EVENT_VAL_CHANGED, EVENT_COMMIT}));
    EXPECT_EQ(Log().events.at(0).data1, -1);

    ResetLog();
    EXPECT_EQ(driver.MoveMouse(main, 930, 105), InputStatus::Accepted);
    EXPECT_EQ(driver.MoveMouse(pageOne, 5, 6), InputStatus::Accepted);
    ASSERT_EQ(Log().events.size(), 2u);
    EXPECT_EQ(Log().events[0].event, EVENT_MOUSE_POINTER_MOVE);
    EXPECT_EQ(Log().events[0].data1, 105); // y
    EXPECT_EQ(Log().events[0].data2, 930); // x
    EXPECT_EQ(Log().events[1].panel, pageOne);

    ResetLog();
    driver.SelectTab(main, MAIN_PAGES, 1);
    driver.SelectTab(main, MAIN_PAGES, 1);
    ASSERT_EQ(Log().Of(EVENT_ACTIVE_TAB_CHANGE).size(), 1u);
    EXPECT_EQ(Log().events[0].data1, 0);
    EXPECT_EQ(Log().events[0].data2, 1);

    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_QUIT), InputStatus::Accepted);
    ASSERT_EQ(Log().menuChoices.size(), 1u);
    EXPECT_EQ(Log().menuChoices[0].panel, menuBar);
    EXPECT_EQ(Log().menuChoices[0].control, TEST_MENU_QUIT);
    EXPECT_EQ(Log().menuChoices[0].data1, main);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_FILE), InputStatus::WrongKind);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_LANGUAGE), InputStatus::WrongKind);
    SetMenuBarAttribute(menuBar, TEST_MENU_SETTINGS, ATTR_DIMMED, 1);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_GERMAN), InputStatus::Dimmed);
    SetMenuBarAttribute(menuBar, TEST_MENU_SETTINGS, ATTR_DIMMED, 0);
    SetInputMode(menuBar, -1, 0);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_GERMAN), InputStatus::InputOff);
    SetInputMode(menuBar, -1, 1);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_GERMAN), InputStatus::Accepted);
    const int alone = LoadMenuBar(0, "Cvi_Test.uir", TEST_MENU);
    EXPECT_EQ(driver.ChooseMenuItem(alone, TEST_MENU_QUIT), InputStatus::Hidden);

    ResetLog();
    EXPECT_EQ(driver.Close(main), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, 0), std::vector<int>{EVENT_CLOSE});
    SetPanelAttribute(main, ATTR_CLOSE_ENABLED, 0);
    EXPECT_EQ(driver.Close(main), InputStatus::CloseDisabled);
    EXPECT_EQ(driver.Close(pageOne), InputStatus::WrongKind);

    // End task: the main callback may keep the program; without one the loop is told to quit.
    InstallMainCallback(MainCallback, nullptr, 0);
    Log().mainCallbackResult = 1;
    EXPECT_EQ(driver.EndTask(), InputStatus::Accepted);
    EXPECT_EQ(Log().Of(EVENT_END_TASK).size(), 1u);
    EXPECT_FALSE(driver.QuitRequested());
    Log().mainCallbackResult = 0;
    driver.EndTask();
    EXPECT_TRUE(driver.QuitRequested());
    EXPECT_EQ(driver.QuitValue(), 0);
}

TEST_F(UiTest, DiscardingAPanelFromItsOwnCallbackEndsItsEvents)
{
    DisplayPanel(main);
    int panel = main;
    Log().onEvent = [&panel](const RecordedEvent &entry) {
        if (entry.event == EVENT_VAL_CHANGED)
            DiscardPanel(panel);
    };
    EXPECT_EQ(driver.SetValue(main, MAIN_COUNT, 3), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT), std::vector<int>{EVENT_VAL_CHANGED});
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::NoSuchTarget);
}
