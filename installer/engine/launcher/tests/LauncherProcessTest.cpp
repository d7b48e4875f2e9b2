// Tessarel.exe as a real process: started from this Windows program, which
// reads its exit code with GetExitCodeProcess and what its (test) engine
// recorded.

#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "kr/inifilex.h"

namespace {

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1);
}

std::wstring TempFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, path);
    return path;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Folder(const std::wstring& path)
{
    return path.substr(0, path.rfind(L'\\'));
}

std::string ReadBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read)
        bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

std::wstring ReadUtf16(const std::wstring& path)
{
    const std::string bytes = ReadBytes(path);
    if (bytes.size() < 2)
        return std::wstring();
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

// The values under HKLM that Windows works through at the next restart.
std::wstring PendingRenames()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ, &key))
        return std::wstring();
    std::vector<wchar_t> data(65536);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return std::wstring();
    std::wstring joined(data.data(), size / sizeof(wchar_t));
    for (wchar_t& c : joined) {
        if (c == 0)
            c = L'|';
    }
    return joined;
}

class Launcher : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A folder with spaces in its name, like a download folder.
        folder_ = TempFolder() + L"kr launcher " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        setup_ = folder_ + L"\\My Setup.exe";
        ASSERT_TRUE(CopyFileW((ProgramFolder() + TESSAREL_EXE).c_str(), setup_.c_str(), FALSE));
        record_ = folder_ + L"\\record.ini";
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_RECORD", record_.c_str());
        for (const wchar_t* name : {L"KR_TEST_ENGINE_INIT", L"KR_TEST_ENGINE_RUN", L"KR_TEST_ENGINE_EXIT_NOW",
                                    L"KR_TEST_ENGINE_DELAY"})
            SetEnvironmentVariableW(name, nullptr);
    }

    void TearDown() override
    {
        for (const wchar_t* name : {L"record.ini", L"My Setup.exe", L"Korvanstilmer.log", L"log.txt", L"Marked.exe"})
            DeleteFileW((folder_ + L"\\" + name).c_str());
        RemoveDirectoryW(folder_.c_str());
        SetEnvironmentVariableW(L"KR_TEST_ENGINE_RECORD", nullptr);
    }

    // Starts a program and waits for it; its exit code, or ~0 when it did not end.
    static DWORD Run(const std::wstring& program, const std::wstring& arguments, DWORD timeout = 30000)
    {
        std::wstring command_line = L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
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

    std::wstring folder_;
    std::wstring setup_;
    std::wstring record_;
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

// Starts a program with a token whose Administrators group is for denial
// only (a non-elevated administrator) and gives its exit code.
DWORD RunNotElevated(const std::wstring& program, const std::wstring& arguments)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token))
        return ~0u - 1;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &administrators);
    SID_AND_ATTRIBUTES deny_only = {administrators, 0};
    HANDLE restricted = nullptr;
    const BOOL made = CreateRestrictedToken(token, 0, 1, &deny_only, 0, nullptr, 0, nullptr, &restricted);
    FreeSid(administrators);
    CloseHandle(token);
    if (!made)
        return ~0u - 1;
    std::wstring command_line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessAsUserW(restricted, nullptr, command_line.data(), nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &startup, &process);
    CloseHandle(restricted);
    if (!started)
        return ~0u - 1;
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
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
    EXPECT_NE(PendingRenames().find(copy), std::wstring::npos);
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

// The engine's side of a proxy: the named event and the pipe server.
class EngineSide {
public:
    explicit EngineSide(const std::wstring& id)
    {
        started_ = CreateEventW(nullptr, TRUE, FALSE, (L"KR_ProxyWaiter_" + id).c_str());
        pipe_ = CreateNamedPipeW((L"\\\\.\\pipe\\KREngine_" + id).c_str(), PIPE_ACCESS_DUPLEX,
                                 PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    }
    ~EngineSide()
    {
        CloseHandle(pipe_);
        CloseHandle(started_);
    }

    HANDLE process = nullptr;

    bool Start(const std::wstring& program, const std::wstring& arguments)
    {
        std::wstring command_line = L"\"" + program + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &info))
            return false;
        CloseHandle(info.hThread);
        process = info.hProcess;
        return true;
    }

    bool Connected()
    {
        if (WaitForSingleObject(started_, 20000) != WAIT_OBJECT_0)
            return false;
        return ConnectNamedPipe(pipe_, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
    }

    void Write(DWORD type, DWORD size, const void* payload, DWORD payload_bytes)
    {
        const DWORD header[4] = {0xDE55ADFF, type, size, 0x55ADFFDE};
        DWORD written = 0;
        WriteFile(pipe_, header, sizeof(header), &written, nullptr);
        if (payload_bytes)
            WriteFile(pipe_, payload, payload_bytes, &written, nullptr);
    }

    // Type and first word of the reply.
    std::pair<DWORD, DWORD> Read()
    {
        DWORD header[4] = {};
        DWORD status = 0xFFFFFFFF;
        DWORD read = 0;
        ReadFile(pipe_, header, sizeof(header), &read, nullptr);
        if (header[2] >= 4)
            ReadFile(pipe_, &status, 4, &read, nullptr);
        return {header[1], status};
    }

    void Disconnect() { DisconnectNamedPipe(pipe_); }

    DWORD ExitCode()
    {
        DWORD code = ~0u;
        if (WaitForSingleObject(process, 20000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process, &code);
        else
            TerminateProcess(process, 1);
        CloseHandle(process);
        process = nullptr;
        return code;
    }

private:
    HANDLE started_ = nullptr;
    HANDLE pipe_ = INVALID_HANDLE_VALUE;
};

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
