// Shows the start panel and the main panel in real windows, in English and then in German, then
// lets the tool connect to the simulated demo encoder and shows the connected main panel; writes
// their pictures into the folder named on the command line. Run under Xvfb, the pictures are the
// windows as the X server shows them.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Languages.h"
#include "Panels.h"
#include "ProgramTexts.h"
#include "Startup.h"
#include "Timers.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/TestDriver.h"
#include "cvi/UserInterface.h"

namespace {

std::string g_folder;
int g_failures = 0;

void Picture(cvi::TestDriver &driver, int panel, const char *name)
{
    driver.Advance(0.6);
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

void ShowOnly(int shown, int hidden)
{
    HidePanel(hidden);
    DisplayPanel(shown);
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

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: calvista_screens <folder>\n");
        return 2;
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

    // Connected to the demo encoder of the simulated driver: identification and parameters read.
    ShowOnly(g_mainPanel, g_firstPanel);
    driver.ChooseMenuItem(MainMenuBar(), VANTREL_MENU_ENGLISH_LAN);
    ShowOnly(g_firstPanel, g_mainPanel);
    SetEnvironmentVariableA("VANTREL_SIMULATION", "1");
    SetEnvironmentVariableA("VANTREL_SIM_DEMO", "1");
    if (Connect(driver, 280.0)) {
        Picture(driver, g_mainPanel, "calvista_connected_en.png");
    } else {
        std::fprintf(stderr, "the demo encoder did not connect\n");
        ++g_failures;
    }
    SetTimerEnabled(ToolTimer::Main, false);

    CleanUpKelto();
    return g_failures == 0 ? 0 : 1;
}
