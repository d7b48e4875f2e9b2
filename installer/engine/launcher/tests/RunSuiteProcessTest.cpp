// Tessarel.exe packed with a suite of two executable packages, started
// silently as a real process: the packages run in order from the setup
// stream, and the exit code tells a reboot or a failure.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "LauncherProcess.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kSuiteId[] = L"{C1E5A0B7-4D2F-4B8E-9A63-7F1D2E8C5B40}";

// The "args=" lines a stand-in log holds.
std::vector<std::wstring> StartedPackages(const std::wstring& log)
{
    std::ifstream in(fs::path(log), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    std::vector<std::wstring> started;
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        const std::wstring line = text.substr(start, end - start);
        if (line.rfind(L"args=", 0) == 0)
            started.push_back(line.substr(5, line.find(L' ') - 5));
        start = end + 1;
    }
    return started;
}

// One silent run of a variant, with the packages' log in a folder of its own.
class RunSuite {
public:
    explicit RunSuite(const wchar_t* program) : m_files(program)
    {
        m_log = TempFolder() + L"tessarel_run_" + std::to_wstring(GetCurrentProcessId()) + L".log";
        DeleteFileW(m_log.c_str());
    }
    ~RunSuite()
    {
        DeleteFileW(m_log.c_str());
        RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", kSuiteId);
        RegDeleteTreeW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Korvanstilmer\\SuiteInstallers\\") + kSuiteId).c_str());
        // A run that waits for a restart keeps its staged packages.
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(TempFolder(), ignored))
            if (entry.is_directory(ignored) && fs::exists(entry.path() / L"standin1.exe", ignored))
                fs::remove_all(entry.path(), ignored);
    }

    bool Ready() const { return m_files.ready(); }
    DWORD Run() { return RunProgram(m_files.setup(), L"/silent CALLLOG=" + m_log, 60000); }
    std::vector<std::wstring> Started() const { return StartedPackages(m_log); }

private:
    SetupFolder m_files;
    std::wstring m_log;
};

TEST(RunSuiteProcess, InstallsBothPackagesInOrder)
{
    RunSuite suite(L"TessarelRun-ok.exe");
    ASSERT_TRUE(suite.Ready());
    EXPECT_EQ(0u, suite.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"P1", L"P2"}), suite.Started());
}

TEST(RunSuiteProcess, RebootCodeEndsWithAPendingReboot)
{
    RunSuite suite(L"TessarelRun-reboot.exe");
    ASSERT_TRUE(suite.Ready());
    EXPECT_EQ(3010u, suite.Run());
    EXPECT_EQ((std::vector<std::wstring>{L"P1"}), suite.Started());
}

TEST(RunSuiteProcess, MissingProgramEndsWithFileNotFound)
{
    RunSuite suite(L"TessarelRun-missing.exe");
    ASSERT_TRUE(suite.Ready());
    EXPECT_EQ(2u, suite.Run());
    EXPECT_TRUE(suite.Started().empty());
}

} // namespace
