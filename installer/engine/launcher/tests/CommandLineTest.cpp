#include "command_line.h"
#include "command_line_property.h"
#include "kr/argument_scanner.h"
#include "kr/command_line_exception.h"
#include "kr/holders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Arguments(const command_line& line)
{
    std::vector<std::wstring> arguments;
    for (size_t i = 0; i < line.count(); ++i)
        arguments.emplace_back(line.argument(i), SysStringLen(line.argument(i)));
    return arguments;
}

std::wstring Remaining(const command_line& line)
{
    kr::bstr_holder text;
    EXPECT_EQ(line.remaining(text.address()), S_OK);
    return text.get() ? std::wstring(text.get(), SysStringLen(text.get())) : L"<null>";
}

TEST(CommandLine, SplitsAtSpacesOutsideQuotes)
{
    const command_line line(L"  a  \"b c\" d\"e f\"g  ");
    EXPECT_EQ(Arguments(line), (std::vector<std::wstring>{L"a", L"\"b c\"", L"d\"e f\"g"}));
    EXPECT_EQ(command_line::count_arguments(L"  a  \"b c\" d\"e f\"g  "), 3u);
    EXPECT_EQ(command_line(nullptr).count(), 0u);
    EXPECT_EQ(command_line(L"   ").count(), 0u);
    EXPECT_EQ(command_line::skip_blanks(nullptr), nullptr);
    EXPECT_EQ(Remaining(command_line(nullptr)), L"");
    // A tab is not a blank.
    EXPECT_EQ(command_line(L"a\tb").count(), 1u);
}

TEST(CommandLine, SwitchesByPrefixAndCase)
{
    command_line line(L"/kr_TEMP /KR_temp2 -embedded:id7 x=\"1 2\" /debuglog\"C:\\a b\\l.txt\" /debuglog");
    EXPECT_TRUE(line.find_switch(L"KR_temp", nullptr, true, true));
    EXPECT_FALSE(line.find_switch(L"runfromtemp", nullptr, true, true));

    kr::bstr_holder id;
    EXPECT_TRUE(line.find_switch(L"embedded:", id.address(), false, true));
    EXPECT_STREQ(id.get(), L"id7");

    kr::bstr_holder log;
    EXPECT_TRUE(line.find_switch(L"debuglog", log.address(), false, true));
    EXPECT_STREQ(log.get(), L"\"C:\\a b\\l.txt\"");

    // What the switches took is gone; the second /debuglog stays.
    EXPECT_EQ(Remaining(line), L"/KR_temp2 x=\"1 2\" /debuglog");
}

TEST(CommandLine, ExactSwitchSkipsLongerArgumentsAndConsumeIsOptional)
{
    command_line line(L"-KR_temp2 -KR_temp -keep");
    EXPECT_TRUE(line.find_switch(L"KR_temp", nullptr, true, true));
    EXPECT_TRUE(line.find_switch(L"keep", nullptr, true, false));
    EXPECT_EQ(Remaining(line), L"-KR_temp2 -keep");
    EXPECT_FALSE(line.find_switch(L"KR_temp2x", nullptr, false, true));
    EXPECT_FALSE(line.find_switch(L"", nullptr, true, true)) << "a bare - is no switch of an empty name";
}

struct Pair {
    std::wstring name;
    std::wstring value;
};

std::vector<Pair> ScanAll(const wchar_t* text)
{
    std::vector<Pair> pairs;
    kr::argument_scanner scanner(text, true);
    for (;;) {
        const size_t before = scanner.remaining().length();
        _stringx name, value;
        const bool more = scanner.next(name, value);
        if (scanner.remaining().length() == before)
            break;
        pairs.push_back({name.c_str(), value.c_str()});
        if (!more)
            break;
    }
    return pairs;
}

TEST(ArgumentScanner, NamesAndValues)
{
    auto pairs = ScanAll(L"-a -b x=1");
    ASSERT_EQ(pairs.size(), 3u);
    EXPECT_EQ(pairs[0].name, L"a");
    EXPECT_EQ(pairs[0].value, L"");
    EXPECT_EQ(pairs[1].name, L"b");
    EXPECT_EQ(pairs[2].name, L"x");
    EXPECT_EQ(pairs[2].value, L"1");

    // A bare switch at the very end is not reported.
    pairs = ScanAll(L"x=1 -c");
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].value, L"1");

    // A backslash before the closing quote escapes it: the value runs on to the end.
    pairs = ScanAll(L"/dir:\"C:\\x\\\" next=1");
    ASSERT_EQ(pairs.size(), 1u);
    EXPECT_EQ(pairs[0].name, L"dir");
    EXPECT_EQ(pairs[0].value, L"C:\\x\" next=1");

    pairs = ScanAll(L"P=\"a b\" Q=\"x\\\"y\"");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].value, L"a b");
    EXPECT_EQ(pairs[1].value, L"x\"y");
}

TEST(ArgumentScanner, MalformedTextRaises)
{
    EXPECT_THROW(ScanAll(L"word more"), command_line_exception);
    EXPECT_THROW(ScanAll(L"-\"unclosed"), command_line_exception);
    kr::argument_scanner single(L"-a b", false);
    _stringx name, value;
    EXPECT_THROW(single.next(name, value), command_line_exception);
    kr::argument_scanner bare(L"alone", false);
    EXPECT_THROW(bare.next(name, value), command_line_exception);
    kr::argument_scanner one(L"/name:value", false);
    EXPECT_FALSE(one.next(name, value));
    EXPECT_STREQ(name.c_str(), L"name");
    EXPECT_STREQ(value.c_str(), L"value");
    kr::argument_scanner empty(L"", true);
    EXPECT_FALSE(empty.next(name, value));
}

class CommandLineProperty : public ::testing::Test {
protected:
    void Use(const wchar_t* text)
    {
        ProcessCommandLine() = text;
        ResetCommandLineProperties();
    }
    void TearDown() override { Use(L""); }
};

TEST_F(CommandLineProperty, NamesWithoutRegardToCase)
{
    Use(L"-KR_temp ORIGINALSETUPEXEDIR=\"C:\\My Setup\" ORIGINALSETUPEXENAME=\"setup.exe\" /silent");
    _stringx value(L"unchanged");
    ASSERT_TRUE(GetCommandLineProperty(L"originalsetupexedir", value));
    EXPECT_STREQ(value.c_str(), L"C:\\My Setup");
    ASSERT_TRUE(GetCommandLineProperty(L"ORIGINALSETUPEXENAME", value));
    EXPECT_STREQ(value.c_str(), L"setup.exe");
    ASSERT_TRUE(GetCommandLineProperty(L"kr_temp", value));
    EXPECT_STREQ(value.c_str(), L"");
    value = L"unchanged";
    EXPECT_FALSE(GetCommandLineProperty(L"silent", value)) << "a bare switch at the end";
    EXPECT_FALSE(GetCommandLineProperty(L"missing", value));
    EXPECT_STREQ(value.c_str(), L"unchanged");
}

TEST_F(CommandLineProperty, LaterPairsReplaceEarlierOnesAndBadTextKeepsWhatWasRead)
{
    Use(L"A=1 a=2 B=\"x\\\"y\"");
    _stringx value;
    ASSERT_TRUE(GetCommandLineProperty(L"A", value));
    EXPECT_STREQ(value.c_str(), L"2");
    ASSERT_TRUE(GetCommandLineProperty(L"b", value));
    EXPECT_STREQ(value.c_str(), L"x\"y");

    // The lookup that meets the bad spot reports false; later ones find what was read before it.
    Use(L"first=1 oops here=2");
    value = L"unchanged";
    EXPECT_FALSE(GetCommandLineProperty(L"first", value));
    EXPECT_STREQ(value.c_str(), L"unchanged");
    EXPECT_TRUE(GetCommandLineProperty(L"first", value));
    EXPECT_STREQ(value.c_str(), L"1");
    EXPECT_FALSE(GetCommandLineProperty(L"here", value));
}

} // namespace
