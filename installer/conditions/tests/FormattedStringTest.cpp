#include "conditions/FormattedString.h"

#include <gtest/gtest.h>

#include <string>

#include "conditions/FormattedStringParser.h"
#include "properties/Properties.h"

namespace {

std::wstring Text(const _stringx& value)
{
    return std::wstring(value.c_str(), value.length());
}

class FormattedString : public ::testing::Test {
protected:
    void SetUp() override
    {
        const wchar_t* properties[][2] = {
            {L"Name", L"x"},        {L"A1", L"found"},     {L"B", L"1"},        {L"User", L"joe"},
            {L"Domain", L"corp"},   {L"V", L"FERRO_TEST_VAR"}, {L"a,b", L"comma"}, {L"Index", L"2"},
            {L"Dir2", L"C:\\two"},  {L"e", L"E"},          {L"P", L"-p-"},      {L"Empty", L""},
        };
        for (const auto& property : properties)
            store_.SetAttribute(property[0], property[1]);
        SetEnvironmentVariableW(L"FERRO_TEST_VAR", L"envvalue");
        SetEnvironmentVariableW(L"FERRO_UNSET_VAR", nullptr);
    }

    void TearDown() override { SetEnvironmentVariableW(L"FERRO_TEST_VAR", nullptr); }

    std::wstring Drop(const std::wstring& text) const
    {
        return Text(FormatPropertyString(_stringx(text.c_str(), text.size()), &store_));
    }
    std::wstring Keep(const std::wstring& text) const
    {
        return Text(FormatPropertyStringKeepUnresolved(_stringx(text.c_str(), text.size()), &store_));
    }

    CProperties store_;
};

TEST_F(FormattedString, ExpandsTheTable)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* dropped;
        const wchar_t* kept;
    };
    const Case cases[] = {
        {L"", L"", L""},
        {L"plain text", L"plain text", L"plain text"},
        {L"a]b@c", L"a]b@c", L"a]b@c"},
        {L"[User]@[Domain]", L"joe@corp", L"joe@corp"},
        {L"[Name]", L"x", L"x"},
        {L"<[Name]>", L"<x>", L"<x>"},
        {L"[Missing]", L"", L"[Missing]"},
        {L"[Empty]", L"", L"[Empty]"},
        {L"[NAME]", L"", L"[NAME]"},
        // Names hold references.
        {L"[A[B]]", L"found", L"found"},
        {L"[Dir[Index]]", L"C:\\two", L"C:\\two"},
        {L"[A[Index]]", L"", L"[A2]"},
        {L"[[e]]", L"", L"[E]"},
        {L"[x[e]y[B]z]", L"", L"[xEy1z]"},
        // Environment variables, never reproduced.
        {L"[%FERRO_TEST_VAR]", L"envvalue", L"envvalue"},
        {L"[%FERRO_UNSET_VAR]", L"", L""},
        {L"[%[V]]", L"envvalue", L"envvalue"},
        // Escapes and NUL.
        {L"[\\[]", L"[", L"["},
        {L"[\\]]", L"]", L"]"},
        {L"[\\ab]", L"a", L"a"},
        {L"[\\@]x", L"@x", L"@x"},
        {L"[~x]", L"[~x]", L"[~x]"},
        {L"[~", L"[~", L"[~"},
        // Unterminated references are reproduced as written.
        {L"ab[cd", L"ab[cd", L"ab[cd"},
        {L"ab[%cd", L"ab[%cd", L"ab[%cd"},
        {L"ab[\\cd", L"ab[\\cd", L"ab[\\cd"},
        {L"ab[", L"ab[", L"ab["},
        {L"[", L"[", L"["},
        {L"[%", L"[%", L"[%"},
        {L"[\\", L"[\\", L"[\\"},
        {L"ab[cd[e]", L"ab[cdE", L"ab[cdE"},
        {L"a[]b[e]", L"a[]bE", L"a[]bE"},
        {L"x[%a[e]", L"x[%aE", L"x[%aE"},
        {L"[a[e]\\cd", L"[aE\\cd", L"[aE\\cd"},
        {L"[a[e]~", L"[aE~", L"[aE~"},
        // Odd names.
        {L"[a)b]", L"[a)b", L"[a)b"},
        {L"[a)b)c]", L"[a)b)c", L"[a)b)c"},
        {L"[a)b", L"[a)b", L"[a)b"},
        {L"[%a)b]", L"[%a)b", L"[%a)b"},
        {L"[a,b]", L"comma", L"comma"},
        {L"[]", L"[]", L"[]"},
        {L"[]x", L"[]x", L"[]x"},
        {L"]x[", L"]x[", L"]x["},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Drop(c.text), c.dropped) << c.text;
        EXPECT_EQ(Keep(c.text), c.kept) << c.text;
    }
}

TEST_F(FormattedString, NulReferenceGivesOneNulCharacter)
{
    EXPECT_EQ(Drop(L"a[~]b"), std::wstring(L"a\0b", 3));
    EXPECT_EQ(Drop(L"[~]"), std::wstring(1, L'\0'));
}

TEST_F(FormattedString, WithoutContextNoPropertyIsSet)
{
    EXPECT_EQ(Text(FormatPropertyString(L"a[Name]b", nullptr)), L"ab");
    EXPECT_EQ(Text(FormatPropertyStringKeepUnresolved(L"a[Name]b", nullptr)), L"a[Name]b");
}

TEST_F(FormattedString, EnvironmentValuesOfAnyLength)
{
    const std::wstring big(5000, L'v');
    SetEnvironmentVariableW(L"FERRO_TEST_VAR", big.c_str());
    EXPECT_EQ(Drop(L"[%[V]]"), big);
}

TEST_F(FormattedString, LongTextsNeitherRecurseNorOverflow)
{
    std::wstring text;
    std::wstring expected;
    for (int i = 0; i < 100000; ++i) {
        text += L"a[Name]";
        expected += L"ax";
    }
    EXPECT_EQ(Drop(text), expected);

    // A name made of many parts.
    std::wstring name = L"[";
    std::wstring resolved = L"[";
    for (int i = 0; i < 50000; ++i) {
        name += L"n[e]";
        resolved += L"nE";
    }
    name += L"]";
    resolved += L"]";
    EXPECT_EQ(Keep(name), resolved);
}

TEST_F(FormattedString, NestingIsBounded)
{
    // Each level looks up the name the level inside it left: x, then [x], [[x]], ...
    auto nested = [](int depth) {
        std::wstring text = L"[Name]";
        for (int i = 1; i < depth; ++i)
            text = L"[" + text + L"]";
        return text;
    };
    const int limit = CFormattedStringParser::kMaxNesting;
    EXPECT_EQ(Keep(nested(limit)), std::wstring(limit - 1, L'[') + L"x" + std::wstring(limit - 1, L']'));
    EXPECT_EQ(Keep(nested(limit + 1)), L"");
    EXPECT_EQ(Keep(std::wstring(200000, L'[')), L"");

    CFormattedStringParser parser(_stringx(nested(limit + 1).c_str()), false);
    _stringx value(L"stale");
    EXPECT_EQ(parser.Evaluate(value), E_INVALIDARG);
    EXPECT_TRUE(value.empty());
}

} // namespace
