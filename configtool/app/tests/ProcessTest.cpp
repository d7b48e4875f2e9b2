// Calvista.exe as a process: with ferrolink beside it, it shows its first panel in the language of
// the settings file, creates that file on the first start and ends with 0 once the first panel is
// closed; without ferrolink it does not start.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr DWORD kStatusDllNotFound = 0xC0000135;

fs::path BinFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return fs::path(path).parent_path();
}

class Process {
public:
    Process(const fs::path &program, const fs::path &folder, const std::wstring &arguments = {})
    {
        std::wstring commandLine = L"\"" + program.wstring() + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  folder.c_str(), &startup, &info_) != FALSE;
    }
    ~Process()
    {
        if (!started_)
            return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info_.hProcess, 1);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool Started() const { return started_; }
    DWORD Id() const { return info_.dwProcessId; }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD WaitForExit(DWORD milliseconds) const
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info_.hProcess, milliseconds) == WAIT_OBJECT_0)
            GetExitCodeProcess(info_.hProcess, &code);
        return code;
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

struct WindowSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto *search = reinterpret_cast<WindowSearch *>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (owner == search->process && IsWindowVisible(window) && std::string(title) == "Vantrel Configuration Tool") {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The program's one visible panel window, once it shows.
HWND WaitForPanel(const Process &process)
{
    for (int attempt = 0; attempt < 600; ++attempt) {
        WindowSearch search{process.Id(), nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    }
    return nullptr;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    reinterpret_cast<std::vector<std::string> *>(param)->push_back(text);
    return TRUE;
}

std::vector<std::string> ChildTexts(HWND window)
{
    std::vector<std::string> texts;
    EnumChildWindows(window, CollectText, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// The panel shows before the start-up has filled in its last texts, so a text may come a little later.
bool ShowsText(HWND panel, const std::string &text)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        for (const std::string &each : ChildTexts(panel)) {
            if (each == text)
                return true;
        }
        Sleep(50);
    }
    return false;
}

class ProgramTest : public ::testing::Test {
protected:
    ProgramTest()
        : scratch(fs::temp_directory_path() / ("calvista_process_" + std::to_string(GetCurrentProcessId())))
    {
        fs::remove_all(scratch);
        fs::create_directories(scratch / "AppData");
        SetEnvironmentVariableW(L"APPDATA", (scratch / "AppData").c_str());
    }
    ~ProgramTest() override
    {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    }

    fs::path SettingsPath() const
    {
        return scratch / "AppData" / "Venkor" / "Vantrel Configuration Tool" / "Calvista.ini";
    }

    std::string Settings() const
    {
        std::ifstream file(SettingsPath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }

    fs::path scratch;
};

} // namespace

TEST_F(ProgramTest, StartsConnectingAndEndsWithZeroWhenClosed)
{
    Process program(BinFolder() / "Calvista.exe", BinFolder());
    ASSERT_TRUE(program.Started());
    const HWND panel = WaitForPanel(program);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(ShowsText(panel, "Connecting..."));
    EXPECT_NE(Settings().find("Language = \"EN\""), std::string::npos);

    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(30000), 0u);
}

TEST_F(ProgramTest, StartsInTheLanguageOfTheSettingsFile)
{
    fs::create_directories(SettingsPath().parent_path());
    std::ofstream(SettingsPath(), std::ios::binary) << "[Configuration]\r\nLanguage = \"DE\"\r\n";
    Process program(BinFolder() / "Calvista.exe", BinFolder());
    ASSERT_TRUE(program.Started());
    const HWND panel = WaitForPanel(program);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(ShowsText(panel, "Verbinden..."));
    EXPECT_TRUE(ShowsText(panel, "Suche nach einem Vantrel Geber"));
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(30000), 0u);
}

TEST_F(ProgramTest, TheExpertSwitchOpensThePasswordPanel)
{
    Process program(BinFolder() / "Calvista.exe", BinFolder(), L"-expert");
    ASSERT_TRUE(program.Started());
    const HWND panel = WaitForPanel(program);
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(ShowsText(panel, "Please enter the expert password."));
    PostMessageW(panel, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(30000), 0u);
}

TEST_F(ProgramTest, DoesNotStartWithoutFerrolink)
{
    fs::copy_file(BinFolder() / "Calvista.exe", scratch / "Calvista.exe");
    Process program(scratch / "Calvista.exe", scratch);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.WaitForExit(30000), kStatusDllNotFound);
}
