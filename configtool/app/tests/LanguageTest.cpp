// The language switch: panel and menu texts from the language files, the notification slots in
// the new language, the check marks, the stored choice, and the fallback to English.
#include "Languages.h"
#include "Panels.h"
#include "RegisterFields.h"
#include "SensorInformation.h"
#include "SettingsFile.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

using cvi::InputStatus;

namespace {

class LanguageSwitch : public ToolTest {
protected:
    // The tool as it is once connected: the main panel shows and its menu bar takes input.
    void StartOnTheMainPanel()
    {
        ASSERT_EQ(Start(), 0);
        HidePanel(g_firstPanel);
        DisplayPanel(g_mainPanel);
        menuBar = MainMenuBar();
    }

    InputStatus Choose(int entry) { return driver.ChooseMenuItem(menuBar, entry); }

    int menuBar = 0;
};

} // namespace

TEST_F(LanguageSwitch, GermanReachesPanelsPagesMenusAndTheFile)
{
    StartOnTheMainPanel();
    ASSERT_EQ(Choose(VANTREL_MENU_DEUTSCH_LAN), InputStatus::Accepted);

    EXPECT_EQ(g_language, kGerman);
    EXPECT_EQ(g_previousLanguage, kEnglish);
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 0), "Systemparameter");
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 3), "EXPERTE 2");
    EXPECT_EQ(driver.Label(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE), "Typenschl\xFCssel");
    EXPECT_EQ(driver.Label(GetTabPanel(0), TAB_SYS_VANTREL_RES), "Aufl\xF6sung");
    EXPECT_EQ(driver.Label(GetTabPanel(2), TAB_EXPERT_1VPP_OUT_EN), "1 Vss Ausgang");
    EXPECT_EQ(driver.Label(g_calibPanel, CALIB_PAN_START_CALIB), "Kalibrierung __STARTEN");
    EXPECT_EQ(driver.Label(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD), "Passwort");
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_FIRST_CAPTION), "Suche nach einem Vantrel Geber");
    char title[256] = {};
    GetPanelAttribute(g_aboutPanel, ATTR_TITLE, title);
    EXPECT_STREQ(title, "\xDC" "ber");
    GetPanelAttribute(g_mainPanel, ATTR_TITLE, title);
    EXPECT_STREQ(title, kProgramName);
    for (int bar : {menuBar, g_menuBar}) {
        EXPECT_EQ(driver.MenuLabel(bar, VANTREL_MENU_ABOUT), "__\xDC" "ber");
        EXPECT_TRUE(MenuChecked(bar, VANTREL_MENU_DEUTSCH_LAN));
        EXPECT_FALSE(MenuChecked(bar, VANTREL_MENU_ENGLISH_LAN));
    }
    EXPECT_NE(ReadSettings().find("Language = \"DE\""), std::string::npos);

    ASSERT_EQ(Choose(VANTREL_MENU_ENGLISH_LAN), InputStatus::Accepted);
    EXPECT_EQ(g_language, kEnglish);
    EXPECT_EQ(g_previousLanguage, kGerman);
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 0), "System Parameters");
    EXPECT_EQ(driver.Label(GetTabPanel(0), TAB_SYS_VANTREL_RES), "Resolution");
    EXPECT_EQ(driver.MenuLabel(menuBar, VANTREL_MENU_ABOUT), "__About");
    EXPECT_TRUE(MenuChecked(menuBar, VANTREL_MENU_ENGLISH_LAN));
    EXPECT_FALSE(MenuChecked(menuBar, VANTREL_MENU_DEUTSCH_LAN));
    EXPECT_NE(ReadSettings().find("Language = \"EN\""), std::string::npos);
    EXPECT_TRUE(driver.Popups().empty());
}

TEST_F(LanguageSwitch, NotificationSlotsFollowTheLanguage)
{
    StartOnTheMainPanel();
    SetLocalizedNotification(63, kSlotMainMessage);     // READY
    SetLocalizedNotification(75, kSlotCalibration);     // a calibration step with line breaks
    SetLocalizedNotification(47, kSlotWarning);
    SetLocalizedNotification(51, kSlotApplicationType); // the same in both languages
    SetLocalizedNotification(54, kSlotParameterState);  // MODIFIED
    SetLocalizedNotification(19, kSlotConnectionState);
    ASSERT_EQ(Choose(VANTREL_MENU_DEUTSCH_LAN), InputStatus::Accepted);

    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "BEREIT");
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Verbinden...");
    EXPECT_EQ(Text(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION),
              "\r\nKalkulation abgeschlossen.\r\n'Kalibrierung STARTEN' startet den Kalibrierungsprozess.");
    EXPECT_EQ(Text(g_warnPanel, WARN_PANEL_WARN_TXT),
              "Aktualisierungsvorgang gestartet, bitte Vantrel nicht entfernen.");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Linear");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "MODIFIZIERT");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Vantrel nicht verbunden");

    SetLocalizedNotification(53, kSlotParameterState); // ORIGINAL is the same in both
    ASSERT_EQ(Choose(VANTREL_MENU_ENGLISH_LAN), InputStatus::Accepted);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "ORIGINAL");
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Connecting...");
}

TEST_F(LanguageSwitch, ATextThatIsNoTableEntryIsLeftAsItIs)
{
    StartOnTheMainPanel();
    SetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, "");
    SetCtrlVal(g_mainPanel, MAIN_PANEL_PARAM_STATE, "READY "); // close to an entry, but not one
    SetCtrlVal(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT, "Rotary (%d poles)x");
    ASSERT_EQ(Choose(VANTREL_MENU_DEUTSCH_LAN), InputStatus::Accepted);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_PARAM_STATE), "READY ");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT), "Rotary (%d poles)x");
}

TEST_F(LanguageSwitch, TheApplicationTypeIsFormattedAgainInTheNewLanguage)
{
    StartOnTheMainPanel();
    calvista::SysRegField(calvista::SysField::NUM_OF_POLES_REG_H).value = 1;
    calvista::SysRegField(calvista::SysField::NUM_OF_POLES_REG_L).value = 44;
    SetVantrelApplicationType();
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Rotary (300 poles)");
    ASSERT_EQ(Choose(VANTREL_MENU_DEUTSCH_LAN), InputStatus::Accepted);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Rotativ (300 Polen)");

    calvista::SysRegField(calvista::SysField::NUM_OF_POLES_REG_H).value = 0;
    calvista::SysRegField(calvista::SysField::NUM_OF_POLES_REG_L).value = 0;
    ASSERT_EQ(Choose(VANTREL_MENU_ENGLISH_LAN), InputStatus::Accepted);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_VANTREL_APP_TYPE), "Linear");
}

TEST_F(LanguageSwitch, ChoosingTheActiveLanguageAppliesAndStoresItAgain)
{
    StartOnTheMainPanel();
    WriteSettings("[Configuration]\r\nLanguage = \"XX\"\r\n");
    SetLocalizedNotification(63, kSlotMainMessage);
    ASSERT_EQ(Choose(VANTREL_MENU_ENGLISH_LAN), InputStatus::Accepted);
    EXPECT_EQ(ReadSettings(), "[Configuration]\r\nLanguage = \"EN\"\r\n");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
    EXPECT_TRUE(MenuChecked(menuBar, VANTREL_MENU_ENGLISH_LAN));
}

TEST_F(LanguageSwitch, WithoutTheGermanFileTheToolSaysSoInEnglishAndStaysEnglish)
{
    RemoveLanguageFile("Deutsch.lwl");
    StartOnTheMainPanel();
    SetLocalizedNotification(63, kSlotMainMessage);
    driver.AnswerPopup(1);
    ASSERT_EQ(Choose(VANTREL_MENU_DEUTSCH_LAN), InputStatus::Accepted);

    ASSERT_EQ(driver.Popups().size(), 1u);
    EXPECT_EQ(driver.Popups()[0].title, "Error");
    EXPECT_EQ(driver.Popups()[0].message,
              "Localization file not found. Please reinstall software for full functionality.");
    EXPECT_EQ(g_language, kEnglish);
    EXPECT_TRUE(MenuChecked(menuBar, VANTREL_MENU_ENGLISH_LAN));
    EXPECT_FALSE(MenuChecked(menuBar, VANTREL_MENU_DEUTSCH_LAN));
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 0), "System Parameters");
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
    EXPECT_NE(ReadSettings().find("Language = \"EN\""), std::string::npos);
}

TEST_F(ToolTest, AMissingGermanFileAtStartShowsMessage46AndKeepsEnglishChecked)
{
    RemoveLanguageFile("Deutsch.lwl");
    WriteSettings("[Configuration]\r\nLanguage = \"DE\"\r\n");
    driver.AnswerPopup(1);
    ASSERT_EQ(Start(), 0);
    ASSERT_EQ(driver.Popups().size(), 1u);
    EXPECT_EQ(driver.Popups()[0].title, "Error");
    EXPECT_EQ(driver.Popups()[0].message,
              "Localization file not found. Please reinstall software for full functionality.");
    EXPECT_EQ(g_language, kEnglish);
    EXPECT_TRUE(MenuChecked(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN));
    EXPECT_FALSE(MenuChecked(MainMenuBar(), VANTREL_MENU_DEUTSCH_LAN));
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Connecting...");
    EXPECT_TRUE(driver.IsShown(g_firstPanel));
    // The choice in the file is the operator's; only the language menu writes it.
    EXPECT_EQ(ReadSettings(), "[Configuration]\r\nLanguage = \"DE\"\r\n");
}

TEST_F(ToolTest, AMissingEnglishFileIsReportedAndTheResourceTextsStay)
{
    RemoveLanguageFile("English.lwl");
    driver.AnswerPopup(1);
    ASSERT_EQ(Start(), 0);
    ASSERT_EQ(driver.Popups().size(), 1u);
    EXPECT_EQ(driver.Popups()[0].message,
              "Localization file not found. Please reinstall software for full functionality.");
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 0), "System Parameters");
    EXPECT_TRUE(MenuChecked(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN));
}

TEST_F(ToolTest, SlotsOutsideTheTableChangeNothing)
{
    ASSERT_EQ(Start(), 0);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, "kept");
    SetLocalizedNotification(63, 7);
    SetLocalizedNotification(63, -1);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "kept");
    SetLocalizedNotification(92, kSlotMainMessage);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "");
    SetActiveLanguage(2);
    EXPECT_TRUE(MenuChecked(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN));
}
