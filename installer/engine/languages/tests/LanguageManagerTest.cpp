#include "languages/LanguageManager.h"

#include <gtest/gtest.h>

#include <string>

#include "support/ConditionTestSupport.h"

namespace {

using testing_support::TraceCapture;

// A machine whose user, system and UI languages are all Japanese, which no
// suite below lists, so only the command line and the installed language count.
LANGID WINAPI Japanese()
{
    return 1041;
}
LANGID JapaneseUi()
{
    return 1041;
}
SystemLanguageSources JapaneseMachine()
{
    return {Japanese, Japanese, JapaneseUi};
}

struct Suite {
    explicit Suite(const wchar_t* languages, const wchar_t* exact = L"", SystemLanguageSources sources = JapaneseMachine())
        : manager(sources)
    {
        manager.SetAttribute(L"Languages", languages);
        if (*exact)
            manager.SetAttribute(L"RequireExactMatch", exact);
    }
    CLanguageManager manager;
};

TEST(LanguageManager, ListsSkipEmptyPiecesAndKeepLowBits)
{
    EXPECT_EQ(ParseLanguageList(L"1033,,1031,"), (LanguageList{1033, 1031}));
    // wcstoul: blanks before the digits, the digits before other text, low 16 bits.
    EXPECT_EQ(ParseLanguageList(L" 1036x,66569"), (LanguageList{1036, 1033}));
    EXPECT_EQ(FormatLanguageList({1033, 1031}), _stringx(L"1033,1031"));

    CLanguageManager manager;
    manager.SetAttribute(L"languages", L"1033,,1031,");
    manager.SetAttribute(L"rtllangs", L"1037");
    manager.SetAttribute(L"Default", L"1031abc");
    manager.SetAttribute(L"ShowLanguageSelection", L"YES");
    manager.SetAttribute(L"Other", L"kept");
    EXPECT_EQ(manager.GetAttribute(L"REVizizLanguages"), _stringx(L"1033,1031"));
    EXPECT_EQ(manager.GetAttribute(L"krrtllangs"), _stringx(L"1037"));
    EXPECT_EQ(manager.GetAttribute(L"KRDefaultLanguage"), _stringx(L"1031"));
    EXPECT_EQ(manager.GetAttribute(L"KRSelectedLanguage"), _stringx(L"1033"));
    EXPECT_EQ(manager.GetAttribute(L"KRShowLanguageSelection"), _stringx(L"true"));
    EXPECT_EQ(manager.GetAttribute(L"Other"), _stringx(L"kept"));
}

TEST(LanguageManager, Matching)
{
    struct Case {
        const wchar_t* languages;
        const wchar_t* exact;
        LANGID wanted;
        bool matches;
        LANGID chosen;
    };
    const Case cases[] = {
        {L"1033,1031", L"", 2055, true, 1031},   // German (Switzerland) -> German by its default sub-language
        {L"1033,1031", L"1031", 2055, false, 2055},
        {L"1031", L"", 3079, true, 1031},        // 3079 & 0x3FF | 0x400
        {L"1033,2055", L"", 3079, true, 2055},   // first of the same primary language
        {L"1033,2055", L"2055", 3079, false, 3079},
        {L"1031", L"1031", 1031, true, 1031},    // asked exactly
        {L"1033,1031", L"", 0, false, 0},        // no command-line language
        {L"1024,1033", L"", 0, true, 1024},      // only a primary-0 language matches 0
    };
    for (const Case& c : cases) {
        Suite suite(c.languages, c.exact);
        LANGID wanted = c.wanted;
        EXPECT_EQ(suite.manager.MatchLanguage(wanted), c.matches) << c.languages << " wanted " << c.wanted;
        EXPECT_EQ(wanted, c.chosen) << c.languages << " wanted " << c.wanted;
    }
}

TEST(LanguageManager, ChoiceOrderAndItsLogLines)
{
    struct Case {
        const wchar_t* languages;
        const wchar_t* exact;
        LANGID commandLine;
        LANGID installed;
        LANGID selected;
        const wchar_t* line;
    };
    const Case cases[] = {
        {L"1033,1031", L"", 2055, 1033, 1031, L"Using command line language 1031"},
        {L"1033,1031", L"1031", 2055, 1033, 1033, L"Using installed language 1033"},
        {L"1033,1031", L"", 0, 0, 1033, L"Using default language 1033"},
        {L"1041,1031", L"", 0, 0, 1041, L"Using user default language 1041"},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        Suite suite(c.languages, c.exact);
        suite.manager.SetAttribute(L"ShowLanguageSelection", L"yes");
        suite.manager.SetCommandLineLanguage(c.commandLine);
        suite.manager.ChooseLanguage(c.installed);
        EXPECT_EQ(suite.manager.SelectedLanguage(), c.selected) << c.line;
        EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
        // Only a command-line choice hides the selection.
        EXPECT_EQ(suite.manager.ShowLanguageSelection(), c.commandLine == 0 || c.exact[0] != 0) << c.line;
    }
}

TEST(LanguageManager, LaterSystemSources)
{
    struct Sources {
        static LANGID WINAPI French() { return 1036; }
        static LANGID WINAPI Spanish() { return 3082; }
        static LANGID Italian() { return 1040; }
    };
    {
        TraceCapture trace;
        Suite suite(L"1033,3082", L"", {Sources::French, Sources::Spanish, Sources::Italian});
        suite.manager.ChooseLanguage(0);
        EXPECT_EQ(suite.manager.SelectedLanguage(), 3082);
        EXPECT_NE(trace.Messages().find(L"Using system default language 3082"), std::wstring::npos);
    }
    {
        TraceCapture trace;
        Suite suite(L"1033,1040", L"", {Sources::French, Sources::Spanish, Sources::Italian});
        suite.manager.ChooseLanguage(0);
        EXPECT_EQ(suite.manager.SelectedLanguage(), 1040);
        EXPECT_NE(trace.Messages().find(L"Using system default UI language 1040"), std::wstring::npos);
    }
}

TEST(LanguageManager, ResolvesThroughTheSelectedThenTheDefaultTable)
{
    Suite suite(L"1033,1031");
    suite.manager.GetStringTable(1033).SetAttribute(L"IDS_TITLE", L"Setup");
    suite.manager.GetStringTable(1031).SetAttribute(L"IDS_TITLE", L"Installation");
    suite.manager.GetStringTable(1031).SetAttribute(L"IDS_EMPTY", L"");
    {
        // Nothing selected yet: the default language's table.
        TraceCapture trace;
        EXPECT_EQ(suite.manager.ResolveString(L"IDS_TITLE"), _stringx(L"Setup"));
        EXPECT_NE(trace.Messages().find(L"No string table currently set, attempting to use temp default of 0x0409"),
                  std::wstring::npos);
    }
    suite.manager.SetAttribute(L"KRSelectedLanguage", L"1031");
    EXPECT_EQ(suite.manager.ResolveString(L"IDS_TITLE"), _stringx(L"Installation"));
    EXPECT_EQ(suite.manager.ResolveString(L"IDS_ABSENT"), _stringx(L"IDS_ABSENT"));
    EXPECT_EQ(suite.manager.ResolveString(L"IDS_EMPTY"), _stringx(L"IDS_EMPTY"));

    TraceCapture trace;
    suite.manager.SetAttribute(L"KRSelectedLanguage", L"1036");
    EXPECT_NE(trace.Messages().find(L"WARNING: no string table found for language 1036"), std::wstring::npos);
    EXPECT_EQ(suite.manager.ResolveString(L"IDS_TITLE"), _stringx(L"Setup"));
}

} // namespace
