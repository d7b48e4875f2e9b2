#include "ToolFixture.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Panels.h"
#include "RegisterImage.h"
#include "Startup.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace fs = std::filesystem;

namespace {

fs::path NewScratchFolder()
{
    static std::atomic<int> counter{0};
    const fs::path folder = fs::temp_directory_path() / ("calvista_test_" + std::to_string(GetCurrentProcessId()) +
                                                         "_" + std::to_string(counter++));
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

} // namespace

ToolTest::ToolTest() : ToolTest(cvi::TestDriver::Options{}) {}

ToolTest::ToolTest(cvi::TestDriver::Options options)
    : driver(options), scratch(NewScratchFolder()), previousFolder_(fs::current_path())
{
    // The tests run in their source folder; the language files are the program's own.
    fs::create_directories(scratch / "Localization");
    for (const char *name : {"English.lwl", "Deutsch.lwl"})
        fs::copy_file(previousFolder_ / ".." / "Localization" / name, scratch / "Localization" / name);
    fs::create_directories(scratch / "AppData");
    if (const char *appData = std::getenv("APPDATA"))
        previousAppData_ = appData;
    _putenv_s("APPDATA", (scratch / "AppData").string().c_str());
    fs::current_path(scratch);
}

ToolTest::~ToolTest()
{
    CleanUpKelto();
    fs::current_path(previousFolder_);
    _putenv_s("APPDATA", previousAppData_.c_str());
    std::error_code ignored;
    fs::remove_all(scratch, ignored);
}

int ToolTest::Start(std::vector<std::string> arguments, const char *version)
{
    std::vector<std::string> texts{"Calvista.exe"};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (std::string &text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    return InitializeKelto(static_cast<int>(texts.size()), argv.data(), kProgramName, version, kProgramFullTitle,
                           kExpertPassword, kShortRightsText, kLongRightsText);
}

fs::path ToolTest::SettingsPath() const
{
    return scratch / "AppData" / "Venkor" / "Vantrel Configuration Tool" / "Calvista.ini";
}

void ToolTest::WriteSettings(const std::string &content) const
{
    fs::create_directories(SettingsPath().parent_path());
    std::ofstream(SettingsPath(), std::ios::binary) << content;
}

std::string ToolTest::ReadSettings() const
{
    std::ifstream file(SettingsPath(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void ToolTest::RemoveLanguageFile(const char *name) const
{
    fs::remove(scratch / "Localization" / name);
}

std::string ToolTest::Text(int panel, int control) const
{
    int length = 0;
    if (GetCtrlAttribute(panel, control, ATTR_STRING_TEXT_LENGTH, &length) < 0)
        return "<no text>";
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    GetCtrlVal(panel, control, text.data());
    text.resize(static_cast<std::size_t>(length));
    return text;
}

bool ToolTest::TabPageVisible(int page) const
{
    int visible = 0;
    GetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_VISIBLE, &visible);
    return visible != 0;
}

bool ToolTest::MenuChecked(int menuBar, int entry) const
{
    int checked = 0;
    GetMenuBarAttribute(menuBar, entry, ATTR_CHECKED, &checked);
    return checked != 0;
}

bool ToolTest::MenuDimmed(int entry) const
{
    int dimmed = 0;
    GetMenuBarAttribute(MainMenuBar(), entry, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

bool ToolTest::ControlVisible(int panel, int control) const
{
    int visible = 0;
    GetCtrlAttribute(panel, control, ATTR_VISIBLE, &visible);
    return visible != 0;
}

MainPanelTest::MainPanelTest(cvi::TestDriver::Options options) : ToolTest(options)
{
    const auto sys = calvista::SysFieldTable();
    const auto dorvel = calvista::DorvelFieldTable();
    savedFields_.assign(sys.begin(), sys.end());
    savedFields_.insert(savedFields_.end(), dorvel.begin(), dorvel.end());
    Start();
    SetTimerEnabled(ToolTimer::Init, false);
    HidePanel(g_firstPanel);
    DisplayPanel(g_mainPanel);
}

MainPanelTest::~MainPanelTest()
{
    const auto sys = calvista::SysFieldTable();
    const auto dorvel = calvista::DorvelFieldTable();
    std::copy_n(savedFields_.begin(), sys.size(), sys.begin());
    std::copy_n(savedFields_.begin() + static_cast<std::ptrdiff_t>(sys.size()), dorvel.size(), dorvel.begin());
    calvista::InitAllDatabuffers();
}

void MainPanelTest::PutText(std::uint16_t address, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        PutByte(static_cast<std::uint16_t>(address + i), static_cast<unsigned char>(text[i]));
}

void MainPanelTest::PutByte(std::uint16_t address, std::uint16_t cell)
{
    ASSERT_TRUE(calvista::UpdateBuffers(address, 0, cell));
}

void MainPanelTest::EnterExpertMode()
{
    g_expertMode = 1;
    for (int page = 2; page <= 3; ++page)
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, page, ATTR_VISIBLE, 1);
}

bool MainPanelTest::Dimmed(int panel, int control) const
{
    int dimmed = 0;
    GetCtrlAttribute(panel, control, ATTR_DIMMED, &dimmed);
    return dimmed != 0;
}

int MainPanelTest::Value(int panel, int control) const
{
    int value = 0;
    GetCtrlVal(panel, control, &value);
    return value;
}
