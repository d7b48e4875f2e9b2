// Wildcard patterns over whole lines: the readers' own matcher gives what
// wxWidgets' matching gives, also on lines far longer than the pattern.
#include <gtest/gtest.h>

#include <string>

#include <wx/string.h>

#include "LinePattern.h"

using ferrolink::LineMatches;

namespace {

TEST(LinePattern, MatchesLikeTheWildcardsOfWxString)
{
    const char *patterns[] = {"*</Device>", "*<Device>*", "*<Id*>*", "*<Label*>*", "?a*", "*", "", "a?c", "*a*b*c",
                              "**x", "*</BiSS-Configuration>*"};
    const char *lines[] = {"", "a", "abc", "aXc", "  </Device>", "</Device> ", "<Device></Device>", "x<Id Range=\"1:0\">0x1</Id>",
                           "<Label>a</Label>", "aabbcc", "xx", "cab", "</BiSS-Configuration>", "<ID>", "<Device>"};
    for (const char *pattern : patterns) {
        for (const char *line : lines) {
            const wxString text = wxString::FromUTF8(line);
            EXPECT_EQ(text.Matches(wxString::FromUTF8(pattern)), LineMatches(text, wxString::FromUTF8(pattern)))
                << "'" << line << "' against '" << pattern << "'";
        }
    }
}

TEST(LinePattern, LongLinesFullOfNearMatches)
{
    // Many partial closing tags make a backtracking matcher retry at every one.
    std::string line;
    for (int i = 0; i < 20000; ++i)
        line += "</Devic";
    const wxString text = wxString::FromUTF8(line);
    EXPECT_FALSE(LineMatches(text, wxS("*</Device>")));
    EXPECT_TRUE(LineMatches(text + wxS("</Device>"), wxS("*</Device>")));
    EXPECT_TRUE(LineMatches(text + wxS("<Label x>"), wxS("*<Label*>*")));
    EXPECT_FALSE(LineMatches(text, wxS("*<Label*>*")));
}

} // namespace
