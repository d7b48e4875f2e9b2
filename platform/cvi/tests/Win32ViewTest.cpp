// The Win32 view: real windows for the test panel, their input handed to the model, and the
// loop waiting for messages until the next timer is due (system clock, Wine's null driver).
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Cvi_Test_uir.h"
#include "TestCallbacks.h"
#include "TestFiles.h"
#include "cvi/TestDriver.h"
#include "cvi/UserInterface.h"
#include "win32/Win32Dialogs.h"
#include <gtest/gtest.h>

namespace {

struct ChildWindow {
    HWND window;
    std::string className;
    int id;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM param)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    reinterpret_cast<std::vector<ChildWindow> *>(param)->push_back(
        {window, name, GetDlgCtrlID(window)});
    return TRUE;
}

std::vector<ChildWindow> Children(HWND parent)
{
    std::vector<ChildWindow> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND ChildOf(HWND parent, const char *className, int id)
{
    for (const ChildWindow &child : Children(parent)) {
        if (_stricmp(child.className.c_str(), className) == 0 && child.id == id && GetParent(child.window) == parent)
            return child.window;
    }
    return nullptr;
}

std::string Text(HWND window)
{
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

struct WindowSearch {
    const char *className;
    const char *title;
    HWND found;
};

BOOL CALLBACK MatchOwnWindow(HWND candidate, LPARAM param)
{
    auto *wanted = reinterpret_cast<WindowSearch *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(candidate, &process);
    char name[64] = {};
    char text[256] = {};
    GetClassNameA(candidate, name, sizeof name);
    GetWindowTextA(candidate, text, sizeof text);
    if (process == GetCurrentProcessId() && _stricmp(name, wanted->className) == 0 && std::string(text) == wanted->title) {
        wanted->found = candidate;
        return FALSE;
    }
    return TRUE;
}

// A top-level window of this process: tests running side by side share Wine's desktop, and a
// window of another one must never be taken for ours.
HWND OwnWindow(const char *className, const char *title)
{
    WindowSearch search{className, title, nullptr};
    EnumWindows(MatchOwnWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

POINT Centre(HWND window)
{
    RECT area{};
    GetWindowRect(window, &area);
    return POINT{(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

void ExpectSameCentre(HWND window, HWND over)
{
    const POINT a = Centre(window);
    const POINT b = Centre(over);
    EXPECT_LE(std::abs(a.x - b.x), 1) << a.x << " vs " << b.x;
    EXPECT_LE(std::abs(a.y - b.y), 1) << a.y << " vs " << b.y;
}

class Win32ViewTest : public ::testing::Test {
protected:
    Win32ViewTest() : driver(cvi::TestDriver::Options{true})
    {
        ResetLog();
        main = LoadPanel(0, "Cvi_Test.uir", MAIN);
        GetPanelHandleFromTabPage(main, MAIN_PAGES, 1, &pageTwo);
        DisplayPanel(main);
        window = OwnWindow("CviPanelWindow", "Test Panel");
    }

    cvi::TestDriver driver;
    int main = 0;
    int pageTwo = 0;
    HWND window = nullptr;
};

} // namespace

TEST_F(Win32ViewTest, PanelIsARealWindowWithNativeControlsAndAMenu)
{
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 540);

    std::vector<std::string> classes;
    for (const ChildWindow &child : Children(window))
        classes.push_back(child.className);
    for (const char *expected : {"Edit", "msctls_updown32", "ComboBox", "Button", "Static", "SysTabControl32",
                                 "msctls_progress32"}) {
        bool found = false;
        for (const std::string &name : classes)
            found = found || _stricmp(name.c_str(), expected) == 0;
        EXPECT_TRUE(found) << expected;
    }
    HWND ring = ChildOf(window, "ComboBox", MAIN_MODE);
    ASSERT_NE(ring, nullptr);
    EXPECT_EQ(SendMessageA(ring, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageA(ring, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(ChildOf(window, "Edit", MAIN_COUNT)), "350");
    EXPECT_EQ(Text(ChildOf(window, "Button", MAIN_APPLY)), "&Apply");

    HMENU menu = GetMenu(window);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    char label[32] = {};
    GetMenuStringA(menu, 0, label, sizeof label, MF_BYPOSITION);
    EXPECT_STREQ(label, "&File");

    // The program's changes reach the windows.
    SetCtrlVal(main, MAIN_COUNT, 12);
    SetCtrlAttribute(main, MAIN_APPLY, ATTR_DIMMED, 1);
    SetMenuBarAttribute(GetPanelMenuBar(main), TEST_MENU_QUIT, ATTR_DIMMED, 1);
    SetPanelAttribute(main, ATTR_TITLE, "Renamed");
    EXPECT_EQ(Text(ChildOf(window, "Edit", MAIN_COUNT)), "12");
    EXPECT_FALSE(IsWindowEnabled(ChildOf(window, "Button", MAIN_APPLY)));
    EXPECT_TRUE(GetMenuState(GetMenu(window), TEST_MENU_QUIT, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_EQ(Text(window), "Renamed");
    HidePanel(main);
    EXPECT_FALSE(IsWindowVisible(window));
}

TEST_F(Win32ViewTest, WindowInputReachesTheModelThroughTheLoop)
{
    ASSERT_NE(window, nullptr);
    HWND apply = ChildOf(window, "Button", MAIN_APPLY);
    HWND count = ChildOf(window, "Edit", MAIN_COUNT);
    Log().onEvent = [](const RecordedEvent &entry) {
        if (entry.control == MAIN_APPLY && entry.event == EVENT_COMMIT)
            QuitUserInterface(5);
    };
    PostMessageA(count, WM_CHAR, '7', 0);
    PostMessageA(count, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(TEST_MENU_QUIT, 0), 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(MAIN_APPLY, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    EXPECT_EQ(RunUserInterface(), 5);

    unsigned short value = 0;
    GetCtrlVal(main, MAIN_COUNT, &value);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(Text(count), "7");
    EXPECT_EQ(Log().EventsOf(main, MAIN_COUNT),
              (std::vector<int>{EVENT_KEYPRESS, EVENT_VAL_CHANGED, EVENT_KEYPRESS, EVENT_COMMIT}));
    ASSERT_EQ(Log().menuChoices.size(), 1u);
    EXPECT_EQ(Log().menuChoices[0].control, TEST_MENU_QUIT);
    EXPECT_EQ(Log().EventsOf(main, 0), std::vector<int>{EVENT_CLOSE});

    // A dimmed button's click, however it arrives, is refused by the model.
    ResetLog();
    SetCtrlAttribute(main, MAIN_APPLY, ATTR_DIMMED, 1);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(MAIN_APPLY, BN_CLICKED), reinterpret_cast<LPARAM>(apply));
    ProcessSystemEvents();
    EXPECT_TRUE(Log().EventsOf(main, MAIN_APPLY).empty());
}

TEST_F(Win32ViewTest, TabSelectionShowsThePageWindow)
{
    ASSERT_NE(window, nullptr);
    HWND tab = ChildOf(window, "SysTabControl32", MAIN_PAGES);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 2);
    SendMessageA(tab, TCM_SETCURSEL, 1, 0);
    NMHDR header{tab, static_cast<UINT_PTR>(MAIN_PAGES), static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(window, WM_NOTIFY, MAIN_PAGES, reinterpret_cast<LPARAM>(&header));
    ProcessSystemEvents();
    int active = -1;
    GetActiveTabPage(main, MAIN_PAGES, &active);
    EXPECT_EQ(active, 1);
    EXPECT_EQ(Log().Of(EVENT_ACTIVE_TAB_CHANGE).size(), 1u);
    HWND run = nullptr;
    for (const ChildWindow &child : Children(window)) {
        if (_stricmp(child.className.c_str(), "Button") == 0 && Text(child.window) == "Run")
            run = child.window;
    }
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(IsWindowVisible(run));
    SetTabPageAttribute(main, MAIN_PAGES, 1, ATTR_VISIBLE, 0);
    EXPECT_EQ(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_FALSE(IsWindowVisible(run));
}

TEST_F(Win32ViewTest, TimersTickInRealTimeWhileTheLoopWaitsForMessages)
{
    SetCtrlAttribute(main, MAIN_TICK, ATTR_ENABLED, 1);
    Log().onTick = [](int) {
        if (Log().ticks == 3)
            QuitUserInterface(9);
    };
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(RunUserInterface(), 9);
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 700u);
    EXPECT_EQ(Log().deepestTick, 1);
}

TEST_F(Win32ViewTest, PictureOfAShownPanelIsWrittenAsPng)
{
    int bitmap = 0;
    ASSERT_EQ(GetPanelDisplayBitmap(main, &bitmap), 0);
    TemporaryFolder folder;
    const std::string path = folder.File("view.png");
    ASSERT_EQ(SaveBitmapToPNGFile(bitmap, path.c_str()), 0);
    DiscardBitmap(bitmap);
    // The window's own pixels: the lamp and the tab's page are drawn into it.
    const DecodedPng decoded = DecodePng(ReadWholeFile(path));
    EXPECT_TRUE(decoded.crcsValid);
    EXPECT_EQ(decoded.width, 540u);
    EXPECT_EQ(decoded.height, 440u);
    EXPECT_TRUE(decoded.Contains(0x00C000));
}

TEST_F(Win32ViewTest, APopupPanelOpensCentredOnThePanelThatRaisedItAndEscapeClosesIt)
{
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    const int dialog = LoadPanel(0, "Cvi_Test.uir", DIALOG);
    ASSERT_EQ(InstallPopup(dialog), 0);
    HWND popup = OwnWindow("CviPanelWindow", "Dialog");
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(IsWindowVisible(popup));
    ExpectSameCentre(popup, window);

    // Escape on the popup (its button has the focus) counts as its close box.
    PostMessageA(ChildOf(popup, "Button", DIALOG_OK), WM_KEYDOWN, VK_ESCAPE, 0);
    ProcessSystemEvents();
    EXPECT_EQ(Log().EventsOf(dialog, 0), std::vector<int>{EVENT_CLOSE});
    EXPECT_TRUE(Log().EventsOf(dialog, DIALOG_OK).empty());
    // Refused with the close box: Escape is refused too.
    ResetLog();
    SetPanelAttribute(dialog, ATTR_CLOSE_ENABLED, 0);
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    ProcessSystemEvents();
    EXPECT_TRUE(Log().EventsOf(dialog, 0).empty());
    // Escape on a panel that is no popup is an ordinary key.
    HidePanel(dialog);
    PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
    ProcessSystemEvents();
    EXPECT_TRUE(Log().EventsOf(main, 0).empty());
    DiscardPanel(dialog);
}

// Waits on a thread of its own for a window of this process to show (a popup runs its own loop
// meanwhile), notes where it is, and closes it with the message given.
class PopupWatcher {
public:
    PopupWatcher(const char *className, const char *title, UINT message, WPARAM wParam)
        : thread_([=, this] {
              // Up to half a minute: a popup never closed would hold the test forever.
              for (int attempt = 0; attempt < 1500; ++attempt) {
                  HWND popup = OwnWindow(className, title);
                  if (popup && IsWindowVisible(popup)) {
                      GetWindowRect(popup, &area_);
                      seen_ = true;
                      PostMessageA(popup, message, wParam, 0);
                      return;
                  }
                  Sleep(20);
              }
          })
    {
    }
    ~PopupWatcher() { Join(); }

    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool Seen() const { return seen_; }
    POINT Centre() const { return POINT{(area_.left + area_.right) / 2, (area_.top + area_.bottom) / 2}; }

private:
    RECT area_{};
    bool seen_ = false;
    std::thread thread_;
};

void ExpectCentredOn(const PopupWatcher &watcher, HWND window)
{
    ASSERT_TRUE(watcher.Seen());
    const POINT panel = Centre(window);
    EXPECT_LE(std::abs(watcher.Centre().x - panel.x), 1) << watcher.Centre().x << " vs " << panel.x;
    EXPECT_LE(std::abs(watcher.Centre().y - panel.y), 1) << watcher.Centre().y << " vs " << panel.y;
}

TEST_F(Win32ViewTest, MessagePopupsAndFileDialogsOpenCentredOnTheActivePanel)
{
    ASSERT_NE(window, nullptr);
    SetWindowPos(window, nullptr, 60, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetActiveWindow(window);
    cvi::Win32Dialogs dialogs;
    {
        PopupWatcher watcher("CviPopupWindow", "Note", WM_CLOSE, 0);
        cvi::GenericPopupRequest request;
        request.title = "Note";
        request.message = "Centred on its panel";
        request.buttons = {"OK", "", ""};
        request.enterButton = 1;
        request.escapeButton = 1;
        EXPECT_EQ(dialogs.Generic(request), 1);
        watcher.Join();
        ExpectCentredOn(watcher, window);
    }
    {
        PopupWatcher watcher("#32770", "Pick a file", WM_COMMAND, IDCANCEL);
        cvi::FileSelectRequest request;
        request.title = "Pick a file";
        request.defaultFileSpec = "*.txt";
        cvi::FileSelectAnswer answer;
        EXPECT_EQ(dialogs.SelectFile(request, answer), 0);
        EXPECT_FALSE(answer.chosen);
        watcher.Join();
        ExpectCentredOn(watcher, window);
    }
}
