// Tessarel.exe packed with a suite of two executable packages, started
// silently as a real process: the packages run in order from the setup
// stream, and the exit code tells a reboot or a failure. A restart asked for
// now is recorded by the launcher's restart-recording build, and the resume
// entry it leaves is started as Windows would after the restart.

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
constexpr wchar_t kRunOnceKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::wstring kStateKey = std::wstring(L"Software\\Korvanstilmer\\SuiteInstallers\\") + kSuiteId;

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

// A string value under HKCU; empty when it is not there.
std::wstring UserString(const std::wstring& key, const wchar_t* name)
{
    wchar_t value[1024] = {};
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS)
        return L"";
    return value;
}

// A DWORD value under HKCU; -1 when it is not there.
long long UserDword(const std::wstring& key, const wchar_t* name)
{
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value, &bytes) != ERROR_SUCCESS)
        return -1;
    return value;
}

bool UserKeyExists(const std::wstring& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

// Starts a whole command line, as Windows starts a RunOnce value, and waits.
DWORD RunCommandLine(std::wstring line, DWORD timeout)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return ~0u - 1;
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunOnceKey, kSuiteId);
        RegDeleteTreeW(HKEY_CURRENT_USER, kStateKey.c_str());
        // A run that waits for a restart keeps its staged packages.
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(TempFolder(), ignored))
            if (entry.is_directory(ignored) && fs::exists(entry.path() / L"standin1.exe", ignored))
                fs::remove_all(entry.path(), ignored);
    }

    bool Ready() const { return m_files.ready(); }
    DWORD Run(const std::wstring& switches = L"/silent")
    {
        return RunProgram(m_files.setup(), switches + L" CALLLOG=" + m_log, 60000);
    }
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

// The files of a restart case: the restart-recording build's record, named in
// this process's environment and so in every launcher process it starts, and
// the engine's trace log. Removed at the end.
class RestartFiles {
public:
    RestartFiles()
        : m_record(TempFolder() + L"tessarel_restart_" + std::to_wstring(GetCurrentProcessId()) + L".txt"),
          m_trace(TempFolder() + L"tessarel_resume_" + std::to_wstring(GetCurrentProcessId()) + L".log")
    {
        DeleteFileW(m_record.c_str());
        DeleteFileW(m_trace.c_str());
        SetEnvironmentVariableW(L"TESSAREL_RESTART_RECORD", m_record.c_str());
    }
    ~RestartFiles()
    {
        SetEnvironmentVariableW(L"TESSAREL_RESTART_RECORD", nullptr);
        DeleteFileW(m_record.c_str());
        DeleteFileW(m_trace.c_str());
    }
    std::string Restarts() const { return ReadBytes(m_record); }
    const std::wstring& Trace() const { return m_trace; }
    // The trace of the runs since the last call, which starts a new one.
    std::wstring TakeTrace()
    {
        const std::wstring text = ReadUtf16(m_trace);
        DeleteFileW(m_trace.c_str());
        return text;
    }

private:
    std::wstring m_record;
    std::wstring m_trace;
};

struct RestartCase {
    const char* name;
    const wchar_t* program;
    const wchar_t* switches;  // of the first run, which the resume entry keeps
    const char* script;       // the stand-in user interface's, or none
};

class RunSuiteRestart : public ::testing::TestWithParam<RestartCase> {};

TEST_P(RunSuiteRestart, RestartNowResumesAtTheInterruptedTransaction)
{
    const RestartCase& row = GetParam();
    RestartFiles files;
    const std::wstring script = TempFolder() + L"tessarel_ui_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    if (row.script) {
        std::ofstream(fs::path(script), std::ios::binary) << row.script;
        SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", script.c_str());
    }
    struct ScriptGone {
        const std::wstring& path;
        ~ScriptGone()
        {
            SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", nullptr);
            DeleteFileW(path.c_str());
        }
    } scriptGone{script};
    RunSuite suite(row.program);
    ASSERT_TRUE(suite.Ready());

    // The first package asks for a restart now: one restart, and the run is
    // left to resume.
    ASSERT_EQ(1641u, suite.Run(std::wstring(row.switches) + L" /debuglog\"" + files.Trace() + L"\""));
    EXPECT_EQ("restart 2 65535\n", files.Restarts());
    EXPECT_EQ((std::vector<std::wstring>{L"P1"}), suite.Started());
    const std::wstring resume = UserString(kRunOnceKey, kSuiteId);
    EXPECT_NE(std::wstring::npos, resume.find(L"My Setup.exe\"")) << resume;
    EXPECT_EQ(std::wstring(row.switches) == L"/silent", resume.find(L"/silent") != std::wstring::npos) << resume;
    EXPECT_EQ(1, UserDword(kStateKey, L"Reboot"));
    const fs::path state = UserString(kStateKey, L"InfoPath");
    EXPECT_TRUE(fs::exists(state)) << state;
    EXPECT_TRUE(fs::exists(state.parent_path() / L"standin1.exe")) << state;
    EXPECT_EQ(std::wstring::npos, files.TakeTrace().find(L"Engine: running after reboot"));
    ASSERT_FALSE(resume.empty());

    // Started as Windows starts it after the restart: the interrupted
    // transaction resumes without its package starting again, the second
    // runs, and nothing of the resume is left.
    EXPECT_EQ(0u, RunCommandLine(resume, 60000));
    EXPECT_EQ((std::vector<std::wstring>{L"P1", L"P2"}), suite.Started());
    EXPECT_EQ("restart 2 65535\n", files.Restarts());
    const std::wstring trace = files.TakeTrace();
    EXPECT_NE(std::wstring::npos, trace.find(L"Engine: running after reboot"));
    EXPECT_NE(std::wstring::npos, trace.find(L"Engine: sending rebooted event to UI"));
    EXPECT_EQ(L"", UserString(kRunOnceKey, kSuiteId));
    EXPECT_EQ(-1, UserDword(kStateKey, L"Reboot"));
    EXPECT_FALSE(UserKeyExists(kStateKey));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RunSuiteRestart,
    ::testing::Values(RestartCase{"Silently", L"TessarelRun-restart.exe", L"/silent", nullptr},
                      RestartCase{"AsTheUserInterfaceAnswers", L"TessarelRun-restart-ui.exe", L"", "reboot-now\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// The stand-in user interface's log, with each file's staging progress cut
// to its last line, which must reach the file's size in 64-bit numbers.
std::vector<std::wstring> UiLog(const std::wstring& path)
{
    std::ifstream in(fs::path(path), std::ios::binary);
    std::vector<std::wstring> lines;
    const std::string progress = "event OnStagingProgress BSTR:";
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(progress, 0) == 0) {
            const size_t first = line.find(" I8:");
            const size_t second = line.find(" I8:", first + 1);
            const size_t last = line.rfind(' ');
            if (first == std::string::npos || second == std::string::npos)
                continue;
            if (line.substr(first + 4, second - first - 4) != line.substr(second + 4, last - second - 4))
                continue;
            line = line.substr(0, first) + " I8 done";
        }
        lines.emplace_back(line.begin(), line.end());
    }
    return lines;
}

// Every line the stand-in writes in a run that nobody cancels.
const std::vector<std::wstring> kWholeUiLog = {
    L"InitializeSuiteUI",
    L"QueryInterface IBootstrap2 -> 0x00000000",
    L"Advise -> 0x00000000",
    L"event OnBootstrapEvent I4:17 BOOL*",
    L"event OnBootstrapEvent I4:0 BOOL*",
    L"event OnBootstrapEvent I4:1 BOOL*",
    L"event OnBootstrapEvent I4:2 BOOL*",
    L"event OnStagingParcel I4:3 PARCEL:P1 BOOL*",
    L"event OnStagingProgress BSTR:standin1.exe I8 done",
    L"event OnStagingParcel I4:3 PARCEL:P2 BOOL*",
    L"event OnStagingProgress BSTR:standin2.exe I8 done",
    L"event OnBootstrapEvent I4:3 BOOL*",
    L"event OnInstallingParcel PARCEL:P1 BOOL*",
    L"event OnQueryParcelNotDetected PARCEL:P1 BOOL*",
    L"event OnInstallingParcel PARCEL:P2 BOOL*",
    L"event OnQueryParcelNotDetected PARCEL:P2 BOOL*",
    L"event OnBootstrapEvent I4:4 EMPTY",
    L"ShutdownSuiteUI",
};

struct UiCase {
    const char* name;
    const char* script;     // the stand-in's lines after its log's
    DWORD exitCode;
    size_t events;                   // lines of the whole log up to the cancelled event
    std::vector<std::wstring> after; // the states fired after a cancel
    std::vector<std::wstring> started;
};

class RunSuiteUi : public ::testing::TestWithParam<UiCase> {};

// The launcher runs the stand-in from the payload's UIResource without
// /silent; a cancel at an event ends the run there, before any later package.
TEST_P(RunSuiteUi, EventsArriveInOrderUntilACancel)
{
    const UiCase& row = GetParam();
    const std::wstring id = std::to_wstring(GetCurrentProcessId());
    const std::wstring log = TempFolder() + L"tessarel_ui_" + id + L".log";
    const std::wstring script = TempFolder() + L"tessarel_ui_" + id + L".txt";
    DeleteFileW(log.c_str());
    std::ofstream(fs::path(script), std::ios::binary) << "log " << fs::path(log).string() << "\n" << row.script;
    SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", script.c_str());
    {
        RunSuite suite(L"TessarelRun-ui.exe");
        ASSERT_TRUE(suite.Ready());
        EXPECT_EQ(row.exitCode, suite.Run(L""));
        EXPECT_EQ(row.started, suite.Started());
    }
    SetEnvironmentVariableW(L"SUITE_UI_SCRIPT", nullptr);
    std::vector<std::wstring> expected(kWholeUiLog.begin(), kWholeUiLog.begin() + row.events);
    expected.insert(expected.end(), row.after.begin(), row.after.end());
    expected.push_back(kWholeUiLog.back());
    EXPECT_EQ(expected, UiLog(log));
    DeleteFileW(log.c_str());
    DeleteFileW(script.c_str());
}

// The engine's 0x80070642, as the launcher's exit code.
constexpr DWORD kUserExit = 1602;
const std::wstring kCanceled = L"event OnBootstrapEvent I4:5 BOOL*";

INSTANTIATE_TEST_SUITE_P(
    Rows, RunSuiteUi,
    ::testing::Values(UiCase{"NobodyCancels", "", 0, kWholeUiLog.size() - 1, {}, {L"P1", L"P2"}},
                      // The answer to resource initialisation is read at the initialize state.
                      UiCase{"CancelAtResourceInit", "cancel-state 17\n", kUserExit, 5, {kCanceled}, {}},
                      UiCase{"CancelAtDetection", "cancel-state 1\n", kUserExit, 6, {kCanceled}, {}},
                      UiCase{"CancelAtInstall", "cancel-state 3\n", kUserExit, 12, {kCanceled}, {}},
                      UiCase{"CancelAtTheFirstPackage", "cancel-event 3\n", kUserExit, 13,
                             {L"event OnBootstrapEvent I4:4 EMPTY", kCanceled}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
