// Closing the main panel (close box, end task) with and without unwritten parameters, and the
// pointer over the maker's link.
#include <string>
#include <vector>

#include "Languages.h"
#include "MainPanelClose.h"
#include "Panels.h"
#include "PendingChanges.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class MainPanelCloseTest : public MainPanelTest {
protected:
    MainPanelCloseTest()
    {
        driver.OnPopup([this](const cvi::PopupRecord &popup) {
            asked.push_back(popup.message);
            const int answer = answers.empty() ? 2 : answers.front();
            if (!answers.empty())
                answers.erase(answers.begin());
            return answer;
        });
        InstallMainCallback(MAIN_CALLBACK_CB, nullptr, 0);
    }

    void SetPending(bool pending)
    {
        SetCtrlAttribute(GetTabPanel(0), TAB_SYS_WRITE_CFG, ATTR_DIMMED, pending ? 0 : 1);
    }

    std::vector<int> answers;
    std::vector<std::string> asked;
};

} // namespace

TEST_F(MainPanelCloseTest, ClosingAsksFirstForPendingParametersThenWhetherToClose)
{
    struct Case {
        const char *name;
        bool pending;
        std::vector<int> answers;
        std::vector<int> messages;
        bool quits;
    };
    const Case cases[] = {
        {"nothing pending, No", false, {2}, {41}, false},
        {"pending, Cancel, No", true, {2, 2}, {45, 41}, false},
        {"nothing pending, Yes", false, {1}, {41}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetPending(c.pending);
        answers = c.answers;
        asked.clear();
        EXPECT_EQ(driver.Close(g_mainPanel), cvi::InputStatus::Accepted);
        std::vector<std::string> expected;
        for (const int message : c.messages)
            expected.push_back(MessageText(message));
        EXPECT_EQ(asked, expected);
        EXPECT_EQ(driver.QuitRequested(), c.quits);
        // A cancelled update leaves the change pending.
        int dimmed = 0;
        GetCtrlAttribute(GetTabPanel(0), TAB_SYS_WRITE_CFG, ATTR_DIMMED, &dimmed);
        EXPECT_EQ(dimmed == 0, c.pending);
    }
}

TEST_F(MainPanelCloseTest, ThePendingQuestionTellsWhatHappened)
{
    SetPending(false);
    EXPECT_EQ(OfferPendingParameterUpdate(), PendingAnswer::NothingPending);
    EXPECT_TRUE(asked.empty());
    SetPending(true);
    answers = {2};
    EXPECT_EQ(OfferPendingParameterUpdate(), PendingAnswer::Cancelled);
    EXPECT_EQ(asked, std::vector<std::string>{MessageText(45)});
    ASSERT_EQ(driver.Popups().size(), 1u);
    EXPECT_EQ(driver.Popups()[0].title, MessageText(1));
    EXPECT_EQ(driver.Popups()[0].buttons[0], "Update");
}

TEST_F(MainPanelCloseTest, EndTaskClosesOnlyWhenNotBusy)
{
    SetSleepPolicy(SLEEP_NONE);
    driver.EndTask();
    EXPECT_TRUE(asked.empty());
    EXPECT_FALSE(driver.QuitRequested());

    SetSleepPolicy(SLEEP_MORE);
    answers = {1};
    driver.EndTask();
    EXPECT_EQ(asked, std::vector<std::string>{MessageText(41)});
    EXPECT_TRUE(driver.QuitRequested());
}

TEST_F(MainPanelCloseTest, ThePointerOverTheMakersLinkShowsTheHandWhileIdle)
{
    struct Case {
        int x, y, sleep, cursor;
    };
    const Case cases[] = {{930, 105, SLEEP_MORE, CURSOR_POINTING_HAND}, {1011, 120, SLEEP_MORE, CURSOR_POINTING_HAND},
                          {1012, 110, SLEEP_MORE, CURSOR_DEFAULT},      {950, 121, SLEEP_MORE, CURSOR_DEFAULT},
                          {950, 110, SLEEP_NONE, CURSOR_WAIT}};
    for (const Case &c : cases) {
        SetMouseCursor(CURSOR_WAIT);
        SetSleepPolicy(c.sleep);
        driver.MoveMouse(g_mainPanel, c.x, c.y);
        int cursor = 0;
        GetMouseCursor(&cursor);
        EXPECT_EQ(cursor, c.cursor) << c.x << "," << c.y;
    }
}
