// Shows the start panel and the main panel in real windows, in English and then in German, and
// writes their pictures into the folder named on the command line; then the About box, which
// must close with Escape and with its close box; then, in expert mode on a simulated encoder with
// a 100-pole ring, the calibration panel before and at the end of a successful run. With
// "connected" after the folder it instead lets the tool connect to a simulated encoder on its own
// and shows the main panel before and once connected. The tool runs in virtual time, as in the
// headless tests; only the windows are real. Every picture is read back and checked: the panel's
// size, every shown control drawn, and the texts that must have changed. Run under Xvfb, the
// pictures are the windows as the X server shows them.
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "ConnectionSequence.h"
#include "EncoderRig.h"
#include "FieldPacking.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterPages.h"
#include "ProgramTexts.h"
#include "RegisterImage.h"
#include "Startup.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/PictureCheck.h"
#include "cvi/TestDriver.h"
#include "cvi/UserInterface.h"

namespace {

std::string g_folder;
int g_failures = 0;
std::map<std::string, cvi::PanelPicture> g_pictures;

void Fail(const std::string &what)
{
    std::fprintf(stderr, "%s\n", what.c_str());
    ++g_failures;
}

// Writes the panel's picture, reads it back and checks it against the panel.
void SavePicture(int panel, const char *name)
{
    const std::string path = g_folder + "\\" + name;
    int bitmap = 0;
    const bool saved = GetPanelDisplayBitmap(panel, &bitmap) >= 0 && SaveBitmapToPNGFile(bitmap, path.c_str()) >= 0;
    DiscardBitmap(bitmap);
    if (!saved) {
        Fail("no picture " + path);
        return;
    }
    const auto picture = cvi::ReadPanelPicture(path);
    if (!picture) {
        Fail(path + " is no PNG picture");
        return;
    }
    for (const std::string &fault : cvi::CheckPanelPicture(panel, *picture))
        Fail(std::string(name) + ": " + fault);
    g_pictures[name] = *picture;
    std::printf("picture: %s\n", path.c_str());
}

void Picture(cvi::TestDriver &driver, int panel, const char *name)
{
    driver.Advance(0.6);
    SavePicture(panel, name);
}

// The control's area must look different in the two pictures: its text changed in between.
void ExpectChanged(int panel, int control, const char *controlName, const char *first, const char *second)
{
    const auto a = g_pictures.find(first);
    const auto b = g_pictures.find(second);
    if (a == g_pictures.end() || b == g_pictures.end())
        return; // already reported
    if (!cvi::ControlAreaDiffers(panel, control, a->second, b->second))
        Fail(std::string(controlName) + " looks the same in " + first + " and " + second);
}

void ShowOnly(int shown, int hidden)
{
    HidePanel(hidden);
    DisplayPanel(shown);
}

// The main panel as the tool shows it before an encoder has been read.
void UnconnectedMainPicture(cvi::TestDriver &driver, const char *name)
{
    ShowOnly(g_mainPanel, g_firstPanel);
    SetLocalizedNotification(63, kSlotMainMessage);
    SetLocalizedNotification(19, kSlotConnectionState);
    Picture(driver, g_mainPanel, name);
}

struct TitleSearch {
    const char *title;
    HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM param)
{
    auto *wanted = reinterpret_cast<TitleSearch *>(param);
    char text[256] = {};
    GetWindowTextA(window, text, sizeof text);
    if (std::string(text) == wanted->title && IsWindowVisible(window)) {
        wanted->found = window;
        return FALSE;
    }
    return TRUE;
}

// A shown top-level window of this program with that title.
HWND OwnWindowTitled(const char *title)
{
    TitleSearch search{title, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchTitle, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The caption of a window without a menu, in screen coordinates: between its frame and its client area.
RECT CaptionOf(HWND window)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    POINT client{0, 0};
    ClientToScreen(window, &client);
    const LONG border = client.x - frame.left;
    return RECT{frame.left + border, frame.top + border, frame.right - border, client.y};
}

// The window's caption as the screen shows it holds more than one colour: a title and a close box
// are drawn, whether or not a window manager runs.
bool CaptionDrawn(HWND window)
{
    const RECT caption = CaptionOf(window);
    const int width = caption.right - caption.left;
    const int height = caption.bottom - caption.top;
    if (width <= 0 || height <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP strip = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, strip);
    BitBlt(memory, 0, 0, width, height, screen, caption.left, caption.top, SRCCOPY);
    const COLORREF first = GetPixel(memory, 0, 0);
    bool varied = false;
    for (int x = 0; x < width && !varied; ++x) {
        for (int y = 0; y < height && !varied; ++y)
            varied = GetPixel(memory, x, y) != first;
    }
    SelectObject(memory, previous);
    DeleteObject(strip);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return varied;
}

void ClickAt(int x, int y)
{
    SetCursorPos(x, y);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

// The About box, opened from the menu, closes with Escape and with its close box.
void AboutBoxCloses(cvi::TestDriver &driver)
{
    const char *title = "About";
    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ABOUT);
    Picture(driver, g_aboutPanel, "calvista_about_en.png");
    HWND about = OwnWindowTitled(title);
    if (!about) {
        Fail("the About box shows no window");
        return;
    }
    PostMessageA(about, WM_KEYDOWN, VK_ESCAPE, 0);
    driver.Advance(0.1);
    if (driver.IsShown(g_aboutPanel))
        Fail("Escape does not close the About box");

    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ABOUT);
    driver.Advance(0.1);
    about = OwnWindowTitled(title);
    if (!about || !CaptionDrawn(about)) {
        Fail("the About box has no caption on the screen");
        return;
    }
    // The close box is the caption's last button.
    const RECT caption = CaptionOf(about);
    ClickAt(caption.right - GetSystemMetrics(SM_CXSIZE) / 2 - 1, (caption.top + caption.bottom) / 2);
    driver.Advance(0.2);
    if (driver.IsShown(g_aboutPanel)) {
        Fail("the About box's close box does not close it");
        HidePanel(g_aboutPanel);
    }
}

// The calibration panel of an expert on a connected encoder with a 100-pole ring: ready to start
// after the ring parameters were calculated, and at the end of the run the operator turned.
void CalibrationPictures(cvi::TestDriver &driver)
{
    SetCtrlVal(g_passwordPanel, PSWD_PANEL_PSWD_PASSWORD, kExpertPassword);
    CheckPassword();
    SetTimerEnabled(ToolTimer::Init, false);
    ShowOnly(g_mainPanel, g_firstPanel);

    EncoderRig rig(*sim::kelto::KeltoScenario("standard"));
    sim::kelto::SimKeltoEncoder &encoder = rig.Encoder();
    encoder.MountRing(100);
    if (InitConnection() != 0) {
        Fail("no connection to the simulated encoder");
        return;
    }
    // The encoder's memory as the connection's full read leaves it.
    for (std::uint16_t address = 0; address < 700; ++address) {
        if (address < 96 || address >= 196)
            calvista::UpdateBuffers(address, 0, encoder.Eeprom(address));
    }
    calvista::SysCfgvectorToRegfields();
    calvista::DorvelCfgvectorToRegfields();
    Visualize();
    SetFwVerSpecific(true, true, true);
    driver.OnPopup([](const cvi::PopupRecord &popup) {
        if (popup.message == MessageText(37))
            SavePicture(g_calibPanel, "calvista_calib_done_en.png");
        return 1;
    });
    driver.Click(GetTabPanel(0), TAB_SYS_ROTATIVE_CALIB);
    // The pole count typed as an operator does.
    driver.Type(g_calibPanel, CALIB_PAN_POLE_NUM, "100");
    driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER);
    Picture(driver, g_calibPanel, "calvista_calib_ready_en.png");

    // From pole 50 forward once round to the start poles and a whole turn, then back.
    encoder.SetFrameMotion([](std::uint64_t frames) {
        const double turned = static_cast<double>(frames) / 2.0;
        const double forward = 50.0 + 97.0;
        return (50.5 + (turned <= forward ? turned : 2 * forward - turned)) * 3.6;
    });
    driver.Click(g_calibPanel, CALIB_PAN_START_CALIB);
    if (driver.Popups().empty() || driver.Popups().back().message != MessageText(37))
        Fail("the calibration run did not succeed");
    ExpectChanged(g_calibPanel, CALIB_PAN_CALIB_NOTIFICATION, "CALIB_NOTIFICATION", "calvista_calib_ready_en.png",
                  "calvista_calib_done_en.png");
}

// The connection timer on the first panel until the main panel shows.
bool Connect(cvi::TestDriver &driver, double mostSeconds)
{
    SetTimerEnabled(ToolTimer::Init, true);
    for (double waited = 0.0; waited < mostSeconds; waited += 0.5) {
        driver.Advance(0.5);
        int visible = 0;
        if (GetPanelAttribute(g_mainPanel, ATTR_VISIBLE, &visible) >= 0 && visible)
            return true;
    }
    return false;
}

// Connected to a simulated encoder: identification and parameters read.
void ConnectedPictures(cvi::TestDriver &driver)
{
    SetTimerEnabled(ToolTimer::Init, false);
    UnconnectedMainPicture(driver, "calvista_unconnected_en.png");
    ShowOnly(g_firstPanel, g_mainPanel);
    EncoderRig rig(*sim::kelto::KeltoScenario("standard"));
    if (!Connect(driver, 60.0)) {
        Fail("the simulated encoder did not connect");
        return;
    }
    Picture(driver, g_mainPanel, "calvista_connected_en.png");
    SetTimerEnabled(ToolTimer::Main, false);
    ExpectChanged(g_mainPanel, MAIN_PANEL_VANTREL_CONN_STATUS_TXT, "VANTREL_CONN_STATUS_TXT",
                  "calvista_unconnected_en.png", "calvista_connected_en.png");
    ExpectChanged(g_mainPanel, MAIN_PANEL_VANTREL_TYPECODE, "VANTREL_TYPECODE", "calvista_unconnected_en.png",
                  "calvista_connected_en.png");
}

} // namespace

int main(int argc, char *argv[])
{
    const bool connected = argc == 3 && std::string(argv[2]) == "connected";
    if (argc != 2 && !connected) {
        std::fprintf(stderr, "usage: calvista_screens <folder> [connected]\n");
        return 2;
    }
    char folder[MAX_PATH] = {};
    GetFullPathNameA(argv[1], MAX_PATH, folder, nullptr);
    g_folder = folder;
    // A settings folder of its own, so the language chosen here stays here.
    _putenv_s("APPDATA", (g_folder + "\\appdata").c_str());

    cvi::TestDriver driver(cvi::TestDriver::Options{true, true});
    char *arguments[] = {argv[0], nullptr};
    if (InitializeKelto(1, arguments, kProgramName, kProgramVersion, kProgramFullTitle, kExpertPassword,
                        kShortRightsText, kLongRightsText) < 0)
        return 1;
    if (connected) {
        ConnectedPictures(driver);
        CleanUpKelto();
        return g_failures == 0 ? 0 : 1;
    }
    // No encoder will answer here; the start panel keeps its first status.
    SetTimerEnabled(ToolTimer::Init, false);
    Picture(driver, g_firstPanel, "calvista_first_en.png");
    UnconnectedMainPicture(driver, "calvista_main_en.png");

    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_DEUTSCH_LAN);
    Picture(driver, g_mainPanel, "calvista_main_de.png");
    ShowOnly(g_firstPanel, g_mainPanel);
    Picture(driver, g_firstPanel, "calvista_first_de.png");
    ExpectChanged(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE, "MAIN_MESSAGE", "calvista_main_en.png", "calvista_main_de.png");
    ExpectChanged(g_firstPanel, FIRSTPANEL_INIT_STATUS_TXT, "INIT_STATUS_TXT", "calvista_first_en.png",
                  "calvista_first_de.png");

    ShowOnly(g_mainPanel, g_firstPanel);
    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN);
    AboutBoxCloses(driver);
    CalibrationPictures(driver);

    CleanUpKelto();
    return g_failures == 0 ? 0 : 1;
}
