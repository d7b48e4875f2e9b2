// Entry points of the blocking popups, panel pictures and the toolbox waits.
#include <cmath>

#include "ApiSupport.h"
#include "FileReplace.h"
#include "PngFile.h"
#include "cvi/Toolbox.h"
#include "cvi/UserInterface.h"

using cvi::Runtime;
using cvi::WithRuntime;

namespace {

std::string Text(const char *text)
{
    return text ? std::string(text) : std::string();
}

} // namespace

int MessagePopup(const char *title, const char *message)
{
    return WithRuntime([=](Runtime &rt) { return rt.MessagePopup(Text(title), Text(message)); });
}

int GenericMessagePopup(const char *title, const char *message, const char *button1, const char *button2,
                        const char *button3, int buttonAlignment, int activeButton, int enterButton,
                        int escapeButton)
{
    cvi::GenericPopupRequest request;
    request.title = Text(title);
    request.message = Text(message);
    request.buttons = {Text(button1), Text(button2), Text(button3)};
    request.alignment = buttonAlignment;
    request.activeButton = activeButton;
    request.enterButton = enterButton;
    request.escapeButton = escapeButton;
    return WithRuntime([&](Runtime &rt) { return rt.GenericPopup(request); });
}

int FileSelectPopupEx(const char *defaultDirectory, const char *defaultFileSpec, const char *fileTypeList,
                      const char *title, int buttonLabel, int restrictDirectory, int restrictExtension,
                      char *pathName)
{
    cvi::FileSelectRequest request;
    request.defaultDirectory = Text(defaultDirectory);
    request.defaultFileSpec = Text(defaultFileSpec);
    request.fileTypeList = Text(fileTypeList);
    request.title = Text(title);
    request.buttonLabel = buttonLabel;
    request.restrictDirectory = restrictDirectory != 0;
    request.restrictExtension = restrictExtension != 0;
    return WithRuntime([&](Runtime &rt) { return rt.FileSelect(request, pathName); });
}

int GetPanelDisplayBitmap(int panel, int *bitmap)
{
    return WithRuntime([=](Runtime &rt) { return rt.GetPanelBitmap(panel, bitmap); });
}

int SaveBitmapToPNGFile(int bitmap, const char *fileName)
{
    if (!fileName || !*fileName)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) {
        const cvi::Bitmap *picture = rt.FindBitmap(bitmap);
        if (!picture)
            return static_cast<int>(UIE_INVALID_BITMAP);
        const std::string png = cvi::EncodePng(*picture);
        if (png.empty())
            return static_cast<int>(UIE_INVALID_BITMAP);
        return cvi::ReplaceFileContents(fileName, png) ? 0 : static_cast<int>(UIE_FILE);
    });
}

int DiscardBitmap(int bitmap)
{
    return WithRuntime([=](Runtime &rt) { return rt.DiscardBitmap(bitmap); });
}

int DelayWithEventProcessing(double seconds)
{
    return WithRuntime([=](Runtime &rt) { return rt.Delay(seconds); });
}

int OpenDocumentInDefaultViewer(const char *document, int displayMode)
{
    if (!document || !*document)
        return UIE_INVALID_VALUE;
    return WithRuntime([=](Runtime &rt) { return rt.OpenDocument(document, displayMode); });
}
