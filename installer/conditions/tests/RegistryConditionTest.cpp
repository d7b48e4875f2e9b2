#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "conditions/ConditionKind.h"
#include "conditions/RegistryProvider.h"
#include "kr/holders.h"
#include "support/ConditionKindTestSupport.h"
#include "support/ConditionTestSupport.h"

namespace {

using testing_support::EvaluateOnce;
using testing_support::FakeEngine;
using testing_support::MakeKind;
using testing_support::TraceCapture;

constexpr wchar_t kTestKey[] = L"Software\\FerroConditionTest";

// A key of the test under HKCU, removed at the end.
class RegistryConditions : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }

    static void Write(const wchar_t* subKey, const wchar_t* name, DWORD type, const void* data, DWORD size,
                      HKEY root = HKEY_CURRENT_USER, REGSAM view = 0)
    {
        HKEY key = nullptr;
        const std::wstring path = std::wstring(kTestKey) + (subKey[0] ? L"\\" : L"") + subKey;
        ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        kr::registry_key_holder holder(key);
        ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    static void WriteText(const wchar_t* subKey, const wchar_t* name, const std::wstring& text)
    {
        Write(subKey, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    FakeEngine engine;
};

TEST(RegistryRoots, OnlyShortNames)
{
    struct Case {
        const wchar_t* path;
        HKEY root;
        const wchar_t* subKey;
    };
    const Case cases[] = {
        {L"HKLM\\Software\\X", HKEY_LOCAL_MACHINE, L"Software\\X"},
        {L"hkcu\\Software", HKEY_CURRENT_USER, L"Software"},
        {L"HKCR", HKEY_CLASSES_ROOT, L""},
        {L"HKU\\.DEFAULT", HKEY_USERS, L".DEFAULT"},
        {L"HKEY_LOCAL_MACHINE\\Software", kInvalidRegistryRoot, L"Software"},
        {L"HKXX\\Software", kInvalidRegistryRoot, L"Software"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseRegistryRoot(c.path), c.root) << c.path;
        EXPECT_STREQ(ParseRegistrySubKey(c.path).c_str(), c.subKey) << c.path;
    }
}

TEST(RegistryData, TextAndNumbersStayInsideTheirData)
{
    // "abc" with an odd size: the half character at the end is not read.
    const wchar_t text[] = {L'a', L'b', L'c'};
    kr::variant_holder value;
    ASSERT_EQ(RegDataToVariant(REG_SZ, reinterpret_cast<const BYTE*>(text), 5, value.get()), S_OK);
    ASSERT_EQ(value.get()->vt, VT_BSTR);
    EXPECT_STREQ(value.get()->bstrVal, L"ab");

    // A multi-string gives its first string.
    const wchar_t multi[] = L"a\0b\0";
    ASSERT_EQ(RegDataToVariant(REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof(multi), value.get()), S_OK);
    EXPECT_STREQ(value.get()->bstrVal, L"a");

    TraceCapture trace;
    const BYTE shortData[2] = {1, 2};
    for (const DWORD type : {static_cast<DWORD>(REG_DWORD), static_cast<DWORD>(REG_QWORD)}) {
        ASSERT_EQ(RegDataToVariant(type, shortData, sizeof(shortData), value.get()), S_OK);
        EXPECT_EQ(value.get()->vt, VT_EMPTY) << type;
    }
    EXPECT_NE(trace.Messages().find(L"Convert reg data: unsupported reg value type (4)"), std::wstring::npos);
}

TEST_F(RegistryConditions, ProviderReadsPaddedDataAndConvertsAsString)
{
    const wchar_t unterminated[] = {L'x', L'y', L'z'};
    Write(L"", L"Raw", REG_SZ, unterminated, sizeof(unterminated));
    const DWORD all = 4294967295u;
    Write(L"", L"Number", REG_DWORD, &all, sizeof(all));

    CRegistryProvider raw(HKEY_CURRENT_USER, kTestKey, false, L"Raw");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(raw.GetData(&type, &data), S_OK);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Wine stores a NUL of its own after the text; Windows keeps the value as written.
    ASSERT_GE(data.size(), sizeof(unterminated) + 2);
    EXPECT_EQ(data[data.size() - 2], 0);
    EXPECT_EQ(data[data.size() - 1], 0);
    kr::variant_holder text;
    ASSERT_EQ(raw.ConvertData(type, data.data(), static_cast<DWORD>(data.size()), text.get()), S_OK);
    EXPECT_STREQ(text.get()->bstrVal, L"xyz");

    CRegistryProvider number(HKEY_CURRENT_USER, kTestKey, false, L"Number");
    ASSERT_EQ(number.GetData(&type, &data), S_OK);
    kr::variant_holder digits;
    ASSERT_EQ(number.ConvertData(type, data.data(), static_cast<DWORD>(data.size()), digits.get()), S_OK);
    ASSERT_EQ(digits.get()->vt, VT_BSTR);
    EXPECT_STREQ(digits.get()->bstrVal, L"4294967295");

    // Absent only when the value is not there; a key that does not open is never there.
    EXPECT_TRUE(number.Exists());
    EXPECT_FALSE(CRegistryProvider(HKEY_CURRENT_USER, kTestKey, false, L"Missing").Exists());
    EXPECT_TRUE(CRegistryProvider(HKEY_CURRENT_USER, kTestKey, false, L"").Exists());
    EXPECT_FALSE(CRegistryProvider(HKEY_CURRENT_USER, L"Software\\FerroConditionTest\\None", false, L"").Exists());
}

TEST_F(RegistryConditions, ExistsRootsAndInvalidRoots)
{
    WriteText(L"", L"Present", L"1");
    struct Case {
        const wchar_t* key;
        const wchar_t* valueName;
        HRESULT hr;
        bool result;
    };
    const Case cases[] = {
        {L"HKCU\\Software\\FerroConditionTest", L"", S_OK, true},
        {L"HKCU\\Software\\FerroConditionTest", L"Present", S_OK, true},
        {L"HKCU\\Software\\FerroConditionTest", L"Absent", S_OK, false},
        {L"HKCU\\Software\\FerroConditionTest\\Nothing", L"", S_OK, false},
        {L"HKLM", L"", S_OK, true},
        {L"HKXX\\Software", L"", E_INVALIDARG, false},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(ckRegistryExists, {{L"Key", c.key}, {L"ValueName", c.valueName}});
        ASSERT_EQ(condition->Validate(), S_OK);
        // Every evaluation gives the same answer, the invalid root included.
        for (int round = 0; round < 2; ++round) {
            const auto evaluation = EvaluateOnce(*condition);
            EXPECT_EQ(evaluation.hr, c.hr) << c.key << " " << c.valueName;
            EXPECT_EQ(evaluation.result, c.result) << c.key << " " << c.valueName;
        }
    }
    TraceCapture trace;
    EXPECT_EQ(MakeKind(ckRegistryExists, {})->Validate(), E_INVALIDARG);
    EXPECT_NE(trace.Messages().find(L"Invalid registry exists condition: no key specified"), std::wstring::npos);
}

TEST_F(RegistryConditions, KeyAndValueNameFollowTheirProperties)
{
    WriteText(L"A", L"Which", L"first");
    WriteText(L"B", L"Which", L"second");
    auto condition = MakeKind(ckRegistryValue, {{L"Key", L"HKCU\\Software\\FerroConditionTest\\[Branch]"},
                                                {L"ValueName", L"[Name]"},
                                                {L"Compare", L"Equal"},
                                                {L"CompareTo", L"[Expected]"}});
    ASSERT_EQ(condition->Validate(), S_OK);
    engine.store.SetAttribute(L"Name", L"Which");
    engine.store.SetAttribute(L"Branch", L"A");
    engine.store.SetAttribute(L"Expected", L"first");
    EXPECT_TRUE(EvaluateOnce(*condition).result);
    engine.store.SetAttribute(L"Branch", L"B");
    EXPECT_FALSE(EvaluateOnce(*condition).result);
    engine.store.SetAttribute(L"Expected", L"second");
    EXPECT_TRUE(EvaluateOnce(*condition).result);
    // A root that a property makes invalid later fails then.
    engine.store.SetAttribute(L"Branch", L"B");
    auto rooted = MakeKind(ckRegistryExists, {{L"Key", L"[Root]\\Software"}});
    ASSERT_EQ(rooted->Validate(), S_OK);
    engine.store.SetAttribute(L"Root", L"HKCU");
    EXPECT_EQ(EvaluateOnce(*rooted).hr, S_OK);
    engine.store.SetAttribute(L"Root", L"HKXX");
    EXPECT_EQ(EvaluateOnce(*rooted).hr, E_INVALIDARG);
}

TEST_F(RegistryConditions, ValueConversionsAndComparisons)
{
    const DWORD all = 4294967295u;
    Write(L"", L"Dword", REG_DWORD, &all, sizeof(all));
    const ULONGLONG big = 0x100000000ull;
    Write(L"", L"Qword", REG_QWORD, &big, sizeof(big));
    WriteText(L"", L"", L"default text");
    WriteText(L"", L"Version", L"1.2.3.4");
    const wchar_t multi[] = L"one\0two\0";
    Write(L"", L"Multi", REG_MULTI_SZ, multi, sizeof(multi));
    const wchar_t odd[] = {L'o', L'k', L'!'};
    Write(L"", L"Odd", REG_SZ, odd, 5);
    const wchar_t unterminated[] = {L'e', L'n', L'd'};
    Write(L"", L"Unterminated", REG_SZ, unterminated, sizeof(unterminated));

    struct Case {
        const wchar_t* valueName;
        const wchar_t* convert;
        const wchar_t* compare;
        const wchar_t* compareTo;
        bool result;
    };
    const Case cases[] = {
        {L"Dword", L"DWORD", L"Equal", L"-1", true},
        {L"Dword", L"DWORD", L"GreaterThan", L"0", false},
        {L"Dword", L"String", L"Equal", L"4294967295", true},
        {L"Qword", L"QWORD", L"Equal", L"4294967296", true},
        {L"", L"String", L"Equal", L"DEFAULT TEXT", true},
        {L"Version", L"Version", L"GreaterThan", L"1.2.3.3", true},
        {L"Multi", L"String", L"Equal", L"one", true},
        // Under MultiString the whole list arrives.
        {L"Multi", L"MultiString", L"AnyContains", L"two", true},
        {L"Odd", L"String", L"Equal", L"ok", true},
        {L"Unterminated", L"String", L"Equal", L"end", true},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(ckRegistryValue, {{L"Key", L"HKCU\\Software\\FerroConditionTest"},
                                                    {L"ValueName", c.valueName},
                                                    {L"Convert", c.convert},
                                                    {L"Compare", c.compare},
                                                    {L"CompareTo", c.compareTo}});
        ASSERT_EQ(condition->Validate(), S_OK) << c.valueName;
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, S_OK) << c.valueName << " " << c.convert;
        EXPECT_EQ(evaluation.result, c.result) << c.valueName << " " << c.convert << " " << c.compare;
    }
}

TEST_F(RegistryConditions, ValueFailuresAndValidationOrder)
{
    Write(L"", L"Empty", REG_DWORD, nullptr, 0);
    const BYTE blob[] = {1, 2, 3, 4};
    Write(L"", L"Binary", REG_BINARY, blob, sizeof(blob));
    WriteText(L"", L"Text", L"xyz");

    TraceCapture trace;
    struct Case {
        const wchar_t* valueName;
        const wchar_t* convert;
        HRESULT hr;
    };
    const Case cases[] = {
        // A number with no data is not read past its buffer.
        {L"Empty", L"DWORD", E_NOTIMPL},
        {L"Binary", L"String", E_NOTIMPL},
        {L"Text", L"DWORD", DISP_E_TYPEMISMATCH},
        {L"Absent", L"String", S_OK},
    };
    for (const Case& c : cases) {
        auto condition = MakeKind(ckRegistryValue, {{L"Key", L"HKCU\\Software\\FerroConditionTest"},
                                                    {L"ValueName", c.valueName},
                                                    {L"Convert", c.convert},
                                                    {L"Compare", L"Equal"},
                                                    {L"CompareTo", L"1"}});
        ASSERT_EQ(condition->Validate(), S_OK);
        const auto evaluation = EvaluateOnce(*condition);
        EXPECT_EQ(evaluation.hr, c.hr) << c.valueName;
        EXPECT_FALSE(evaluation.result) << c.valueName;
    }
    const std::wstring log = trace.Messages();
    EXPECT_NE(log.find(L"Evaluate registry value condition: unsupported reg value type (4)"), std::wstring::npos);
    EXPECT_NE(log.find(L"Evaluate registry value condition: unsupported reg value type (3)"), std::wstring::npos);
    EXPECT_NE(log.find(L"Evaluate registry value condition: failed to convert data to requested format (80020005)"),
              std::wstring::npos);

    // Conversion first, then comparator, then key, then the comparison text.
    struct Invalid {
        testing_support::AttributeList attributes;
        const wchar_t* line;
    };
    const Invalid invalid[] = {
        {{{L"Convert", L"Content2"}, {L"Compare", L"Nope"}}, L"type conversion is invalid (80070057)"},
        {{{L"Convert", L"LocalDateTime"}}, L"type conversion is invalid (80070057)"},
        {{{L"Compare", L"Nope"}}, L"comparator is invalid (80070057)"},
        {{{L"Compare", L"Equal"}}, L"key/value/root are invalid (80070057)"},
        {{{L"Compare", L"Equal"}, {L"Key", L"HKCU"}}, L"no comparison data provided"},
    };
    for (const Invalid& c : invalid) {
        TraceCapture lines;
        EXPECT_EQ(MakeKind(ckRegistryValue, c.attributes)->Validate(), E_INVALIDARG) << c.line;
        EXPECT_NE(lines.Messages().find(c.line), std::wstring::npos) << c.line;
    }
}

// The 64-bit view of HKLM\Software, written by the test alone.
class RegistryViews : public ::testing::Test {
protected:
    void SetUp() override
    {
        Delete();
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        kr::registry_key_holder holder(key);
        const DWORD one = 1;
        ASSERT_EQ(RegSetValueExW(key, L"Only64", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one)),
                  ERROR_SUCCESS);
    }
    void TearDown() override { Delete(); }
    static void Delete()
    {
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_64KEY, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestKey, KEY_WOW64_32KEY, 0);
    }
    static bool Exists(const wchar_t* check64Bit)
    {
        auto condition = MakeKind(ckRegistryExists, {{L"Key", L"HKLM\\Software\\FerroConditionTest"},
                                                     {L"ValueName", L"Only64"},
                                                     {L"Check64Bit", check64Bit}});
        EXPECT_EQ(condition->Validate(), S_OK);
        return EvaluateOnce(*condition).result;
    }

    FakeEngine engine;
};

TEST_F(RegistryViews, Check64BitReadsTheSixtyFourBitView)
{
    EXPECT_TRUE(Exists(L"TRUE"));
}

TEST_F(RegistryViews, ThirtyTwoBitViewWithoutTheFlag)
{
    // Meaningful only in a 32-bit process, where HKLM\Software is redirected.
    EXPECT_FALSE(Exists(L"false"));
    EXPECT_TRUE(Exists(L"true"));
}

} // namespace
