// Tessarel.exe with a payload that holds setup.xml, run as a real process:
// what its engine's initialisation ends with, and what its trace log holds.
// Every run is silent, so no message box waits for a user.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "LauncherProcess.h"

namespace {

// Initialisation went through, and the run of a suite without parcels
// that follows it ends with success.
constexpr DWORD kInitialized = 0;

class PackedEngine : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(files_.ready()); }

    DWORD Run(const std::wstring& arguments)
    {
        return RunProgram(files_.setup(), arguments + L" /debuglog\"" + log_ + L"\"");
    }
    std::wstring Log() const { return ReadUtf16(log_); }

    SetupFolder files_{TESSAREL_PACKED_EXE};
    const std::wstring log_ = files_.file(L"log.txt");
};

struct Row {
    const wchar_t* arguments;
    DWORD exit_code;
};

TEST_F(PackedEngine, InitializationResults)
{
    const Row rows[] = {
        {L"/silentX", kInitialized},
        {L"/silent /log:C:\\x", kInitialized},
        {L"/silent /logC:\\x", 0x8004070B},
        {L"/silent /f3:C:\\no\\such\\setup.xml", 2}, // 0x80070002 as the exit code it maps to
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.exit_code, Run(row.arguments)) << row.arguments;
}

TEST_F(PackedEngine, PasswordIsMaskedInTheTraceLog)
{
    EXPECT_EQ(kInitialized, Run(L"/silent /password:Secret Other=1"));
    const std::wstring text = Log();
    EXPECT_NE(text.find(L"Command Line: /silent /password:********** Other=1"), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"Secret"), std::wstring::npos) << text;
}

} // namespace
