#include "MessageTexts.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace calvista;

namespace {

// The tables hold Windows-1252 text; this file is UTF-8.
std::string Utf8FromCp1252(const char *text)
{
    const int wideLength = MultiByteToWideChar(1252, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(1252, 0, text, -1, wide.data(), wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), length, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}

} // namespace

TEST(MessageTextsTest, TablesAreParallel)
{
    ASSERT_EQ(MessageTable(Language::English).size(), 92u);
    ASSERT_EQ(MessageTable(Language::German).size(), 92u);

    for (int i = 0; i < kMessageCount; ++i) {
        const std::string en = MessageText(Language::English, i);
        const std::string de = MessageText(Language::German, i);
        if (i == 20 || i == 23) {
            EXPECT_TRUE(en.empty() && de.empty()) << i;
            continue;
        }
        EXPECT_FALSE(en.empty()) << i;
        EXPECT_FALSE(de.empty()) << i;
        EXPECT_EQ(en.rfind("\r\n", 0) == 0, i >= 73) << "step texts begin with a line break: " << i;
        EXPECT_EQ(de.rfind("\r\n", 0) == 0, i >= 73) << i;
        EXPECT_EQ(en == de, i == 3 || i == 51 || i == 53) << i;
    }
    EXPECT_STREQ(MessageText(Language::English, 74), MessageText(Language::English, 86));
    EXPECT_STRNE(MessageText(Language::German, 74), MessageText(Language::German, 86));
}

TEST(MessageTextsTest, TextsAsTheToolShowsThem)
{
    struct Case { Language language; int index; const char *utf8; };
    const Case cases[] = {
        {Language::English, 0, "Error"},
        {Language::German, 5, "Beenden"},
        {Language::English, 46, "Localization file not found. Please reinstall software for full functionality."},
        {Language::German, 13, "Fehler beim Öffnen der Datei. Bitte stellen Sie sicher, dass die Datei weder in "
                               "einem anderen Programm geöffnet, noch schreibgeschützt ist."},
        {Language::German, 41, "Möchten Sie das Programm wirklich beenden?"},
        {Language::German, 55, "BITTE WARTEN, ÜBERTRAGUNG LÄUFT..."},
        {Language::English, 52, "Rotary (%d poles)"},
        {Language::German, 52, "Rotativ (%d Polen)"},
        {Language::English, 75, "\r\nCalculation done.\r\n'START calibration' will start\r\ncalibration process."},
        {Language::German, 82, "\r\nRückwärts drehen mit konstanter und\r\nkleiner Drehzahl."},
        {Language::German, 91, "\r\nFEHLER."},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Utf8FromCp1252(MessageText(c.language, c.index)), c.utf8) << c.index;

    char formatted[50];
    snprintf(formatted, sizeof formatted, MessageText(Language::German, 52), 300);
    EXPECT_STREQ(formatted, "Rotativ (300 Polen)");
}

TEST(MessageTextsTest, IndicesOutsideTheTablesGiveAnEmptyText)
{
    EXPECT_STREQ(MessageText(Language::English, -1), "");
    EXPECT_STREQ(MessageText(Language::English, 92), "");
    EXPECT_STREQ(MessageText(static_cast<Language>(2), 0), "");
    EXPECT_TRUE(MessageTable(static_cast<Language>(-1)).empty());
}

TEST(MessageTextsTest, NotificationTextIsFoundInThePreviousLanguage)
{
    struct Case { Language from; const char *text; std::optional<int> index; };
    const Case cases[] = {
        {Language::English, "MODIFIED", 54},
        {Language::English, "ORIGINAL", 53},
        {Language::German, "MODIFIZIERT", 54},
        {Language::German, "ORIGINAL", 53},
        {Language::English, "OK", 3},
        {Language::English, "\r\nPlease wait, calculating parameters...", 74},  // the first of two equal texts
        {Language::German, "Verbinden...", 67},
        {Language::English, "Verbinden...", std::nullopt},  // a text of the other language
        {Language::English, "Rotary (64 poles)", std::nullopt},  // a formatted text is no entry
        {Language::English, "READY ", std::nullopt},
        {Language::English, "", std::nullopt},
        {static_cast<Language>(3), "Error", std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FindMessageIndex(c.from, c.text), c.index) << c.text;

    EXPECT_STREQ(MessageText(Language::German, *FindMessageIndex(Language::English, "MODIFIED")), "MODIFIZIERT");
}
