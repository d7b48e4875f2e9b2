// The about panel: versions, closing, the credit text on the fifth click, the cursor and the
// maker's web site from the about panel and from the main panel.
#include "AboutPanel.h"
#include "LinkVersions.h"
#include "Panels.h"
#include "Startup.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using cvi::InputStatus;
using cvi::PopupRecord;

namespace {

class AboutPanelTest : public MainPanelTest {
protected:
    InputStatus OpenAbout() { return driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ABOUT); }
};

} // namespace

TEST_F(AboutPanelTest, ShowsTheVersionsAndClosesBackToTheMainPanel)
{
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    EXPECT_TRUE(driver.IsShown(g_aboutPanel));
    EXPECT_EQ(GetActivePanel(), g_aboutPanel);
    EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_RLS_VER), kProgramFullTitle);
    double version = 0.0;
    GetCtrlVal(g_aboutPanel, ABOUT_PAN_BISS_DLL_VERNUM, &version);
    EXPECT_GT(version, 0.0);
    EXPECT_DOUBLE_EQ(version, GetDLLVersion());
    // The about panel is a popup: the main panel waits for it.
    EXPECT_EQ(driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ABOUT), InputStatus::PopupBlocked);

    ASSERT_EQ(driver.Close(g_aboutPanel), InputStatus::Accepted);
    EXPECT_FALSE(driver.IsShown(g_aboutPanel));
    EXPECT_EQ(GetActivePanel(), g_mainPanel);
    EXPECT_EQ(OpenAbout(), InputStatus::Accepted);
    EXPECT_TRUE(driver.Popups().empty());
}

TEST_F(AboutPanelTest, TheCreditShowsOnTheFifthClickOnlyOncePerRun)
{
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    for (int click = 1; click < kCreditReleases; ++click) {
        ASSERT_EQ(driver.Click(g_aboutPanel, ABOUT_PAN_RLS_VER), InputStatus::Accepted);
        EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_TEXTMSG_2), "") << "click " << click;
    }
    ASSERT_EQ(driver.Click(g_aboutPanel, ABOUT_PAN_RLS_VER), InputStatus::Accepted);
    EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_TEXTMSG_2), kCreditText);

    // Reopened and clicked on: the counting has stopped for the rest of the run.
    SetCtrlVal(g_aboutPanel, ABOUT_PAN_TEXTMSG_2, "");
    ASSERT_EQ(driver.Close(g_aboutPanel), InputStatus::Accepted);
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    for (int click = 0; click < 3 * kCreditReleases; ++click)
        ASSERT_EQ(driver.Click(g_aboutPanel, ABOUT_PAN_RLS_VER), InputStatus::Accepted);
    EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_TEXTMSG_2), "");
}

TEST_F(AboutPanelTest, ANewStartCountsAgain)
{
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    for (int click = 0; click < kCreditReleases; ++click)
        driver.Click(g_aboutPanel, ABOUT_PAN_RLS_VER);
    CleanUpKelto();
    ASSERT_EQ(Start(), 0);
    HidePanel(g_firstPanel);
    DisplayPanel(g_mainPanel);
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    for (int click = 0; click < kCreditReleases; ++click)
        driver.Click(g_aboutPanel, ABOUT_PAN_RLS_VER);
    EXPECT_EQ(Text(g_aboutPanel, ABOUT_PAN_TEXTMSG_2), kCreditText);
}

TEST_F(AboutPanelTest, OnlyThePointingHandIsPutBackOnAMouseMove)
{
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    const int cases[][2] = {{CURSOR_POINTING_HAND, CURSOR_DEFAULT}, {CURSOR_WAIT, CURSOR_WAIT},
                            {CURSOR_DEFAULT, CURSOR_DEFAULT}};
    for (const auto &entry : cases) {
        SetMouseCursor(entry[0]);
        ASSERT_EQ(driver.MoveMouse(g_aboutPanel, 30, 40), InputStatus::Accepted);
        int cursor = 0;
        GetMouseCursor(&cursor);
        EXPECT_EQ(cursor, entry[1]) << "from " << entry[0];
    }
}

TEST_F(AboutPanelTest, TheWebSiteOpensFromTheAboutButtonAndTheMainPanelLink)
{
    ASSERT_EQ(driver.Click(g_mainPanel, MAIN_PANEL_VENKOR_LINK_TXT), InputStatus::Accepted);
    ASSERT_EQ(OpenAbout(), InputStatus::Accepted);
    ASSERT_EQ(driver.Click(g_aboutPanel, ABOUT_PAN_VENKOR_BTN), InputStatus::Accepted);

    ASSERT_EQ(driver.Popups().size(), 2u);
    for (const PopupRecord &record : driver.Popups()) {
        EXPECT_EQ(record.kind, PopupRecord::Kind::Document);
        EXPECT_EQ(record.message, kVenkorWebAddress);
    }
}
