// Popups answered from the script, their log and their modality.
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "UiFixture.h"
#include "cvi/Toolbox.h"

using cvi::PopupRecord;

TEST_F(UiTest, PopupsAreAnsweredFromTheScriptAndLogged)
{
    driver.AnswerPopup(1);
    driver.AnswerPopup(2);
    driver.AnswerPopupWithKey(KEY_ESCAPE);
    driver.AnswerPopupWithKey(KEY_ENTER);
    EXPECT_EQ(MessagePopup("Notification", "Wrong password, software will start in normal mode."), 0);
    EXPECT_EQ(GenericMessagePopup("Error", "Connected Vantrel has been removed.", "Re-Connect", "Close", "", 0, 1, 1, 2),
              2);
    EXPECT_EQ(GenericMessagePopup("Notification", "Should the existing file be overwritten?", "Yes", "No", nullptr,
                                  0, 2, 0, 2),
              2);
    EXPECT_EQ(GenericMessagePopup("Warning", "Update?", "Update", "Cancel", "", 0, 1, 1, 2), 1);

    const auto &log = driver.Popups();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].kind, PopupRecord::Kind::Message);
    EXPECT_EQ(log[0].title, "Notification");
    EXPECT_EQ(log[0].message, "Wrong password, software will start in normal mode.");
    EXPECT_EQ(log[1].buttons, (std::vector<std::string>{"Re-Connect", "Close", ""}));
    EXPECT_EQ(log[1].answer, 2);
    EXPECT_EQ(log[3].answer, 1);
    EXPECT_FALSE(driver.HadUnansweredPopup());
}

TEST_F(UiTest, APopupWithoutAnswerFailsVisibly)
{
    // Enter has no button here, so the scripted key cannot answer.
    driver.AnswerPopupWithKey(KEY_ENTER);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Yes", "No", "", 0, 2, 0, 2), UIE_POPUP_UNANSWERED);
    EXPECT_EQ(MessagePopup("T", "nothing scripted"), UIE_POPUP_UNANSWERED);
    EXPECT_TRUE(driver.HadUnansweredPopup());
    EXPECT_FALSE(driver.Popups().back().answered);

    // Requests that name buttons the popup does not have are refused before anything is shown.
    const std::size_t shown = driver.Popups().size();
    EXPECT_EQ(GenericMessagePopup("T", "M", "", "", "", 0, 1, 0, 0), UIE_INVALID_VALUE);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Yes", "", "", 0, 1, 2, 0), UIE_INVALID_VALUE);
    EXPECT_EQ(GenericMessagePopup("T", "M", "Yes", "No", "", 0, 3, 0, 0), UIE_INVALID_VALUE);
    EXPECT_EQ(driver.Popups().size(), shown);
}

TEST_F(UiTest, NothingElseTakesInputWhileAPopupWaits)
{
    DisplayPanel(main);
    InputStatus during = InputStatus::Accepted;
    InputStatus menuDuring = InputStatus::Accepted;
    driver.OnPopup([&](const PopupRecord &) {
        during = driver.Click(main, MAIN_APPLY);
        menuDuring = driver.ChooseMenuItem(menuBar, TEST_MENU_QUIT);
        return 1;
    });
    Log().onEvent = [](const RecordedEvent &entry) {
        if (entry.control == MAIN_APPLY)
            MessagePopup("Busy", "Please wait");
    };
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Accepted);
    EXPECT_EQ(during, InputStatus::PopupBlocked);
    EXPECT_EQ(menuDuring, InputStatus::PopupBlocked);
    EXPECT_EQ(Log().EventsOf(main, MAIN_APPLY).size(), 1u);
    EXPECT_TRUE(Log().menuChoices.empty());
}

TEST_F(UiTest, InstalledPopupPanelIsTheOnlyOneThatTakesInput)
{
    const int dialog = LoadPanel(0, "Cvi_Test.uir", DIALOG);
    DisplayPanel(main);
    ASSERT_EQ(InstallPopup(dialog), 0);
    EXPECT_EQ(driver.Click(dialog, DIALOG_OK), InputStatus::Accepted);
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::PopupBlocked);
    EXPECT_EQ(driver.ChooseMenuItem(menuBar, TEST_MENU_OPEN), InputStatus::PopupBlocked);
    EXPECT_EQ(driver.Close(main), InputStatus::PopupBlocked);
    EXPECT_EQ(driver.Close(dialog), InputStatus::Accepted);
    EXPECT_EQ(Log().EventsOf(dialog, 0), std::vector<int>{EVENT_CLOSE});

    // Timers keep running under an installed popup.
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    driver.Advance(0.5);
    EXPECT_EQ(Log().ticks, 2);

    HidePanel(dialog);
    EXPECT_EQ(driver.Click(main, MAIN_APPLY), InputStatus::Accepted);
}

TEST_F(UiTest, FileSelectionTellsExistingFromNewFiles)
{
    TemporaryFolder folder;
    const std::string existing = folder.File("saved.vantrelcfg");
    WriteWholeFile(existing, "x");
    driver.AnswerFileSelect(existing);
    driver.AnswerFileSelect(folder.File("fresh"));
    driver.AnswerFileSelect(folder.File("shot.png"));
    driver.CancelFileSelect();
    driver.AnswerFileSelect(folder.Path());

    char path[MAX_PATH];
    EXPECT_EQ(FileSelectPopupEx("C:\\Users", "*.vantrelcfg", "", "Vantrel Configuration File", VAL_OK_BUTTON, 0, 1,
                                path),
              VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(std::string(path), existing);
    // Restricted to the extension: a name without it gets it.
    EXPECT_EQ(FileSelectPopupEx(" ", "*.vantrelcfg", "", "Vantrel Configuration File", VAL_OK_BUTTON, 0, 1, path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(std::string(path), folder.File("fresh.vantrelcfg"));
    EXPECT_EQ(FileSelectPopupEx(" ", "Screenshot_20240102_030405.png", "", "Screenshot", VAL_SAVE_BUTTON, 0, 1, path),
              VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(std::string(path), folder.File("shot.png"));
    EXPECT_EQ(FileSelectPopupEx(" ", "*.vantrelcfg", "", "T", VAL_OK_BUTTON, 0, 1, path), VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(FileSelectPopupEx(" ", "*.vantrelcfg", "", "T", VAL_OK_BUTTON, 0, 0, path), UIE_INVALID_VALUE);

    ASSERT_GE(driver.Popups().size(), 3u);
    const PopupRecord &screenshot = driver.Popups()[2];
    EXPECT_EQ(screenshot.kind, PopupRecord::Kind::FileSelect);
    EXPECT_EQ(screenshot.title, "Screenshot");
    EXPECT_EQ(screenshot.file.defaultFileSpec, "Screenshot_20240102_030405.png");
    EXPECT_EQ(screenshot.file.buttonLabel, VAL_SAVE_BUTTON);
    EXPECT_EQ(FileSelectPopupEx(" ", "*.x", "", "T", 0, 0, 0, path), UIE_POPUP_UNANSWERED);
}

TEST_F(UiTest, DocumentsGoToTheDesktopSeam)
{
    EXPECT_EQ(OpenDocumentInDefaultViewer("https://www.example.com", 0), 0);
    ASSERT_EQ(driver.Popups().size(), 1u);
    EXPECT_EQ(driver.Popups()[0].kind, PopupRecord::Kind::Document);
    EXPECT_EQ(driver.Popups()[0].message, "https://www.example.com");
    EXPECT_EQ(OpenDocumentInDefaultViewer("", 0), UIE_INVALID_VALUE);
}
