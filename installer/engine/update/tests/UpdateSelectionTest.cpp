// The update description read into the handler and the choice of its entry,
// in process with a recording engine in place of the real one.

#include "update/UpdateHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestFolder.h"

namespace {

constexpr wchar_t kSuite[] = L"{6D1C3B57-0F51-4E59-9E0A-3C1F6B2C5A11}";

struct RecordingHost : IUpdateHost {
    std::wstring suiteId = kSuite;
    std::wstring productVersion = L"1.0";
    bool silent = false;
    struct Launch {
        std::wstring address;
        std::wstring commandLine;
    };
    std::vector<Launch> launches;

    _stringx GetSuiteId() override { return suiteId.c_str(); }
    _stringx GetProperty(const _stringx& name) override
    {
        return name == L"ProductVersion" ? _stringx(productVersion.c_str()) : _stringx();
    }
    bool IsSilent() override { return silent; }
    HRESULT LaunchUpdate(const _stringx& address, const _stringx& commandLine, bool& launched) override
    {
        launches.push_back({address.c_str(), commandLine.c_str()});
        launched = true;
        return 3010;
    }
};

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

// A description whose root is Metadata in the update namespace around the given entries.
std::string Description(const std::string& entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<Metadata xmlns=\"korvanstilmer/2014/update\" Feed=\"nightly\">" +
           entries + "</Metadata>";
}

std::string Entry(const std::string& id, const std::string& version, const std::string& url)
{
    return "<Update Id=\"" + id + "\" Version=\"" + version + "\" Url=\"" + url + "\"/>";
}

class UpdateSelection : public ::testing::Test {
protected:
    HRESULT Select(const std::string& description, bool& available)
    {
        WriteBytes(path, description);
        return handler.SelectUpdate(path.c_str(), available);
    }
    std::wstring SelectedUrl() const
    {
        return handler.Selected() ? handler.Selected()->GetUrl().c_str() : L"(none)";
    }

    TestFolder folder;
    std::wstring path = folder / L"krupdate.xml";
    RecordingHost host;
    CUpdateHandler handler{host};
};

TEST_F(UpdateSelection, FirstApplicableEntryInDocumentOrderWins)
{
    const std::string suite = Narrow(kSuite);
    struct Row {
        const char* name;
        std::wstring productVersion;
        std::wstring launchedFrom;
        std::string entries;
        HRESULT result;
        const wchar_t* selected;
    };
    const Row rows[] = {
        {"2.0 before 3.0", L"1.0", L"",
         Entry(suite, "2.0", "http://h/two.exe") + Entry(suite, "3.0", "http://h/three.exe"), S_OK,
         L"http://h/two.exe"},
        {"equal version never", L"1.0", L"", Entry(suite, "1.0", "http://h/same.exe"), S_OK, L"(none)"},
        {"older version never", L"2.1", L"", Entry(suite, "2.0.65535", "http://h/old.exe"), S_OK, L"(none)"},
        {"other suite ignored", L"1.0", L"",
         Entry("{00000000-0000-0000-0000-000000000001}", "9.0", "http://h/other.exe") +
             Entry(suite, "1.1", "http://h/mine.exe"),
         S_OK, L"http://h/mine.exe"},
        {"suite id without regard to case", L"1.0", L"",
         "<Update Id=\"" + std::string("{6d1c3b57-0f51-4e59-9e0a-3c1f6b2c5a11}") +
             "\" version=\"2.0\" URL=\"http://h/lower.exe\"/>",
         S_OK, L"http://h/lower.exe"},
        {"launched-from entry skipped", L"1.0", L"HTTP://H/TWO.EXE",
         Entry(suite, "2.0", "http://h/two.exe") + Entry(suite, "3.0", "http://h/three.exe"), S_OK,
         L"http://h/three.exe"},
        {"invalid entry version skipped", L"1.0", L"",
         Entry(suite, "2.x", "http://h/bad.exe") + Entry(suite, "1.0.256", "http://h/build.exe"), S_OK,
         L"http://h/build.exe"},
        {"entry minor 256 skipped", L"1.0", L"", Entry(suite, "1.256", "http://h/overflow.exe"), S_OK, L"(none)"},
        {"four product parts compare by three", L"1.0.0.5", L"",
         Entry(suite, "1.0.0.9", "http://h/fourth.exe") + Entry(suite, "1.0.1", "http://h/third.exe"), S_OK,
         L"http://h/third.exe"},
        {"product minor 256 stops the choice", L"1.256", L"", Entry(suite, "9.0", "http://h/any.exe"), S_FALSE,
         L"(none)"},
        {"product version not a number", L"one", L"", Entry(suite, "9.0", "http://h/any.exe"), S_FALSE, L"(none)"},
        {"no product version", L"", L"", Entry(suite, "9.0", "http://h/any.exe"), S_FALSE, L"(none)"},
        {"no entries", L"1.0", L"", "", S_FALSE, L"(none)"},
    };
    for (const Row& row : rows) {
        RecordingHost rowHost;
        rowHost.productVersion = row.productVersion;
        CUpdateHandler rowHandler(rowHost);
        rowHandler.SetLaunchedFrom(row.launchedFrom.c_str());
        WriteBytes(path, Description(row.entries));
        bool available = true;
        EXPECT_EQ(row.result, rowHandler.SelectUpdate(path.c_str(), available)) << row.name;
        const std::wstring selected = rowHandler.Selected() ? rowHandler.Selected()->GetUrl().c_str() : L"(none)";
        EXPECT_EQ(row.selected, selected) << row.name;
        EXPECT_EQ(selected != L"(none)", available) << row.name;
    }
}

TEST_F(UpdateSelection, NoSuiteIdMeansNoChoice)
{
    host.suiteId.clear();
    bool available = true;
    EXPECT_EQ(S_FALSE, Select(Description(Entry(Narrow(kSuite), "2.0", "http://h/a.exe")), available));
    EXPECT_FALSE(available);
}

TEST_F(UpdateSelection, OnlyElementsOfTheUpdateNamespaceAtTheirPlacesAreRead)
{
    const std::string suite = Narrow(kSuite);
    const std::string description =
        "<Metadata xmlns=\"korvanstilmer/2014/update\" xmlns:o=\"other\" Feed=\"stable\">"
        "<o:Update Id=\"" + suite + "\" Version=\"5.0\" Url=\"http://h/foreign.exe\"/>"
        "<Group><Update Id=\"" + suite + "\" Version=\"6.0\" Url=\"http://h/nested.exe\"/></Group>"
        "<Update Id=\"" + suite + "\" Version=\"2.0\" Url=\"http://h/u.exe\" commandline=\"/passive\" "
        "SILENTCOMMANDLINE=\"/q\" Channel=\"beta\">"
        "<Replace Id=\"{A}\" Version=\"1.0\"/><Keep Id=\"{B}\" Version=\"1.5\"/><o:Keep Id=\"{C}\" Version=\"9\"/>"
        "</Update></Metadata>";
    bool available = false;
    ASSERT_EQ(S_OK, Select(description, available));
    ASSERT_EQ(1u, handler.Entities().size());
    const CUpdateEntity& entry = *handler.Entities()[0];
    EXPECT_EQ(L"http://h/u.exe", SelectedUrl());
    EXPECT_EQ(L"/passive", std::wstring(entry.GetCommandLine().c_str()));
    EXPECT_EQ(L"/q", std::wstring(entry.GetSilentCommandLine().c_str()));
    EXPECT_EQ(L"beta", std::wstring(entry.GetAttribute(L"Channel").c_str()));
    EXPECT_EQ(L"stable", std::wstring(handler.GetAttribute(L"Feed").c_str()));
    ASSERT_EQ(1u, entry.Replaced().size());
    EXPECT_EQ(L"1.0", std::wstring(entry.Replaced().at(L"{a}").c_str()));
    ASSERT_EQ(1u, entry.Kept().size());
    EXPECT_EQ(L"1.5", std::wstring(entry.Kept().at(L"{B}").c_str()));
}

TEST_F(UpdateSelection, DescriptionOutsideTheNamespaceOrWithADtdGivesNoEntries)
{
    const std::string entry = Entry(Narrow(kSuite), "2.0", "http://h/a.exe");
    const std::string documents[] = {
        "<Metadata>" + entry + "</Metadata>",
        "<?xml version=\"1.0\"?><!DOCTYPE Metadata [<!ENTITY e \"x\">]>" + Description(entry).substr(39),
        "not xml at all",
    };
    for (const std::string& document : documents) {
        RecordingHost rowHost;
        CUpdateHandler rowHandler(rowHost);
        WriteBytes(path, document);
        bool available = true;
        EXPECT_EQ(S_FALSE, rowHandler.SelectUpdate(path.c_str(), available)) << document;
        EXPECT_FALSE(available) << document;
        EXPECT_TRUE(rowHandler.Entities().empty()) << document;
    }
}

TEST_F(UpdateSelection, EachCheckAppendsTheEntriesAgain)
{
    bool available = false;
    const std::string description = Description(Entry(Narrow(kSuite), "2.0", "http://h/a.exe"));
    ASSERT_EQ(S_OK, Select(description, available));
    ASSERT_EQ(S_OK, Select(description, available));
    EXPECT_EQ(2u, handler.Entities().size());
    EXPECT_TRUE(available);
}

TEST_F(UpdateSelection, InstallStartsTheChosenEntryWithItsCommandLine)
{
    EXPECT_EQ(S_FALSE, handler.InstallUpdate());
    EXPECT_TRUE(host.launches.empty());

    bool available = false;
    ASSERT_EQ(S_OK, Select(Description("<Update Id=\"" + Narrow(kSuite) +
                                       "\" Version=\"2.0\" Url=\"http://h/u.exe\" CommandLine=\"/passive\" "
                                       "SilentCommandLine=\"/q\"/>"),
                           available));
    EXPECT_EQ(3010, handler.InstallUpdate());
    host.silent = true;
    EXPECT_EQ(3010, handler.InstallUpdate());
    ASSERT_EQ(2u, host.launches.size());
    EXPECT_EQ(L"http://h/u.exe", host.launches[0].address);
    EXPECT_EQ(L"/passive", host.launches[0].commandLine);
    EXPECT_EQ(L"/q", host.launches[1].commandLine);
}

} // namespace
