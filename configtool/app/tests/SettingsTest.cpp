// The settings file: created on the first start, its language read, an unknown code mended.
#include <filesystem>

#include "Languages.h"
#include "Panels.h"
#include "SettingsFile.h"
#include "Startup.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr char kCreated[] = "[Information]\r\n"
                            "Software name = \"Vantrel Configuration Tool V1.06.000\"\r\n"
                            "Additional information = \"https://www.venkor.example\"\r\n"
                            "\r\n"
                            "[Configuration]\r\n"
                            "Language = \"EN\"\r\n";

} // namespace

TEST_F(ToolTest, FirstStartCreatesTheFolderAndTheFile)
{
    ASSERT_FALSE(std::filesystem::exists(SettingsPath().parent_path()));
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(ReadSettings(), kCreated);
    EXPECT_EQ(SettingsFilePath(), SettingsPath().string());
    EXPECT_EQ(g_language, kEnglish);
    EXPECT_TRUE(MenuChecked(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN));
    EXPECT_FALSE(MenuChecked(MainMenuBar(), VANTREL_MENU_DEUTSCH_LAN));
    EXPECT_TRUE(driver.Popups().empty());
}

TEST_F(ToolTest, TheSettingsFolderIsMadeWithItsParentsAsItIsNamed)
{
    // A name a command line would expand is only a name to the file system.
    _putenv_s("CALVISTA_EXPANDED", "expanded");
    const std::filesystem::path appData = scratch / "Roaming %CALVISTA_EXPANDED% & more" / "deeper";
    _putenv_s("APPDATA", appData.string().c_str());
    EXPECT_EQ(CheckSettingsFile(), 1);
    const std::filesystem::path folder = appData / "Venkor" / "Vantrel Configuration Tool";
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(scratch / "Roaming expanded & more"));
    ASSERT_EQ(Start(), 0);
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "Calvista.ini"));
    EXPECT_EQ(CheckSettingsFile(), 0);
}

TEST_F(ToolTest, TheLanguageCodeOfTheFileDecidesTheLanguage)
{
    struct Case {
        const char *file;
        int language;
        const char *rewrittenAs; // null: the file stays byte for byte
    };
    const Case cases[] = {
        {"[Configuration]\r\nLanguage = \"DE\"\r\n", kGerman, nullptr},
        {"[Configuration]\r\nLanguage = \"EN\"\r\n", kEnglish, nullptr},
        {"[Configuration]\r\nLanguage = \"de\"\r\n", kEnglish, "[Configuration]\r\nLanguage = \"EN\"\r\n"},
        {"[Configuration]\r\nLanguage = \"FR\"\r\n", kEnglish, "[Configuration]\r\nLanguage = \"EN\"\r\n"},
        // Two characters are read, so a longer code counts by its first two.
        {"[Configuration]\r\nLanguage = \"DEU\"\r\n", kGerman, nullptr},
        {"[Information]\r\nSoftware name = \"old\"\r\n", kEnglish,
         "[Information]\r\nSoftware name = \"old\"\r\n\r\n[Configuration]\r\nLanguage = \"EN\"\r\n"},
    };
    for (const Case &entry : cases) {
        WriteSettings(entry.file);
        ASSERT_EQ(Start(), 0);
        EXPECT_EQ(g_language, entry.language) << entry.file;
        EXPECT_EQ(ReadSettings(), entry.rewrittenAs ? entry.rewrittenAs : entry.file) << entry.file;
        EXPECT_EQ(MenuChecked(MainMenuBar(), VANTREL_MENU_DEUTSCH_LAN), entry.language == kGerman) << entry.file;
        EXPECT_EQ(MenuChecked(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN), entry.language == kEnglish) << entry.file;
        CleanUpKelto();
    }
}

TEST_F(ToolTest, GermanInTheFileStartsInGerman)
{
    WriteSettings("[Configuration]\r\nLanguage = \"DE\"\r\n");
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT), "Verbinden...");
    EXPECT_EQ(Text(g_firstPanel, FIRSTPANEL_FIRST_CAPTION), "Suche nach einem Vantrel Geber");
    EXPECT_EQ(driver.PageLabel(g_mainPanel, MAIN_PANEL_TABS, 0), "Systemparameter");
    EXPECT_EQ(driver.MenuLabel(MainMenuBar(), VANTREL_MENU_FILE), "__Datei");
}

TEST_F(ToolTest, ASettingsFileThatIsAFolderIsRecreatedEveryTimeAndNeverWritten)
{
    std::filesystem::create_directories(SettingsPath());
    EXPECT_EQ(CheckSettingsFile(), 1);
    ASSERT_EQ(Start(), 0);
    EXPECT_EQ(g_language, kEnglish);
    EXPECT_TRUE(std::filesystem::is_directory(SettingsPath()));
    EXPECT_EQ(CheckSettingsFile(), 1);
}

TEST_F(ToolTest, AnExistingFileKeepsItsOtherEntriesWhenTheLanguageIsStored)
{
    WriteSettings("[Configuration]\r\nLanguage = \"EN\"\r\nWindow = \"12\"\r\n");
    ASSERT_EQ(Start(), 0);
    g_language = kGerman;
    StoreLanguageSettingsToFile();
    EXPECT_EQ(ReadSettings(), "[Configuration]\r\nLanguage = \"DE\"\r\nWindow = \"12\"\r\n");
}
