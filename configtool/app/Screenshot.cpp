// The screenshot of the view menu: the main panel's picture, named after the local time, saved
// where the operator chooses.
#include <ctime>
#include <string>

#include "FileDialogFolder.h"
#include "Languages.h"
#include "Panels.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

constexpr int kPathSize = 260; // what the file-selection popup fills in

std::string Format(const char *format, const std::tm &localTime)
{
    char text[64] = {};
    const std::size_t length = std::strftime(text, sizeof text, format, &localTime);
    return std::string(text, length);
}

std::string ScreenshotFileName(const std::tm &localTime)
{
    return "Screenshot_" + Format("%Y%m%d_%H%M%S", localTime) + ".png";
}

// Shown in DATETIME_PRINTSCRN while the picture is taken.
std::string ScreenshotDisplayStamp(const std::tm &localTime)
{
    return Format("%Y-%m-%d %H:%M:%S", localTime);
}

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm localTime{};
    if (const std::tm *converted = std::localtime(&now))
        localTime = *converted;
    return localTime;
}

// A picture of a panel, discarded with its holder whatever becomes of it.
class PanelPicture {
public:
    explicit PanelPicture(int panel) : status_(GetPanelDisplayBitmap(panel, &bitmap_)) {}
    ~PanelPicture()
    {
        if (Taken())
            DiscardBitmap(bitmap_);
    }
    PanelPicture(const PanelPicture &) = delete;
    PanelPicture &operator=(const PanelPicture &) = delete;

    bool Taken() const { return status_ >= 0; }
    int SaveAsPng(const char *path) const { return SaveBitmapToPNGFile(bitmap_, path); }

private:
    int bitmap_ = 0;
    int status_;
};

bool OverwriteConfirmed()
{
    return LocalizedGenericMessagePopup(2, 16, 8, 9, 0, VAL_GENERIC_POPUP_ALIGN_CENTER, VAL_GENERIC_POPUP_BTN2,
                                        VAL_GENERIC_POPUP_NO_BUTTON, VAL_GENERIC_POPUP_BTN2) == VAL_GENERIC_POPUP_BTN1;
}

void SaveScreenshot(const PanelPicture &picture, const char *path)
{
    const int status = picture.SaveAsPng(path);
    SetCtrlVal(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN, "");
    if (status < 0)
        LocalizedMessagePopup(0, 43);
}

void MakeScreenshot()
{
    const std::tm now = LocalTimeNow();
    SetCtrlVal(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN, ScreenshotDisplayStamp(now).c_str());

    const PanelPicture picture(g_mainPanel);
    if (!picture.Taken()) {
        SetCtrlVal(g_mainPanel, MAIN_PANEL_DATETIME_PRINTSCRN, "");
        LocalizedMessagePopup(0, 43);
        return;
    }

    // The first file dialog of a run, of any kind, starts in the user's profile folder.
    const std::string folder = FileDialogFolder();
    char path[kPathSize] = {};
    const int selection = FileSelectPopupEx(folder.c_str(), ScreenshotFileName(now).c_str(), "*.png", "Screenshot",
                                            VAL_SAVE_BUTTON, 0, 1, path);
    if (selection < 0)
        LocalizedMessagePopup(0, 15);
    else if (selection == VAL_NEW_FILE_SELECTED || (selection == VAL_EXISTING_FILE_SELECTED && OverwriteConfirmed()))
        SaveScreenshot(picture, path);
}

} // namespace

int SCREENSHOT_CB(int, int menuItem, void *, int)
{
    if (menuItem == VANTREL_MENU_MAKESCREENSHOT)
        MakeScreenshot();
    return 0;
}
