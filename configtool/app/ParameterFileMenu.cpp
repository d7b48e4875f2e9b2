// The File menu's parameter-file items: saving is allowed only while the system page shows what
// the encoder holds; loading puts the file's values into the system page as if the operator had
// chosen them, and the page's callbacks bring the image and the write button up to date.
#include <windows.h>

#include <array>
#include <string>

#include "FileDialogFolder.h"
#include "FirmwareSpecifics.h"
#include "Languages.h"
#include "Panels.h"
#include "ParameterFile.h"
#include "ParameterPageControls.h"
#include "ParameterPages.h"
#include "ParameterTables.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kSysPageIndex = 0;

constexpr int kTitleError = 0;
constexpr int kTitleWarning = 1;
constexpr int kTitleNotification = 2;
constexpr int kMsgFileMissing = 14;
constexpr int kMsgSelectionError = 15;
constexpr int kMsgOverwrite = 16;
constexpr int kMsgSaveAborted = 17;
constexpr int kMsgResolutionNotSupported = 32;
constexpr int kMsgUpdateBeforeSaving = 44;
constexpr int kButtonYes = 8;
constexpr int kButtonNo = 9;

constexpr char kFileSpec[] = "*.vantrelcfg";
constexpr char kDialogTitle[] = "Vantrel Configuration File";

constexpr int kInterfaceSsi = 1;

// The path chosen in the last dialog, for loading and saving alike.
char g_parameterFilePath[MAX_PATH];

void ShowSysPage()
{
    SetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, kSysPageIndex);
}

// VAL_EXISTING_FILE_SELECTED, VAL_NEW_FILE_SELECTED, VAL_NO_FILE_SELECTED or a negative code.
int SelectParameterFile(const std::string &folder)
{
    return FileSelectPopupEx(folder.c_str(), kFileSpec, "", kDialogTitle, VAL_OK_BUTTON, 0, 1, g_parameterFilePath);
}

bool VariantInterface()
{
    return g_sarvikInterface || g_absoluteQuadrature;
}

// A value the file chose. A ring without the value keeps its own, and its field stays as it was.
void SetChoice(int control, int value)
{
    const int sys = SysPage();
    if (SetCtrlVal(sys, control, value) >= 0)
        TakeControlValue(sys, control);
}

// What the load took; a value it did not take (no such setting on this encoder) counts as 0.
ParameterFileValues LoadedValues()
{
    ParameterFileValues loaded{};
    for (int index = 0; index < kFileValueCount; ++index)
        loaded[index] = LoadedParameterValue(static_cast<ParameterFileValue>(index)).value_or(0);
    return loaded;
}

struct DimmedChoices {
    bool edgeTime;
    bool frameType;
};

bool PageShowsFile(const ParameterFileValues &file, const ParameterFileValues &shown, DimmedChoices dimmed)
{
    for (int index = kFileInterface; index <= kFileBitlength; ++index) {
        if (file[index] != shown[index])
            return false;
    }
    if (!dimmed.edgeTime && file[kFileEdgeTime] != shown[kFileEdgeTime])
        return false;
    if (!dimmed.frameType && file[kFileFrameType] != shown[kFileFrameType])
        return false;
    return !g_absoluteQuadrature ||
           (file[kFileVhRequest] == shown[kFileVhRequest] && file[kFileZSignal] == shown[kFileZSignal]);
}

void ReplaySysPageChange()
{
    const int sys = SysPage();
    Vantrel_RES_CB(sys, TAB_SYS_VANTREL_RES, EVENT_VAL_CHANGED, nullptr, 0, 0);
    CAT_SYS_VECTOR_CB(sys, TAB_SYS_SSI_LENGTH, EVENT_VAL_CHANGED, nullptr, 0, 0);
}

// The page already shows the file: it is refreshed, not changed.
void KeepShownValues(const ParameterFileValues &file, DimmedChoices dimmed)
{
    const int sys = SysPage();
    const SysPageSettings &kept = ReferenceSysSettings;
    if (file[kFileInterface] != kInterfaceSsi) {
        for (const int control : {TAB_SYS_SSI_LENGTH, TAB_SYS_SSI_CODING, TAB_SYS_SSI_VALUE})
            SetDerivedValue(sys, control, 0);
    }
    if (dimmed.edgeTime)
        SetCtrlVal(sys, TAB_SYS_EDGETIME, kept.edgeTime);
    if (dimmed.frameType)
        SetCtrlVal(sys, TAB_SYS_FRAME_TYPE, kept.frameType);
    ReplaySysPageChange();
}

void ChooseFileValues(const ParameterFileValues &file, DimmedChoices dimmed)
{
    const int sys = SysPage();
    const SysPageSettings &kept = ReferenceSysSettings;
    // The variants show their interface fixed; the protocol ring holds BiSS or SSI only.
    if (!VariantInterface())
        SetChoice(TAB_SYS_COMM_PROTOCOL, file[kFileInterface]);
    SetChoice(TAB_SYS_VANTREL_RES, file[kFileResolution]);
    SetChoice(TAB_SYS_STARTSET, file[kFileStartset]);
    const bool ssi = file[kFileInterface] == kInterfaceSsi;
    SetChoice(TAB_SYS_SSI_CODING, ssi ? file[kFileEncoding] : 0);
    SetChoice(TAB_SYS_SSI_VALUE, ssi ? file[kFileOutputval] : 0);
    SetChoice(TAB_SYS_SSI_LENGTH, ssi ? file[kFileBitlength] : 0);
    if (g_firmware.frameTypeCapable)
        SetChoice(TAB_SYS_FRAME_TYPE, dimmed.frameType ? kept.frameType : file[kFileFrameType]);
    SetChoice(TAB_SYS_QI_HW_RQ_EN, g_absoluteQuadrature ? file[kFileVhRequest] : kept.qiHwRqEn);
    SetChoice(TAB_SYS_QI_Z_TYPE, g_absoluteQuadrature ? file[kFileZSignal] : kept.qiZType);
    ReplaySysPageChange();
    if (!dimmed.edgeTime) {
        SetChoice(TAB_SYS_EDGETIME, file[kFileEdgeTime]);
        EDGETIME_CB(sys, TAB_SYS_EDGETIME, EVENT_VAL_CHANGED, nullptr, 0, 0);
    } else {
        SetCtrlVal(sys, TAB_SYS_EDGETIME, kept.edgeTime);
    }
}

void ApplyLoadedFile(DimmedChoices dimmed)
{
    const ParameterFileValues shown = ShownParameterValues();
    ParameterFileValues file = LoadedValues();
    int resolutionItems = 0;
    GetNumListItems(SysPage(), TAB_SYS_VANTREL_RES, &resolutionItems);
    if (file[kFileResolution] < calvista::kResolutionCount - resolutionItems) {
        LocalizedMessagePopup(kTitleWarning, kMsgResolutionNotSupported);
        file[kFileResolution] = shown[kFileResolution];
    }
    // The page's callbacks take the file name away unless the flag is clear while they run.
    g_paramFileShown = 0;
    if (PageShowsFile(file, shown, dimmed))
        KeepShownValues(file, dimmed);
    else
        ChooseFileValues(file, dimmed);
    g_paramFileShown = 1;
}

} // namespace

int LOAD_FILE_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_LOAD_FILE)
        return 0;
    ShowSysPage();
    const int selection = SelectParameterFile(FileDialogFolder());
    if (selection == VAL_NEW_FILE_SELECTED) {
        LocalizedMessagePopup(kTitleError, kMsgFileMissing);
        return 0;
    }
    if (selection < 0) {
        LocalizedMessagePopup(kTitleError, kMsgSelectionError);
        return 0;
    }
    if (selection != VAL_EXISTING_FILE_SELECTED)
        return 0;

    const int sys = SysPage();
    const DimmedChoices dimmed{CtrlDimmed(sys, TAB_SYS_EDGETIME), CtrlDimmed(sys, TAB_SYS_FRAME_TYPE)};
    if (LoadCfgFile(g_parameterFilePath) != 0) {
        SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, "");
        g_paramFileShown = 0;
        DiscardParameterMods();
        return 0;
    }
    SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, g_parameterFilePath);
    ApplyLoadedFile(dimmed);
    return 0;
}

int SAVE_FILE_CB(int, int menuItem, void *, int)
{
    if (menuItem != VANTREL_MENU_SAVE_FILE)
        return 0;
    ShowSysPage();
    const int sys = SysPage();
    const bool written = CtrlDimmed(sys, TAB_SYS_WRITE_CFG);
    const std::string folder = FileDialogFolder();
    if (!written) {
        LocalizedMessagePopup(kTitleNotification, kMsgUpdateBeforeSaving);
        return 0;
    }
    const int selection = SelectParameterFile(folder);
    if (selection < 0) {
        LocalizedMessagePopup(kTitleError, kMsgSelectionError);
        return 0;
    }
    if (selection == VAL_NO_FILE_SELECTED)
        return 0;
    if (selection == VAL_EXISTING_FILE_SELECTED &&
        LocalizedGenericMessagePopup(kTitleNotification, kMsgOverwrite, kButtonYes, kButtonNo, 0,
                                     VAL_GENERIC_POPUP_ALIGN_CENTER, VAL_GENERIC_POPUP_BTN2,
                                     VAL_GENERIC_POPUP_NO_BUTTON, VAL_GENERIC_POPUP_BTN2) != VAL_GENERIC_POPUP_BTN1) {
        LocalizedMessagePopup(kTitleNotification, kMsgSaveAborted);
        return 0;
    }
    if (SaveCfgFile(g_parameterFilePath) != 0)
        return 0;
    SetCtrlVal(sys, TAB_SYS_SELECTED_FILE, g_parameterFilePath);
    g_paramFileShown = 1;
    return 0;
}
