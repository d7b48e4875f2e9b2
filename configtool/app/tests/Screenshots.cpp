// Shows the start panel and the main panel in real windows, in English and then in German, and
// writes their pictures into the folder named on the command line; then, in expert mode on a
// simulated encoder with a 100-pole ring, the calibration panel before and at the end of a
// successful run. With "connected" after the folder it instead lets the tool connect to the
// simulated demo encoder on its own and shows the connected main panel. Run under Xvfb, the
// pictures are the windows as the X server shows them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
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
#include "cvi/TestDriver.h"
#include "cvi/UserInterface.h"

namespace {

std::string g_folder;
int g_failures = 0;

void SavePicture(int panel, const char *name)
{
    const std::string path = g_folder + "\\" + name;
    int bitmap = 0;
    if (GetPanelDisplayBitmap(panel, &bitmap) < 0 || SaveBitmapToPNGFile(bitmap, path.c_str()) < 0) {
        std::fprintf(stderr, "no picture %s\n", path.c_str());
        ++g_failures;
    } else {
        std::printf("picture: %s\n", path.c_str());
    }
    DiscardBitmap(bitmap);
}

void Picture(cvi::TestDriver &driver, int panel, const char *name)
{
    driver.Advance(0.6);
    SavePicture(panel, name);
}

void ShowOnly(int shown, int hidden)
{
    HidePanel(hidden);
    DisplayPanel(shown);
}

// While a popup of the tool waits for its answer, the windows still paint.
void PaintWindows()
{
    const DWORD end = GetTickCount() + 600;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
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
        std::fprintf(stderr, "no connection to the simulated encoder\n");
        ++g_failures;
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
        if (popup.message == MessageText(37)) {
            PaintWindows();
            SavePicture(g_calibPanel, "calvista_calib_done_en.png");
        }
        return 1;
    });
    driver.Click(GetTabPanel(0), TAB_SYS_ROTATIVE_CALIB);
    driver.SetValue(g_calibPanel, CALIB_PAN_POLE_NUM, 100);
    driver.PressKey(g_calibPanel, CALIB_PAN_POLE_NUM, KEY_ENTER);
    Picture(driver, g_calibPanel, "calvista_calib_ready_en.png");

    // From pole 50 forward once round to the start poles and a whole turn, then back.
    encoder.SetFrameMotion([](std::uint64_t frames) {
        const double turned = static_cast<double>(frames) / 2.0;
        const double forward = 50.0 + 97.0;
        return (50.5 + (turned <= forward ? turned : 2 * forward - turned)) * 3.6;
    });
    driver.Click(g_calibPanel, CALIB_PAN_START_CALIB);
    if (driver.Popups().empty() || driver.Popups().back().message != MessageText(37)) {
        std::fprintf(stderr, "the calibration run did not succeed\n");
        ++g_failures;
    }
}

// The connection timer on the first panel, in real time, until the main panel shows.
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

// Connected to the demo encoder of the simulated driver: identification and parameters read.
void ConnectedPicture(cvi::TestDriver &driver)
{
    if (Connect(driver, 280.0)) {
        Picture(driver, g_mainPanel, "calvista_connected_en.png");
    } else {
        std::fprintf(stderr, "the demo encoder did not connect\n");
        ++g_failures;
    }
    SetTimerEnabled(ToolTimer::Main, false);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool connected = argc == 3 && std::string(argv[2]) == "connected";
    if (argc != 2 && !connected) {
        std::fprintf(stderr, "usage: calvista_screens <folder> [connected]\n");
        return 2;
    }
    if (connected) {
        // Read when ferrolink first loads the simulated driver.
        SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
        SetEnvironmentVariableA("VANTREL_SIM_DEMO", "1");
    }
    char folder[MAX_PATH] = {};
    GetFullPathNameA(argv[1], MAX_PATH, folder, nullptr);
    g_folder = folder;
    // A settings folder of its own, so the language chosen here stays here.
    _putenv_s("APPDATA", (g_folder + "\\appdata").c_str());

    cvi::TestDriver driver(cvi::TestDriver::Options{true});
    char *arguments[] = {argv[0], nullptr};
    if (InitializeKelto(1, arguments, kProgramName, kProgramVersion, kProgramFullTitle, kExpertPassword,
                        kShortRightsText, kLongRightsText) < 0)
        return 1;
    if (connected) {
        ConnectedPicture(driver);
        CleanUpKelto();
        return g_failures == 0 ? 0 : 1;
    }
    // No encoder will answer here; the start panel keeps its first status.
    SetTimerEnabled(ToolTimer::Init, false);
    Picture(driver, g_firstPanel, "calvista_first_en.png");

    // The main panel as the tool shows it before an encoder has been read.
    ShowOnly(g_mainPanel, g_firstPanel);
    SetLocalizedNotification(63, kSlotMainMessage);
    SetLocalizedNotification(19, kSlotConnectionState);
    Picture(driver, g_mainPanel, "calvista_main_en.png");

    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_DEUTSCH_LAN);
    Picture(driver, g_mainPanel, "calvista_main_de.png");
    ShowOnly(g_firstPanel, g_mainPanel);
    Picture(driver, g_firstPanel, "calvista_first_de.png");

    ShowOnly(g_mainPanel, g_firstPanel);
    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN);
    CalibrationPictures(driver);

    CleanUpKelto();
    return g_failures == 0 ? 0 : 1;
}
