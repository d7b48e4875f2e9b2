// The busy state around long operations, its release with and without live reading, the
// progress bar and the blocking pause in virtual time.
#include "BusyState.h"
#include "Languages.h"
#include "Panels.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class BusyStateTest : public ToolTest {
protected:
    BusyStateTest()
    {
        Start();
        HidePanel(g_firstPanel);
        SetTimerEnabled(ToolTimer::Init, false);
        DisplayPanel(g_mainPanel);
        SetTimerEnabled(ToolTimer::Main, true);
    }

    bool PageDimmed(int page) const
    {
        int dimmed = 0;
        GetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_DIMMED, &dimmed);
        return dimmed != 0;
    }

    int Cursor() const
    {
        int cursor = 0;
        GetMouseCursor(&cursor);
        return cursor;
    }
};

constexpr int kMenus[] = {VANTREL_MENU_FILE, VANTREL_MENU_SETTINGS, VANTREL_MENU_SENSOR, VANTREL_MENU_VIEW,
                          VANTREL_MENU_HELP};

} // namespace

TEST_F(BusyStateTest, BusyStopsTheSupervisionAndTheMenus)
{
    const double before = driver.Now();
    SetLoadstate(55);
    EXPECT_NEAR(driver.Now() - before, 0.15, 1e-6);
    EXPECT_EQ(GetSleepPolicy(), SLEEP_NONE);
    EXPECT_EQ(Cursor(), CURSOR_WAIT);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "PLEASE WAIT, TRANSFER IN PROGRESS...");
    EXPECT_TRUE(PageDimmed(0));
    EXPECT_TRUE(PageDimmed(1));
    // Without expert mode the expert pages are left alone.
    EXPECT_FALSE(PageDimmed(2));
    EXPECT_FALSE(PageDimmed(3));
    for (int menu : kMenus)
        EXPECT_TRUE(MenuDimmed(menu)) << menu;
    EXPECT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN), cvi::InputStatus::InputOff);

    SetProgress(40);
    ReleaseLoadstate();
    EXPECT_EQ(GetSleepPolicy(), SLEEP_MORE);
    EXPECT_EQ(Cursor(), CURSOR_DEFAULT);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
    double progress = -1;
    GetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_PROGRESSBAR, &progress);
    EXPECT_EQ(progress, 0.0);
    EXPECT_FALSE(PageDimmed(0));
    EXPECT_FALSE(PageDimmed(1));
    for (int menu : kMenus)
        EXPECT_FALSE(MenuDimmed(menu)) << menu;
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_LOAD_FILE));
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_SAVE_FILE));
    int closeEnabled = 0;
    GetPanelAttribute(g_mainPanel, ATTR_CLOSE_ENABLED, &closeEnabled);
    EXPECT_EQ(closeEnabled, 1);
    EXPECT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN), cvi::InputStatus::Accepted);
}

TEST_F(BusyStateTest, ReleasingDuringLiveReadingKeepsTheSupervisionOff)
{
    g_reading = 1;
    SetLoadstate(59);
    ReleaseLoadstate();
    EXPECT_EQ(GetSleepPolicy(), SLEEP_SOME);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_SENSOR));
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_LOAD_FILE));
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_SAVE_FILE));
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_FILE));
}

TEST_F(BusyStateTest, InExpertModeTheExpertPagesAreDimmedToo)
{
    g_expertMode = 1;
    SetLoadstate(56);
    for (int page = 0; page < 4; ++page)
        EXPECT_TRUE(PageDimmed(page)) << page;
    ReleaseLoadstate();
    for (int page = 0; page < 4; ++page)
        EXPECT_FALSE(PageDimmed(page)) << page;
}

TEST_F(BusyStateTest, BusyMessagesFollowTheLanguage)
{
    g_language = kGerman;
    SetLoadstate(58);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "NEUES VANTREL ERKANNT. SENSOR WIRD GELESEN...");
    ReleaseLoadstate();
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "BEREIT");
}

TEST_F(BusyStateTest, PausesBlockForTheTruncatedMilliseconds)
{
    struct Case {
        double seconds;
        double slept;
    };
    const Case cases[] = {{0.05, 0.05}, {0.0005, 0.0}, {0.0, 0.0}, {-1.0, 0.0}, {1.0, 1.0}, {0.0019, 0.001}};
    for (const Case &entry : cases) {
        const double before = driver.Now();
        MillisecSleep(entry.seconds);
        EXPECT_NEAR(driver.Now() - before, entry.slept, 1e-9) << entry.seconds;
    }
}

TEST_F(BusyStateTest, APauseProcessesNothing)
{
    int ticks = 0;
    InstallCtrlCallback(
        g_mainPanel, MAIN_PANEL_MAIN_TIMER,
        [](int, int, int event, void *data, int, int) {
            if (event == EVENT_TIMER_TICK)
                ++*static_cast<int *>(data);
            return 0;
        },
        &ticks);
    MillisecSleep(1.0);
    EXPECT_EQ(ticks, 0);
    ProcessSystemEvents();
    EXPECT_EQ(ticks, 1);
}
