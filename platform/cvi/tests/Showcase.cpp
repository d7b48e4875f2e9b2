// Shows the test panel in a real window through the run-time a program gets, fills its
// controls, and after two timer ticks writes the panel's picture to the PNG file named on the
// command line and checks it: the panel's size, every shown control drawn, the name typed in.
// Run under Xvfb the picture is the window as the X server shows it.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "Cvi_Test_uir.h"
#include "TestCallbacks.h"
#include "cvi/PictureCheck.h"
#include "cvi/UserInterface.h"

namespace {

const char *g_output = nullptr;
int g_result = 1;

std::optional<cvi::PanelPicture> SavePicture(int panel, const char *path)
{
    int bitmap = 0;
    const bool saved = GetPanelDisplayBitmap(panel, &bitmap) == 0 && SaveBitmapToPNGFile(bitmap, path) == 0;
    DiscardBitmap(bitmap);
    if (!saved) {
        std::fprintf(stderr, "no picture written to %s\n", path);
        return std::nullopt;
    }
    auto picture = cvi::ReadPanelPicture(path);
    if (!picture)
        std::fprintf(stderr, "%s is no PNG picture\n", path);
    return picture;
}

void TakePicture(int panel)
{
    QuitUserInterface(0);
    const auto picture = SavePicture(panel, g_output);
    if (!picture)
        return;
    const std::vector<std::string> faults = cvi::CheckPanelPicture(panel, *picture);
    for (const std::string &fault : faults)
        std::fprintf(stderr, "%s\n", fault.c_str());
    // The name field shows what was put in: its picture differs from one with the field empty.
    const std::string empty = std::string(g_output) + ".empty.png";
    SetCtrlVal(panel, MAIN_NAME, "");
    const auto without = SavePicture(panel, empty.c_str());
    const bool nameShown = without && cvi::ControlAreaDiffers(panel, MAIN_NAME, *picture, *without);
    if (!nameShown)
        std::fprintf(stderr, "the name field looks the same with and without its text\n");
    std::remove(empty.c_str());
    g_result = faults.empty() && nameShown ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cvi_showcase <picture.png>\n");
        return 2;
    }
    g_output = argv[1];
    if (InitUserInterface(argc, argv) < 0)
        return 1;
    const int panel = LoadPanel(0, "Cvi_Test.uir", MAIN);
    if (panel < 0)
        return 1;
    int page = 0;
    GetPanelHandleFromTabPage(panel, MAIN_PAGES, 0, &page);
    SetCtrlVal(panel, MAIN_NAME, "Kelto");
    SetCtrlVal(panel, MAIN_STATUS, "Connection OK.");
    SetCtrlVal(page, PAGE_ONE_SHOWN, 42);
    int positions[200];
    for (int i = 0; i < 200; ++i)
        positions[i] = (i * 37) % 101 + i / 2;
    PlotY(page, PAGE_ONE_PLOT, positions, 200, VAL_INTEGER, VAL_CONNECTED_POINTS, 24, 0, 1, 0x0000FF);
    const int line[] = {0, 199};
    const int level[] = {60, 60};
    SetCtrlAttribute(page, PAGE_ONE_PLOT, ATTR_GRAPH_PLOT_LAYER, 3);
    PlotXY(page, PAGE_ONE_PLOT, line, level, 2, VAL_INTEGER, VAL_INTEGER, VAL_THIN_LINE, 24, 0, 1, 0xFF0000);
    DisplayPanel(panel);
    Log().onTick = [panel](int) {
        if (Log().ticks == 2)
            TakePicture(panel);
    };
    SetCtrlAttribute(panel, MAIN_TICK, ATTR_ENABLED, 1);
    RunUserInterface();
    DiscardPanel(panel);
    return g_result;
}
