// The launcher's test build as a real process: started from this Windows
// program, which reads its exit code with GetExitCodeProcess and what its test
// engine recorded.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "LauncherProcess.h"
#include "kr/inifilex.h"
#include "NotElevatedProcess.h"

namespace {

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(files_.ready());
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_RECORD", record_.c_str());
        for (const wchar_t* name : {L"KR_TEST_ENGINE_INIT", L"KR_TEST_ENGINE_RUN", L"KR_TEST_ENGINE_EXIT_NOW",
                                    L"KR_TEST_ENGINE_DELAY", L"KR_TEST_ENGINE_THROW"})
            SetEnvironmentVariableW(name, nullptr);
    }

    void TearDown() override { SetEnvironmentVariableW(L"KR_TEST_ENGINE_RECORD", nullptr); }

    static DWORD Run(const std::wstring& program, const std::wstring& arguments)
    {
        return RunProgram(program, arguments);
    }

    std::wstring Recorded(const wchar_t* key) const
    {
        inifilex record;
        record.load(record_.c_str(), L"=", false);
        return record.get_string(L"engine", key, L"<none>").c_str();
    }

    // Waits until the engine of an unwaited copy has ended.
    bool WaitForRecordedRelease(DWORD timeout) const
    {
        for (DWORD waited = 0; waited < timeout; waited += 50) {
            if (Recorded(L"released") == L"1")
                return true;
            Sleep(50);
        }
        return false;
    }

    SetupFolder files_{TESSAREL_TEST_EXE};
    const std::wstring& folder_ = files_.path();
    const std::wstring& setup_ = files_.setup();
    const std::wstring record_ = files_.file(L"record.ini");
};

TEST_F(Launcher, FirstStartRunsATemporaryCopyAndPassesItsMappedExitCode)
{
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", L"80070BC2");
    EXPECT_EQ(Run(setup_, L""), 3010u);

    const std::wstring copy = Recorded(L"program");
    const std::wstring copy_folder = Folder(copy);
    EXPECT_EQ(_wcsnicmp(copy.c_str(), TempFolder().c_str(), TempFolder().size()), 0) << copy;
    EXPECT_EQ(copy_folder.substr(TempFolder().size(), 1), L"{");
    EXPECT_EQ(copy_folder.back(), L'}');
    EXPECT_EQ(copy.substr(copy.size() - 4), L".exe");

    const std::wstring properties =
        L"ORIGINALSETUPEXEDIR=\"" + folder_ + L"\" ORIGINALSETUPEXENAME=\"My Setup.exe\"";
    // 3010 is carried as a failing status: the user interface is told the run was cancelled.
    EXPECT_EQ(Recorded(L"process_command_line"), L"\"" + copy + L"\"  -KR_temp " + properties + L" ");
    EXPECT_EQ(Recorded(L"arguments"), properties);
    EXPECT_EQ(Recorded(L"run"), L"1");
    EXPECT_EQ(Recorded(L"events"), L"5");
    EXPECT_EQ(Recorded(L"shutdowns"), L"1");
    EXPECT_EQ(Recorded(L"apartment"), L"main-sta");
    EXPECT_EQ(Recorded(L"trace_on"), L"0");

    // The copy is gone, or at least marked for removal at the next restart.
    EXPECT_FALSE(Exists(copy));
    EXPECT_FALSE(Exists(copy_folder));
    EXPECT_NE(PendingRenames().find(copy), std::wstring::npos);
}

// Starts a program as a non-elevated administrator and gives its exit code.
DWORD RunNotElevated(const std::wstring& program, const std::wstring& arguments)
{
    return RunWithAdministratorsDenied(L"\"" + program + L"\" " + arguments, 30000);
}

TEST_F(Launcher, NotElevatedStartCopiesIntoAPlainTemporaryFolder)
{
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", L"80070BC2");
    EXPECT_EQ(RunNotElevated(setup_, L""), 3010u);
    const std::wstring copy = Recorded(L"program");
    const std::wstring copy_folder = Folder(copy);
    EXPECT_EQ(_wcsnicmp(copy.c_str(), TempFolder().c_str(), TempFolder().size()), 0) << copy;
    EXPECT_EQ(copy_folder.substr(TempFolder().size(), 1), L"{");
    EXPECT_FALSE(Exists(copy));
    EXPECT_FALSE(Exists(copy_folder));
}

TEST_F(Launcher, ExitCodesOfTheEngineStatus)
{
    struct Case {
        const wchar_t* init;
        const wchar_t* run;
        DWORD exit_code;
        const wchar_t* events;
    };
    const Case cases[] = {
        {L"0", L"80004004", 1602, L"5"},
        {L"0", L"8004070A", 0x8004070A, L"5"},
        {L"0", L"1", 0, L""},
        {L"80070642", L"0", 1602, L"5"},
    };
    for (const Case& c : cases) {
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_INIT", c.init);
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", c.run);
        EXPECT_EQ(Run(setup_, L""), c.exit_code) << c.init << L" " << c.run;
        EXPECT_EQ(Recorded(L"events"), c.events) << c.init << L" " << c.run;
        EXPECT_EQ(Recorded(L"shutdowns"), L"1");
        EXPECT_EQ(Recorded(L"run"), std::wstring(c.init) == L"0" ? L"1" : L"<none>");
    }

    // A run handed over to an updated suite ends with the initialisation's status as it is.
    DeleteFileW(record_.c_str());
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_INIT", L"80070BC2");
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_EXIT_NOW", L"1");
    EXPECT_EQ(Run(setup_, L""), 0x80070BC2u);
    EXPECT_EQ(Recorded(L"events"), L"");
    EXPECT_EQ(Recorded(L"run"), L"<none>");
}

TEST_F(Launcher, AnExceptionLeavingTheEngineEndsLikeAFailure)
{
    struct Case {
        const wchar_t* step;
        const wchar_t* init;
        const wchar_t* run;
        DWORD exit_code;
        const wchar_t* ran;
    };
    const Case cases[] = {
        {L"run", nullptr, L"80070BC2", 3010, L"1"},           // the exception's own status, mapped
        {L"init", L"80070000", nullptr, 1603, L"<none>"},     // a failure never reads as success
        {L"init", nullptr, nullptr, 0x8000FFFF, L"<none>"},   // no status of its own: E_UNEXPECTED
    };
    for (const Case& c : cases) {
        DeleteFileW(record_.c_str());
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_THROW", c.step);
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_INIT", c.init);
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", c.run);
        EXPECT_EQ(Run(setup_, L""), c.exit_code) << c.step;
        EXPECT_EQ(Recorded(L"run"), c.ran) << c.step;
        // The user interface hears of the cancel and stops; the engine is released.
        EXPECT_EQ(Recorded(L"events"), L"5") << c.step;
        EXPECT_EQ(Recorded(L"shutdowns"), L"1") << c.step;
        EXPECT_EQ(Recorded(L"released"), L"1") << c.step;
        // The copy marked itself for removal, and the first process removed it.
        const std::wstring copy = Recorded(L"program");
        EXPECT_NE(PendingRenames().find(copy), std::wstring::npos) << c.step;
        EXPECT_FALSE(Exists(copy)) << c.step;
        EXPECT_FALSE(Exists(Folder(copy))) << c.step;
    }
}

TEST_F(Launcher, UserArgumentsReachTheEngineAndLongerSwitchesDoNotCount)
{
    EXPECT_EQ(Run(setup_, L"/KR_temp2 /passive x=\"a b\""), 0u);
    EXPECT_EQ(Recorded(L"arguments"), L"/KR_temp2 /passive x=\"a b\" ORIGINALSETUPEXEDIR=\"" + folder_ +
                                          L"\" ORIGINALSETUPEXENAME=\"My Setup.exe\"");
    EXPECT_NE(Recorded(L"program"), setup_) << "relaunched";

    // The marker switch with runfromtemp still relaunches.
    DeleteFileW(record_.c_str());
    EXPECT_EQ(Run(setup_, L"-KR_temp -runfromtemp -clone_wait"), 0u);
    EXPECT_NE(Recorded(L"program"), setup_);
}

TEST_F(Launcher, RunFromTempReturnsAtOnceUnlessCloneWait)
{
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_DELAY", L"1500");
    SetEnvironmentVariableW(L"KR_TEST_ENGINE_RUN", L"80070BC2");
    EXPECT_EQ(Run(setup_, L"-runfromtemp"), 0u);
    EXPECT_EQ(Recorded(L"released"), L"<none>") << "the first process did not wait";
    ASSERT_TRUE(WaitForRecordedRelease(20000));
    const std::wstring copy = Recorded(L"program");
    // Nobody waited: the copy stays until the next restart, which removes it.
    // It marks itself just after its engine has ended, so give it that moment.
    bool marked = false;
    for (DWORD waited = 0; !marked && waited < 20000; waited += 50) {
        marked = PendingRenames().find(copy) != std::wstring::npos;
        if (!marked)
            Sleep(50);
    }
    EXPECT_TRUE(marked);
    for (int tries = 0; Exists(copy) && !DeleteFileW(copy.c_str()) && tries < 100; ++tries)
        Sleep(50);
    RemoveDirectoryW(Folder(copy).c_str());

    DeleteFileW(record_.c_str());
    EXPECT_EQ(Run(setup_, L"-runfromtemp -clone_wait"), 3010u);
    EXPECT_EQ(Recorded(L"released"), L"1");
}

BOOL CALLBACK CollectStaticText(HWND child, LPARAM collected)
{
    wchar_t type[32] = {};
    GetClassNameW(child, type, 32);
    if (_wcsicmp(type, L"Static") == 0) {
        wchar_t line[2048] = {};
        GetWindowTextW(child, line, 2048);
        *reinterpret_cast<std::wstring*>(collected) += line;
    }
    return TRUE;
}

// The texts of a message box's static controls.
std::wstring BoxText(HWND box)
{
    std::wstring text;
    EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
    return text;
}

DWORD ParentOf(DWORD process_id)
{
    DWORD parent = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == process_id)
            parent = entry.th32ParentProcessID;
    }
    CloseHandle(snapshot);
    return parent;
}

struct BoxSearch {
    const wchar_t* caption;
    DWORD parent;
    HWND found;
};

BOOL CALLBACK FindChildBox(HWND window, LPARAM search_address)
{
    auto* search = reinterpret_cast<BoxSearch*>(search_address);
    wchar_t type[32] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, type, 32);
    GetWindowTextW(window, title, 256);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (wcscmp(type, L"#32770") == 0 && wcscmp(title, search->caption) == 0 && ParentOf(owner) == search->parent) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Runs the program, answers the message box that its temporary copy shows
// with OK and gives the program's exit code and the box's text.
std::pair<DWORD, std::wstring> RunAndAnswerBox(const std::wstring& program, const std::wstring& arguments,
                                               const wchar_t* caption)
{
    std::wstring command_line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return {~0u - 1, L""};
    std::wstring text = L"<no box>";
    BoxSearch search = {caption, process.dwProcessId, nullptr};
    for (int tries = 0; tries < 400 && WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT; ++tries) {
        EnumWindows(FindChildBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(100);
            text = BoxText(search.found);
            PostMessageW(search.found, WM_COMMAND, IDOK, 0);
            break;
        }
    }
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {code, text};
}

TEST_F(Launcher, DebugLogIntoAMissingFolderEndsWith1622)
{
    const auto [code, text] =
        RunAndAnswerBox(setup_, L"/debuglog\"C:\\no such folder\\log.txt\"", L"Korvanstilmer Wizard");
    EXPECT_EQ(code, 1622u);
    EXPECT_EQ(text.substr(0, 15), L"0x8004071a:656\n") << text;
    EXPECT_EQ(Recorded(L"released"), L"<none>") << "no engine was made";

    // A colon after the switch name belongs to the path.
    EXPECT_EQ(RunAndAnswerBox(setup_, L"/debuglog:" + folder_ + L"\\log.txt", L"Korvanstilmer Wizard").first, 1622u);
}

TEST_F(Launcher, DebugLogGoesWhereItIsNamed)
{
    const std::wstring log = folder_ + L"\\log.txt";
    EXPECT_EQ(Run(setup_, L"/debuglog\"" + log + L"\""), 0u);
    EXPECT_EQ(Recorded(L"debug_log_path"), log);
    EXPECT_EQ(Recorded(L"trace_on"), L"1");
    EXPECT_EQ(Recorded(L"trace_with_source"), L"0");
    const std::wstring text = ReadUtf16(log);
    EXPECT_NE(text.find(L"]: *** Korvanstilmer suite engine (Unicode) started\r\n"), std::wstring::npos) << text;
    EXPECT_NE(text.find(L"]: Initializing engine...\r\n"), std::wstring::npos);
    EXPECT_NE(text.find(L"Original exit status: 0x00000000, final exit status: 0x00000000"), std::wstring::npos);
    EXPECT_EQ(text.find(L"File:"), std::wstring::npos);
}

TEST_F(Launcher, DebugLogWithoutPathLandsBesideTheStartedProgram)
{
    EXPECT_EQ(Run(setup_, L"/debuglog"), 0u);
    const std::wstring log = folder_ + L"\\Korvanstilmer.log";
    EXPECT_EQ(Recorded(L"debug_log_path"), log);
    EXPECT_NE(ReadUtf16(log).find(L"suite engine (Unicode) started"), std::wstring::npos);
}

TEST_F(Launcher, DebugMarkerInThePayloadSwitchesTheLogOn)
{
    const std::wstring marked = folder_ + L"\\Marked.exe";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"TessarelMarked.exe").c_str(), marked.c_str(), FALSE));

    EXPECT_EQ(Run(marked, L""), 0u);
    EXPECT_EQ(Recorded(L"trace_on"), L"1");
    EXPECT_EQ(Recorded(L"trace_with_source"), L"0");
    const std::wstring log = folder_ + L"\\Korvanstilmer.log";
    EXPECT_EQ(Recorded(L"debug_log_path"), log);
    EXPECT_NE(ReadUtf16(log).find(L"suite engine (Unicode) started"), std::wstring::npos);

    // Without the marker the log stays off.
    DeleteFileW(record_.c_str());
    EXPECT_EQ(Run(setup_, L""), 0u);
    EXPECT_EQ(Recorded(L"trace_on"), L"0");
}


TEST_F(Launcher, ProxyServesThePipeUntilQuit)
{
    const std::wstring id = L"{KR-TEST-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide engine(id);
    ASSERT_TRUE(engine.Start(setup_, L"-KR_temp -embedded:" + id));
    ASSERT_TRUE(engine.Connected());
    const DWORD engine_id = GetCurrentProcessId();
    engine.Write(3, 4, &engine_id, 4);
    EXPECT_EQ(engine.Read(), (std::pair<DWORD, DWORD>{0x80000003u, 0u}));
    const DWORD request[6] = {7, 0, 0, 0, 0, 0};
    engine.Write(1, 20, request, 20);
    EXPECT_EQ(engine.Read().first, 0x80000001u);
    engine.Write(4, 0, nullptr, 0);
    EXPECT_EQ(engine.ExitCode(), 0u);
}

TEST_F(Launcher, ProxyStartedWithoutMarkerRunsFromACopyAndTheFirstProcessWaits)
{
    const std::wstring id = L"{KR-TEST-RELAUNCH-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide engine(id);
    ASSERT_TRUE(engine.Start(setup_, L"-embedded:" + id));
    ASSERT_TRUE(engine.Connected());
    engine.Write(4, 0, nullptr, 0);
    EXPECT_EQ(engine.ExitCode(), 0u);
}

TEST_F(Launcher, ProxyEndsWith233WhenAHeaderIsCutOrAnnouncesTooMuch)
{
    // Half a header, and the pipe closes: the proxy ends without answering.
    const std::wstring cut_id = L"{KR-TEST-HALF-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide half(cut_id);
    ASSERT_TRUE(half.Start(setup_, L"-KR_temp -embedded:" + cut_id));
    ASSERT_TRUE(half.Connected());
    const DWORD first_half[2] = {0xDE55ADFF, 3};
    half.WriteRaw(first_half, sizeof(first_half));
    half.Disconnect();
    EXPECT_EQ(half.ExitCode(), 233u);

    // A gigabyte announced: refused before anything is allocated or awaited.
    const std::wstring big_id = L"{KR-TEST-BIG-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide big(big_id);
    ASSERT_TRUE(big.Start(setup_, L"-KR_temp -embedded:" + big_id));
    ASSERT_TRUE(big.Connected());
    big.Write(1, 0x40000000, nullptr, 0);
    EXPECT_EQ(big.ExitCode(), 233u);
}

TEST_F(Launcher, ProxyEndsWith233WhenAPayloadDoesNotArriveAnd87WithoutId)
{
    const std::wstring id = L"{KR-TEST-CUT-" + std::to_wstring(GetCurrentProcessId()) + L"}";
    EngineSide engine(id);
    ASSERT_TRUE(engine.Start(setup_, L"-KR_temp -embedded:" + id));
    ASSERT_TRUE(engine.Connected());
    const char part[8] = {};
    engine.Write(1, 100, part, sizeof(part));
    engine.Disconnect();
    EXPECT_EQ(engine.ExitCode(), 233u);

    EXPECT_EQ(Run(setup_, L"-KR_temp -embedded:"), 87u);
}

} // namespace
