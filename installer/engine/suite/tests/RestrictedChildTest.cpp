// The engine constructed in a process that is not elevated: this test program
// starts itself with a restricted token (Administrators for denial only) to
// run the disabled report test, which writes what the engine set.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "EngineTestSupport.h"

namespace {

constexpr wchar_t kReportVariable[] = L"ENGINE_TEST_RESTRICTED_REPORT";

std::wstring Variable(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length && length < MAX_PATH ? value : L"";
}

// Runs this program with the filter under a restricted token; its exit code, or ~0.
DWORD RunRestricted(const std::wstring& filter)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token))
        return ~0u;
    PSID administrators = nullptr;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &administrators);
    SID_AND_ATTRIBUTES disabled = {administrators, 0};
    HANDLE restricted = nullptr;
    const BOOL made = CreateRestrictedToken(token, 0, 1, &disabled, 0, nullptr, 0, nullptr, &restricted);
    FreeSid(administrators);
    CloseHandle(token);
    if (!made)
        return ~0u;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + filter;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessAsUserW(restricted, nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                              nullptr, &startup, &process);
    CloseHandle(restricted);
    if (!started)
        return ~0u;
    WaitForSingleObject(process.hProcess, 30000);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
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
