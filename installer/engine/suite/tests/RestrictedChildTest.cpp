// The engine constructed in a process that is not elevated: this test program
// starts itself with a restricted token (Administrators for denial only) to
// run the disabled report test, which writes what the engine set.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "EngineTestSupport.h"
#include "NotElevatedProcess.h"

namespace {

constexpr wchar_t kReportVariable[] = L"ENGINE_TEST_RESTRICTED_REPORT";

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

// Runs this program with the filter as a non-elevated administrator; its exit code.
DWORD RunRestricted(const std::wstring& filter)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return RunWithAdministratorsDenied(
        L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + filter, 30000);
}

TEST(RestrictedChild, DISABLED_Report)
{
    const std::wstring report = Variable(kReportVariable);
    ASSERT_FALSE(report.empty());
    const auto engine = engine_testing::NewEngine();
    engine->SetProperty(L"KRElevationRequired", L"false", false);
    std::wofstream out(std::string(report.begin(), report.end()));
    out << L"elevated=" << (engine->IsElevated() ? 1 : 0) << L"\n";
    out << L"required=" << engine->GetProperty(L"KRElevationRequired").c_str() << L"\n";
    out << L"dir=" << engine->GetProperty(L"SETUPEXEDIR").c_str() << L"\n";
}

TEST(SetupEngineTest, NotElevatedRequiresElevationUnchangeably)
{
    engine_testing::TempFile report(L"");
    SetEnvironmentVariableW(kReportVariable, report.Path().c_str());
    const DWORD code = RunRestricted(L"RestrictedChild.DISABLED_Report");
    SetEnvironmentVariableW(kReportVariable, nullptr);
    ASSERT_EQ(0u, code);

    std::wifstream in(std::string(report.Path().begin(), report.Path().end()));
    std::wstring elevated;
    std::wstring required;
    std::wstring dir;
    std::getline(in, elevated);
    std::getline(in, required);
    std::getline(in, dir);
    EXPECT_EQ(L"elevated=0", elevated);
    EXPECT_EQ(L"required=true", required);
    ASSERT_GT(dir.size(), 4u);
    EXPECT_NE(L'\\', dir.back());
}

} // namespace
