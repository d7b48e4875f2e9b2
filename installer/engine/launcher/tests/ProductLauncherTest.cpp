// Tessarel.exe itself as a real process: without a payload its engine ends
// for the missing setup.xml, its proxy mode serves the pipe, it cleans up its
// temporary copy, and no test hook reaches it.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LauncherProcess.h"

namespace {

constexpr DWORD kNoSetupXml = 0x80040706;

std::vector<std::wstring> Split(const std::wstring& joined)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t bar = joined.find(L'|'); bar != std::wstring::npos; bar = joined.find(L'|', start)) {
        parts.push_back(joined.substr(start, bar - start));
        start = bar + 1;
    }
    parts.push_back(joined.substr(start));
    return parts;
}

// Programs in "{GUID}" folders under the temporary folder that were marked
// for removal at the next restart after the list read as "before". The list
// is compared entry by entry: its terminator moves as entries are appended.
std::vector<std::wstring> TemporaryCopiesMarkedSince(const std::wstring& before)
{
    const std::vector<std::wstring> earlier = Split(before);
    const std::wstring temp = TempFolder() + L"{";
    std::vector<std::wstring> copies;
    for (const std::wstring& entry : Split(PendingRenames())) {
        if (std::find(earlier.begin(), earlier.end(), entry) != earlier.end())
            continue;
        std::wstring path = entry;
        if (path.compare(0, 4, L"\\??\\") == 0)
            path.erase(0, 4);
        if (_wcsnicmp(path.c_str(), temp.c_str(), temp.size()) == 0 && path.size() > 4 &&
            _wcsicmp(path.c_str() + path.size() - 4, L".exe") == 0)
            copies.push_back(path);
    }
    return copies;
}

bool HoldsText(const std::string& bytes, const std::string& text)
{
    std::string wide;
    for (char c : text) {
        wide.push_back(c);
        wide.push_back('\0');
    }
    return bytes.find(text) != std::string::npos || bytes.find(wide) != std::string::npos;
}

class Product : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(files_.ready()); }

    SetupFolder files_{TESSAREL_EXE};
};

TEST_F(Product, EngineModeWithoutPayloadEndsWithAFailureAndLeavesNoCopy)
{
    // What steers the test engine means nothing to the product.
    const std::wstring record = files_.file(L"record.ini");
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_RECORD", record.c_str());
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_INIT", L"0");
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", L"0");
    const std::wstring before = PendingRenames();
    const std::wstring log = files_.file(L"log.txt");

    // Silent: no message box waits for a user.
    EXPECT_EQ(RunProgram(files_.setup(), L"/silent /debuglog\"" + log + L"\""), kNoSetupXml);

    for (const wchar_t* name : {L"KR_TEST_ENGINE_RECORD", L"KR_TEST_ENGINE_INIT", L"KR_TEST_ENGINE_RUN"})
        SetEnvironmentVariableW(name, nullptr);
    EXPECT_FALSE(Exists(record));
    const std::wstring text = ReadUtf16(log);
    EXPECT_NE(text.find(L"No setup.xml was present in the setup stream"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"Original exit status: 0x80040706, final exit status: 0x80040706"), std::wstring::npos)
        << text;

    // The copy marked itself for removal, and the first process removed it and its folder.
    const std::vector<std::wstring> copies = TemporaryCopiesMarkedSince(before);
    ASSERT_FALSE(copies.empty());
    for (const std::wstring& copy : copies) {
        EXPECT_FALSE(Exists(copy)) << copy;
        EXPECT_FALSE(Exists(Folder(copy))) << copy;
    }
}

TEST_F(Product, ProxyModeServesThePipeUntilQuit)
{
    const std::wstring id = L"{KR-PRODUCT-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide engine(id);
    ASSERT_TRUE(engine.Start(files_.setup(), L"-KR_temp -embedded:" + id));
    ASSERT_TRUE(engine.Connected());
    const DWORD engine_id = GetCurrentProcessId();
    engine.Write(3, 4, &engine_id, 4);
    EXPECT_EQ(engine.Read(), (std::pair<DWORD, DWORD>{0x80000003u, 0u}));
    engine.Write(4, 0, nullptr, 0);
    EXPECT_EQ(engine.ExitCode(), 0u);
    EXPECT_EQ(RunProgram(files_.setup(), L"-KR_temp -embedded:"), 87u);
}

TEST_F(Product, CarriesNoTestHook)
{
    const std::string program = ReadBytes(ProgramFolder() + TESSAREL_EXE);
    ASSERT_FALSE(program.empty());
    EXPECT_FALSE(HoldsText(program, "KR_TEST_ENGINE"));
    // The test build does hold it, so the search finds such text where it is.
    EXPECT_TRUE(HoldsText(ReadBytes(ProgramFolder() + TESSAREL_TEST_EXE), "KR_TEST_ENGINE"));
}

} // namespace
