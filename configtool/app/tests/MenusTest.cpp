// Leaving the program, powering off and on from the menu and switching to the position page,
// each with the pending parameter changes offered for writing first.
#include <string>
#include <vector>

#include "Languages.h"
#include "Panels.h"
#include "ParameterPagesFixture.h"
#include "ParameterPages.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using cvi::InputStatus;
using cvi::PopupRecord;

namespace {

constexpr char kNotUpdated[] = "Vantrel parameters are not updated yet.";
constexpr char kReallyClose[] = "Do you really want to close the application?";
constexpr int kUpdate = 1;
constexpr int kCancel = 2;
constexpr int kYes = 1;
constexpr int kNo = 2;

class MenusTest : public ParameterPagesTest {
protected:
    MenusTest() { Connect(); }

    // The operator changes the start set on the system page and does not write it.
    void ChangeWithoutWriting()
    {
        Choose(0, TAB_SYS_STARTSET, 1);
        ASSERT_TRUE(WriteEnabled());
    }

    InputStatus Choose(int item) { return driver.ChooseMenuItem(MainMenuBar(), item); }

    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const PopupRecord &popup : driver.Popups())
            messages.push_back(popup.message);
        return messages;
    }

    using ParameterPagesTest::Choose;
};

} // namespace

TEST_F(MenusTest, ExitAsksOnlyWhetherToCloseWhenNothingIsPending)
{
    driver.AnswerPopup(kNo);
    ASSERT_EQ(Choose(VANTREL_MENU_EXIT), InputStatus::Accepted);
    ASSERT_EQ(Messages(), std::vector<std::string>{kReallyClose});
    const PopupRecord &question = driver.Popups()[0];
    EXPECT_EQ(question.title, "Notification");
    EXPECT_EQ(question.buttons, (std::vector<std::string>{"Yes", "No", ""}));
    EXPECT_EQ(question.enterButton, 1);
    EXPECT_EQ(question.escapeButton, 2);
    EXPECT_FALSE(driver.QuitRequested());

    driver.AnswerPopupWithKey(KEY_ENTER); // "Yes"
    ASSERT_EQ(Choose(VANTREL_MENU_EXIT), InputStatus::Accepted);
    EXPECT_TRUE(driver.QuitRequested());
}

TEST_F(MenusTest, ExitWithAPendingChangeOffersTheUpdateAndCancelStillAsksWhetherToClose)
{
    ChangeWithoutWriting();
    driver.AnswerPopup(kCancel);
    driver.AnswerPopup(kNo);
    ASSERT_EQ(Choose(VANTREL_MENU_EXIT), InputStatus::Accepted);
    EXPECT_EQ(Messages(), (std::vector<std::string>{kNotUpdated, kReallyClose}));
    EXPECT_EQ(driver.Popups()[0].title, "Warning");
    EXPECT_EQ(driver.Popups()[0].buttons, (std::vector<std::string>{"Update", "Cancel", ""}));
    // Staying: the change is still there to be written.
    EXPECT_FALSE(driver.QuitRequested());
    EXPECT_TRUE(WriteEnabled());
    EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), 1);

    driver.AnswerPopup(kCancel);
    driver.AnswerPopup(kYes);
    ASSERT_EQ(Choose(VANTREL_MENU_EXIT), InputStatus::Accepted);
    EXPECT_EQ(driver.Popups().size(), 4u);
    EXPECT_TRUE(driver.QuitRequested());
}

TEST_F(MenusTest, PowerOffWithAPendingChangeAndCancelPutsTheReferenceSettingsBack)
{
    const SysPageSettings reference = ReferenceSysSettings;
    ChangeWithoutWriting();
    driver.AnswerPopup(kCancel);
    ASSERT_EQ(Choose(VANTREL_MENU_POWEROFF), InputStatus::Accepted);

    EXPECT_EQ(Messages(), std::vector<std::string>{kNotUpdated});
    EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), reference.startset);
    EXPECT_EQ(ReferenceSysSettings, reference);
    EXPECT_FALSE(WriteEnabled());
    // Switched off: only "Power ON" is left in the sensor menu.
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_POWERON));
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_POWEROFF));
}

TEST_F(MenusTest, PowerOffWithNothingPendingAsksNothingAndPowerOnReconnects)
{
    ASSERT_EQ(Choose(VANTREL_MENU_POWEROFF), InputStatus::Accepted);
    EXPECT_TRUE(driver.Popups().empty());
    ASSERT_FALSE(MenuDimmed(VANTREL_MENU_POWERON));

    // No adapter here: switching on says so and leaves the encoder off.
    driver.AnswerPopup(1);
    ASSERT_EQ(Choose(VANTREL_MENU_POWERON), InputStatus::Accepted);
    EXPECT_EQ(Messages(), std::vector<std::string>{MessageText(21)});
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_POWERON));
}

TEST_F(MenusTest, OnlyThePositionPageOffersThePendingChangeAndTheTabChangesInAnyCase)
{
    EnterExpertMode();
    ChangeWithoutWriting();
    driver.AnswerPopup(kCancel);
    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1), InputStatus::Accepted);
    EXPECT_EQ(Messages(), std::vector<std::string>{kNotUpdated});
    int page = -1;
    GetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, &page);
    EXPECT_EQ(page, 1);
    EXPECT_TRUE(WriteEnabled());
    EXPECT_EQ(Value(sys, TAB_SYS_STARTSET), 1);

    for (const int other : {2, 3, 0})
        ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, other), InputStatus::Accepted) << other;
    EXPECT_EQ(driver.Popups().size(), 1u);
}
