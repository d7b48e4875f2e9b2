#include "conditions/LocaleCondition.h"

#include <gtest/gtest.h>

#include <string>

#include "conditions/ConditionKind.h"
#include "conditions/LocaleFunctions.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::TraceCapture;

// The machine the snapshot is taken of.
struct Snapshot {
    LCID user = 0x409;
    LCID system = 0x409;
    LANGID systemUi = 0x409;
    UINT codePage = 1252;
    const wchar_t* userName = L"en-US";
    const wchar_t* systemName = L"en-US";
};
Snapshot g_machine;

LCID WINAPI UserLcid() { return g_machine.user; }
LCID WINAPI SystemLcid() { return g_machine.system; }
LANGID WINAPI SystemUi() { return g_machine.systemUi; }
UINT WINAPI CodePage() { return g_machine.codePage; }
int CopyName(const wchar_t* name, LPWSTR out, int size)
{
    wcsncpy(out, name, size);
    return static_cast<int>(wcslen(name)) + 1;
}
int WINAPI UserName(LPWSTR out, int size) { return CopyName(g_machine.userName, out, size); }
int WINAPI SystemName(LPWSTR out, int size) { return CopyName(g_machine.systemName, out, size); }

// Puts the snapshot table in place for its lifetime.
class InjectedLocale {
public:
    explicit InjectedLocale(const Snapshot& machine, bool withNames = true)
    {
        g_machine = machine;
        m_table.userDefaultLcid = UserLcid;
        m_table.systemDefaultLcid = SystemLcid;
        m_table.systemDefaultUiLanguage = SystemUi;
        m_table.ansiCodePage = CodePage;
        if (withNames) {
            m_table.userDefaultLocaleName = UserName;
            m_table.systemDefaultLocaleName = SystemName;
        }
        m_previous = SetLocaleFunctions(&m_table);
    }
    ~InjectedLocale() { SetLocaleFunctions(m_previous); }

private:
    LocaleFunctions m_table;
    const LocaleFunctions* m_previous = nullptr;
};

struct Attributes {
    const wchar_t* ui = nullptr;
    const wchar_t* os = nullptr;
    const wchar_t* codePage = nullptr;
};

std::unique_ptr<CCondition> Locale(const Attributes& attributes)
{
    std::unique_ptr<CCondition> condition = MakeCondition(ckLocale);
    if (attributes.ui)
        condition->Attributes().SetAttribute(L"UI", attributes.ui);
    if (attributes.os)
        condition->Attributes().SetAttribute(L"OS", attributes.os);
    if (attributes.codePage)
        condition->Attributes().SetAttribute(L"CodePage", attributes.codePage);
    return condition;
}

std::wstring Describe(const Attributes& a)
{
    return std::wstring(L"UI=") + (a.ui ? a.ui : L"-") + L" OS=" + (a.os ? a.os : L"-") + L" CP=" +
           (a.codePage ? a.codePage : L"-");
}

TEST(LocaleCondition, MatchesTheSnapshot)
{
    struct Case {
        Attributes attributes;
        Snapshot machine;
        bool result;
    };
    Snapshot german;
    german.user = german.system = german.systemUi = 0x407;
    german.userName = german.systemName = L"de-DE";
    Snapshot swissGerman = german;
    swissGerman.user = 0x807;
    Snapshot britain;
    britain.user = britain.system = 0x809;
    britain.userName = britain.systemName = L"en-GB";
    Snapshot britishUserOnly = german;
    britishUserOnly.userName = L"en-GB";

    const Case cases[] = {
        {{L"1033"}, {}, true},
        {{L"1033"}, britain, false},           // mask 0xFFFF
        {{L"~1033"}, britain, true},           // mask 0xFF
        {{L"9"}, britain, true},               // below 256: mask 0xFF
        {{L"=9"}, {}, false},                  // exact
        {{L"0x409"}, {}, true},
        {{L"1031"}, swissGerman, true},        // the system LCID matches
        {{L"en"}, {}, true},
        {{L"en"}, britain, true},
        {{L"EN-us"}, {}, true},                // names compare without case
        {{L"=en-US"}, {}, true},
        {{L"=en-US"}, britain, false},
        {{L"=en-*"}, britain, true},           // a star makes it a prefix
        {{L"en"}, britishUserOnly, true},      // the user's name is enough
        {{L"fr, de"}, german, true},
        {{nullptr, L"1031"}, german, true},    // OS compares the system UI language
        {{nullptr, L"1031"}, swissGerman, true},
        {{nullptr, L"de"}, german, false},     // names never match in OS
        {{nullptr, nullptr, L"1252, 0x4E4"}, {}, true},
        {{nullptr, nullptr, L"1250"}, {}, false},
        {{L"1033", L"1033", L"1250"}, {}, false},
        {{L"1033,"}, britain, false},          // an empty item is no entry
        {{L"1033, ,~"}, britain, false},
        {{L"", nullptr, L"1252"}, britain, true},
    };
    for (const Case& c : cases) {
        InjectedLocale locale(c.machine);
        auto condition = Locale(c.attributes);
        ASSERT_EQ(condition->Validate(), S_OK) << Describe(c.attributes);
        bool result = !c.result;
        EXPECT_EQ(condition->Evaluate(&result), S_OK);
        EXPECT_EQ(result, c.result) << Describe(c.attributes);
    }
}

TEST(LocaleCondition, SnapshotIsTakenAtConstruction)
{
    InjectedLocale locale({});
    auto condition = Locale({L"1033"});
    ASSERT_EQ(condition->Validate(), S_OK);
    g_machine.user = g_machine.system = 0x407;
    bool result = false;
    EXPECT_EQ(condition->Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

TEST(LocaleCondition, InvalidLists)
{
    InjectedLocale locale({});
    struct Case {
        Attributes attributes;
        const wchar_t* line;
    };
    const Case cases[] = {
        {{L"es-419"}, L"Locale: invalid UI language value 'es-419'"},
        {{nullptr, L"1033, de_DE"}, L"Locale: invalid OS language value 'de_DE'"},
        {{nullptr, nullptr, L"1252, cp850"}, L"Locale: invalid CodePage value 'cp850'"},
        {{L"", L"", L""}, nullptr},
        {{}, nullptr},
        {{L" , ", L"~"}, nullptr},
    };
    for (const Case& c : cases) {
        TraceCapture trace;
        auto condition = Locale(c.attributes);
        EXPECT_EQ(condition->Validate(), E_INVALIDARG) << Describe(c.attributes);
        if (c.line)
            EXPECT_NE(trace.Messages().find(c.line), std::wstring::npos) << trace.Messages();
    }
}

TEST(LocaleCondition, NamesAreIgnoredWhereTheSystemCannotVerifyThem)
{
    InjectedLocale locale({}, false);
    TraceCapture trace;
    auto condition = Locale({L"en, =de-DE", L"fr"});
    EXPECT_EQ(condition->Validate(), E_INVALIDARG);
    const std::wstring messages = trace.Messages();
    EXPECT_NE(messages.find(L"Locale: ignoring presumed UI locale name 'en'; cannot verify on this system"),
              std::wstring::npos);
    EXPECT_NE(messages.find(L"Locale: ignoring presumed UI locale name 'de-DE'"), std::wstring::npos);
    EXPECT_NE(messages.find(L"Locale: ignoring presumed OS locale name 'fr'"), std::wstring::npos);

    // Numbers still count.
    auto numeric = Locale({L"en, 1033"});
    EXPECT_EQ(numeric->Validate(), S_OK);
}

TEST(LocaleCondition, SystemTableAnswers)
{
    // Wine's locale: the real functions give a snapshot that the same
    // functions' answers match.
    const LocaleFunctions& system = SystemLocaleFunctions();
    ASSERT_NE(system.systemDefaultLocaleName, nullptr);
    _stringx code;
    code.format(L"=%u", static_cast<unsigned>(GetUserDefaultLCID()));
    auto condition = Locale({code.c_str()});
    ASSERT_EQ(condition->Validate(), S_OK);
    bool result = false;
    EXPECT_EQ(condition->Evaluate(&result), S_OK);
    EXPECT_TRUE(result);
}

} // namespace
