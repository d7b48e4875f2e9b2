// Start-up: panels and texts, the first panel with its timer, the expert switch and password,
// the pre-release marker, the register image and the ways out of the first panels.
#include <cstring>

#include "Panels.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "Startup.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using cvi::InputStatus;

namespace {

std::string PanelTitle(int panel)
{
    char title[256] = {};
    GetPanelAttribute(panel, ATTR_TITLE, title);
    return title;
}

} // namespace

TEST_F(ToolTest, NormalStartShowsTheFirstPanelConnecting)
{
    ASSERT_EQ(Start(), 0);
    EXPECT_TRUE(driver.IsShown(g_firstPanel));
    EXPECT_FALSE(driver.IsShown(g_mainPanel));
    EXPECT_FALSE(driver.IsShown(g_passwordPanel));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Connecting...");
    EXPECT_TRUE(TabPageVisible(0));
    EXPECT_TRUE(TabPageVisible(1));
    EXPECT_FALSE(TabPageVisible(2));
    EXPECT_FALSE(TabPageVisible(3));
    EXPECT_EQ(GetSleepPolicy(), SLEEP_MORE);
    EXPECT_EQ(g_expertStart, 0);
    EXPECT_EQ(g_expertMode, 0);
    EXPECT_EQ(g_link.interfaceType, 5);
    EXPECT_EQ(g_link.handle, 0u);
    EXPECT_EQ(g_link.frameLength, 40);
}

TEST_F(ToolTest, StartUpPutsTheProgramTextsInPlace)
{
    ASSERT_EQ(Start(), 0);
    for (int panel : {g_firstPanel, g_mainPanel, g_calibPanel, g_passwordPanel})
        EXPECT_EQ(PanelTitle(panel), kProgramName);
    EXPECT_EQ(Text(g_aboutPanel, 8), kShortRightsText);
    EXPECT_EQ(Text(g_firstPanel, 4), kShortRightsText);
    EXPECT_EQ(Text(g_passwordPanel, 6), kShortRightsText);
    EXPECT_EQ(Text(g_calibPanel, 9), kShortRightsText);
    EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_RLS_DATE), kLongRightsText);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SW_VER_BANNER), kProgramVersion);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_SW_VER_PRINTSCRN), kProgramFullTitle);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN), "");

    // Every menu is usable except switching the sensor on.
    for (int entry : {VANTREL_MENU_FILE, VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE, VANTREL_MENU_EXIT,
                      VANTREL_MENU_SETTINGS, VANTREL_MENU_LANGUAGE, VANTREL_MENU_SENSOR, VANTREL_MENU_POWEROFF,
                      VANTREL_MENU_FACTORYDEF, VANTREL_MENU_VIEW, VANTREL_MENU_HELP})
        EXPECT_FALSE(MenuDimmed(entry)) << entry;
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_POWERON));
}

TEST_F(ToolTest, OddBuildNumbersShowThePreReleaseMarker)
{
    struct Case {
        const char *version;
        bool marked;
    };
    const Case cases[] = {{"V1.06.000", false}, {"V1.06.003", true}, {"V1.06.0010", false},
                          {"V1.06.1234567", false}, {"V1.06.", false}, {"", false}, {"V2.00.7", true}};
    for (const Case &entry : cases) {
        ASSERT_EQ(Start({}, entry.version), 0);
        EXPECT_EQ(ControlVisible(g_mainPanel, MAIN_PANEL_PRE_TXT), entry.marked) << entry.version;
        EXPECT_EQ(ControlVisible(g_mainPanel, MAIN_PANEL_PRE_FRAME), entry.marked) << entry.version;
        CleanUpKelto();
    }
}

TEST_F(ToolTest, StartUpLeavesTheRegisterImageUnread)
{
    calvista::RegisterImage()[5] = 0x12;
    calvista::RegisterImage()[2048] = 7;
    ASSERT_EQ(Start(), 0);
    for (std::size_t cell = 0; cell < 2048; ++cell)
        ASSERT_EQ(calvista::RegisterImage()[cell], 0x1FF) << cell;
    EXPECT_EQ(calvista::RegisterImage()[2048], 0);
}

TEST_F(ToolTest, OnlyTheExactExpertSwitchAsksForThePassword)
{
    struct Case {
        std::vector<std::string> arguments;
        bool expert;
    };
    const Case cases[] = {
        {{"-expert"}, true},          {{"x", "-expert"}, true}, {{"-Expert"}, false},
        {{"-EXPERT"}, false},         {{"-expert2"}, false},    {{"expert"}, false},
        {{"-expert "}, false},        {{}, false},
    };
    for (const Case &entry : cases) {
        ASSERT_EQ(Start(entry.arguments), 0);
        EXPECT_EQ(driver.IsShown(g_passwordPanel), entry.expert);
        EXPECT_EQ(driver.IsShown(g_firstPanel), !entry.expert);
        EXPECT_EQ(IsTimerEnabled(ToolTimer::Init), !entry.expert);
        EXPECT_EQ(g_expertStart, entry.expert ? 1 : 0);
        CleanUpKelto();
    }
}

TEST_F(ToolTest, TheRightPasswordShowsTheExpertPages)
{
    ASSERT_EQ(Start({"-expert"}), 0);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
    ASSERT_EQ(driver.SetText(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, kExpertPassword), InputStatus::Accepted);
    ASSERT_EQ(driver.Click(g_passwordPanel, PSWD_PANEL_PSWD_ENTER), InputStatus::Accepted);

    EXPECT_TRUE(driver.Popups().empty());
    EXPECT_EQ(g_expertMode, 1);
    EXPECT_TRUE(TabPageVisible(2));
    EXPECT_TRUE(TabPageVisible(3));
    EXPECT_FALSE(driver.IsShown(g_passwordPanel));
    EXPECT_TRUE(driver.IsShown(g_firstPanel));
    EXPECT_EQ(GetActivePanel(), g_firstPanel);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Connecting...");
}

TEST_F(ToolTest, AWrongOrEmptyPasswordStartsTheNormalMode)
{
    // Enter in the password field checks as well as the button does.
    for (const char *password : {"QTFMarble", "qtfmarble!", "QTFMarble!!", " QTFMarble!", ""}) {
        ASSERT_EQ(Start({"-expert"}), 0);
        const std::size_t shown = driver.Popups().size();
        driver.AnswerPopup(1);
        ASSERT_EQ(driver.SetText(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, password), InputStatus::Accepted);
        ASSERT_EQ(driver.PressKey(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, KEY_ENTER), InputStatus::Accepted);

        ASSERT_EQ(driver.Popups().size(), shown + 1) << password;
        EXPECT_EQ(driver.Popups().back().title, "Notification");
        EXPECT_EQ(driver.Popups().back().message, "Wrong password, software will start in normal mode.");
        EXPECT_EQ(g_expertMode, 0);
        EXPECT_FALSE(TabPageVisible(2));
        EXPECT_FALSE(TabPageVisible(3));
        EXPECT_TRUE(driver.IsShown(g_firstPanel));
        EXPECT_TRUE(IsTimerEnabled(ToolTimer::Init));
        CleanUpKelto();
    }
}

TEST_F(ToolTest, ClosingTheFirstPanelEndsTheProgramWithTheTimersOff)
{
    ASSERT_EQ(Start(), 0);
    const double before = driver.Now();
    ASSERT_EQ(driver.Close(g_firstPanel), InputStatus::Accepted);
    EXPECT_TRUE(driver.QuitRequested());
    EXPECT_EQ(driver.QuitValue(), 0);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    // Disconnecting pauses 1 s, without a handle to close.
    EXPECT_NEAR(driver.Now() - before, 1.0, 1e-6);
    EXPECT_EQ(g_link.lastError, 0);
}

TEST_F(ToolTest, ClosingThePasswordPanelEndsTheProgram)
{
    ASSERT_EQ(Start({"-expert"}), 0);
    ASSERT_EQ(driver.Close(g_passwordPanel), InputStatus::Accepted);
    EXPECT_TRUE(driver.QuitRequested());
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Init));
}

TEST_F(ToolTest, CleanUpDiscardsThePanelsOnce)
{
    ASSERT_EQ(Start(), 0);
    const int first = g_firstPanel;
    EXPECT_EQ(CleanUpKelto(), 0);
    EXPECT_EQ(g_firstPanel, 0);
    EXPECT_EQ(DisplayPanel(first), UIE_INVALID_PANEL);
    EXPECT_EQ(CleanUpKelto(), 0);
}

TEST_F(ToolTest, TabPagesRestoreTheCursorOnlyWhileIdle)
{
    ASSERT_EQ(Start(), 0);
    HidePanel(g_firstPanel);
    DisplayPanel(g_mainPanel);
    const int page = GetTabPanel(0);
    ASSERT_GT(page, 0);

    SetMouseCursor(CURSOR_POINTING_HAND);
    ASSERT_EQ(driver.MoveMouse(page, 20, 20), InputStatus::Accepted);
    int cursor = 0;
    GetMouseCursor(&cursor);
    EXPECT_EQ(cursor, CURSOR_DEFAULT);

    SetSleepPolicy(SLEEP_NONE);
    SetMouseCursor(CURSOR_WAIT);
    driver.MoveMouse(page, 30, 30);
    GetMouseCursor(&cursor);
    EXPECT_EQ(cursor, CURSOR_WAIT);
}

TEST_F(ToolTest, AboutOffHidesTheAboutPanel)
{
    ASSERT_EQ(Start(), 0);
    DisplayPanel(g_mainPanel);
    InstallPopup(g_aboutPanel);
    AboutOff();
    EXPECT_FALSE(driver.IsShown(g_aboutPanel));
    EXPECT_EQ(GetActivePanel(), g_mainPanel);
}
