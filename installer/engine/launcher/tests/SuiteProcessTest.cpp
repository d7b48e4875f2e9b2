// Tessarel.exe with a payload whose setup.xml the reader turns into a suite,
// run as a real process: two runs of one suite exclude each other.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "LauncherProcess.h"

namespace {

constexpr wchar_t kSuiteId[] = L"{3F6C2B1A-9D4E-4E8B-A7C1-5B2D0E9F8A61}";
constexpr DWORD kAnotherInstance = 0x80040711;
// A suite without parcels runs through to success.
constexpr DWORD kCompleted = 0;

TEST(SuiteProcess, SecondRunOfTheSuiteWaitsForTheFirst)
{
    SetupFolder files(TESSAREL_SUITE_EXE);
    ASSERT_TRUE(files.ready());
    HANDLE first = CreateMutexW(nullptr, TRUE, kSuiteId);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(RunProgram(files.setup(), L"/silent"), kAnotherInstance);
    ReleaseMutex(first);
    CloseHandle(first);
    EXPECT_EQ(RunProgram(files.setup(), L"/silent"), kCompleted);
}

} // namespace
