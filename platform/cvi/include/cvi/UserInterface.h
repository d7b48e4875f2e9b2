// The user-interface run-time the configuration tool is written against: panels, controls,
// menus, tab pages, timers and their event loop, popups, graphs and panel bitmaps.
// Handles are small positive integers; every call returns 0 (or a handle, a count, a button
// number) on success and a negative UIE_ code on failure. One thread owns the whole interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Events handed to callbacks.
enum UiEvent {
    EVENT_NONE = 0,
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_LEFT_CLICK_UP = 3,
    EVENT_KEYPRESS = 7,           // event data 1: key code (KEY_ below, or the character)
    EVENT_CLOSE = 11,
    EVENT_END_TASK = 14,          // only to the main callback; non-zero result keeps the program
    EVENT_TIMER_TICK = 15,        // event data 1: intervals elapsed since the previous tick (>= 1)
    EVENT_ACTIVE_TAB_CHANGE = 20, // event data 1: previous page index, event data 2: new one
    EVENT_MOUSE_POINTER_MOVE = 33,// event data 1: y, event data 2: x, in panel coordinates
    EVENT_MOUSE_WHEEL_SCROLL = 36,// event data 1: +1 up, -1 down
};

// Key codes in EVENT_KEYPRESS; printable keys arrive as their character code.
enum UiKey {
    KEY_BACKSPACE = 0x100,
    KEY_DELETE = 0x200,
    KEY_TAB = 0x300,
    KEY_ESCAPE = 0x400,
    KEY_ENTER = 0x500,
    KEY_UP = 0x600,
    KEY_DOWN = 0x700,
};

// Attributes of panels, controls, tab pages and menu entries.
enum UiAttribute {
    ATTR_DIMMED = 500,             // control, panel, tab page, menu entry
    ATTR_VISIBLE = 530,            // control, panel, tab page
    ATTR_TITLE = 573,              // panel (text)
    ATTR_CLOSE_ENABLED = 601,      // panel: 0 refuses the close box
    ATTR_TEXT_COLOR = 680,         // control: 0xRRGGBB
    ATTR_STRING_TEXT_LENGTH = 770, // string and text controls (read only): characters, no terminator
    ATTR_GRAPH_REDRAW = 1142,      // graph: 0 holds drawing, 1 draws (and catches up)
    ATTR_GRAPH_COPY_DATA = 1149,   // graph: plots keep their own copy of the data (always done)
    ATTR_GRAPH_PLOT_LAYER = 1168,  // graph: layer of the next plots; higher layers draw on top
    ATTR_ENABLED = 1271,           // timer: 1 ticks
    ATTR_CHECKED = 2001,           // menu item
    ATTR_LEFT = 2002,              // control
    ATTR_TOP = 2003,               // control
    ATTR_MIN_VALUE = 2004,         // numeric control
    ATTR_MAX_VALUE = 2005,         // numeric control
};

// Value types of numeric controls and of graph data.
enum UiDataType {
    VAL_CHAR = 0,
    VAL_INTEGER = 1,
    VAL_SHORT_INTEGER = 2,
    VAL_FLOAT = 3,
    VAL_DOUBLE = 4,
    VAL_UNSIGNED_SHORT_INTEGER = 6,
    VAL_UNSIGNED_INTEGER = 7,
    VAL_UNSIGNED_CHAR = 8,
};

// Plot styles.
enum UiPlotStyle {
    VAL_THIN_LINE = 0,
    VAL_SCATTER = 1,
    VAL_CONNECTED_POINTS = 5,
};

// Mouse cursors.
enum UiCursor {
    CURSOR_DEFAULT = -1,
    CURSOR_POINTING_HAND = 14,
    CURSOR_WAIT = 17,
};

// Sleep policies: how much the loop may rest; callers also use them as an activity marker.
enum UiSleepPolicy {
    SLEEP_NONE = 1,
    SLEEP_SOME = 2,
    SLEEP_MORE = 3,
};

// File-selection popup buttons and results.
enum UiFileSelect {
    VAL_OK_BUTTON = 0,
    VAL_SAVE_BUTTON = 1,
    VAL_SELECT_BUTTON = 2,
    VAL_LOAD_BUTTON = 3,
    VAL_NO_FILE_SELECTED = 0,
    VAL_EXISTING_FILE_SELECTED = 1,
    VAL_NEW_FILE_SELECTED = 2,
};

// Generic popup: button numbers 1-3, 0 = none (as active, Enter or Escape button).
enum UiGenericPopup {
    VAL_GENERIC_POPUP_NO_BUTTON = 0,
    VAL_GENERIC_POPUP_BTN1 = 1,
    VAL_GENERIC_POPUP_BTN2 = 2,
    VAL_GENERIC_POPUP_BTN3 = 3,
    VAL_GENERIC_POPUP_ALIGN_CENTER = 0,
    VAL_GENERIC_POPUP_ALIGN_LEFT = 1,
    VAL_GENERIC_POPUP_ALIGN_RIGHT = 2,
};

// Failure codes.
enum UiError {
    UIE_NO_ERROR = 0,
    UIE_NOT_INITIALISED = -1,
    UIE_INVALID_PANEL = -2,
    UIE_INVALID_CONTROL = -3,
    UIE_INVALID_ATTRIBUTE = -4,
    UIE_INVALID_VALUE = -5,
    UIE_TYPE_MISMATCH = -6,
    UIE_INVALID_INDEX = -7,
    UIE_INVALID_MENU = -8,
    UIE_RESOURCE_NOT_FOUND = -9,
    UIE_RESOURCE_FORMAT = -10,
    UIE_NOT_ALLOWED = -11,
    UIE_FILE = -12,
    UIE_POPUP_UNANSWERED = -13,
    UIE_INVALID_BITMAP = -14,
    UIE_NOTHING_TO_WAIT_FOR = -15,
    UIE_UNKNOWN_CALLBACK = -16,
};

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void *callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void *callbackData, int eventData1,
                                 int eventData2);
using MenuCallbackPtr = int (*)(int menuBar, int menuItem, void *callbackData, int panel);
// Called for EVENT_END_TASK with menu bar/panel and control/item 0.
using MainCallbackPtr = CtrlCallbackPtr;

// Start-up: sets up the run-time unless a test has already installed one. 0 or negative.
int InitUserInterface(int argc, char *argv[]);

// Event loop.
int RunUserInterface();
int QuitUserInterface(int returnCode);
int ProcessSystemEvents();
int ProcessDrawEvents();
int InstallMainCallback(MainCallbackPtr callback, void *callbackData, int reserved);
int SetSleepPolicy(int policy);
int GetSleepPolicy();
int SetMouseCursor(int cursor);
int GetMouseCursor(int *cursor);
// Blocks the thread for the given time of the run-time's clock; nothing is processed.
void RunTimeSleep(unsigned milliseconds);
// Panels, menu bars or single controls: mode 0 refuses user input, 1 accepts it; control -1 = all.
int SetInputMode(int panelOrMenuBar, int control, int mode);

// Panels.
int LoadPanel(int parentPanel, const char *resourceFile, int panelResourceId);
int DiscardPanel(int panel);
int DisplayPanel(int panel);
int HidePanel(int panel);
int InstallPopup(int panel);
int SetActivePanel(int panel);
int GetActivePanel();
int InstallPanelCallback(int panel, PanelCallbackPtr callback, void *callbackData);
int SetPanelAttribute(int panel, int attribute, int value);
int SetPanelAttribute(int panel, int attribute, const char *value);
int GetPanelAttribute(int panel, int attribute, int *value);
int GetPanelAttribute(int panel, int attribute, char *value); // title: 256 bytes, longer ones cut

// Controls.
int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void *callbackData);
int SetActiveCtrl(int panel, int control);
int GetActiveCtrl(int panel);
int SetCtrlValNumber(int panel, int control, double value);
int GetCtrlValNumber(int panel, int control, double *value);
int SetCtrlVal(int panel, int control, const char *text);
int GetCtrlVal(int panel, int control, char *text); // text holds ATTR_STRING_TEXT_LENGTH + 1 bytes
int SetCtrlAttributeNumber(int panel, int control, int attribute, double value);
int GetCtrlAttributeNumber(int panel, int control, int attribute, double *value);

template <typename T>
    requires std::is_arithmetic_v<T>
int SetCtrlVal(int panel, int control, T value)
{
    return SetCtrlValNumber(panel, control, static_cast<double>(value));
}

template <typename T>
    requires std::is_arithmetic_v<T>
int GetCtrlVal(int panel, int control, T *value)
{
    double number = 0.0;
    const int status = GetCtrlValNumber(panel, control, &number);
    if (status >= 0 && value)
        *value = static_cast<T>(number);
    return status;
}

template <typename T>
    requires std::is_arithmetic_v<T>
int SetCtrlAttribute(int panel, int control, int attribute, T value)
{
    return SetCtrlAttributeNumber(panel, control, attribute, static_cast<double>(value));
}

template <typename T>
    requires std::is_arithmetic_v<T>
int GetCtrlAttribute(int panel, int control, int attribute, T *value)
{
    double number = 0.0;
    const int status = GetCtrlAttributeNumber(panel, control, attribute, &number);
    if (status >= 0 && value)
        *value = static_cast<T>(number);
    return status;
}

// Ring lists. index -1 appends; count -1 deletes to the end.
int InsertListItem(int panel, int control, int index, const char *label, int value);
int DeleteListItem(int panel, int control, int index, int count);
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int *count);

// Tab pages.
int GetPanelHandleFromTabPage(int panel, int tabControl, int pageIndex, int *pagePanel);
int GetActiveTabPage(int panel, int tabControl, int *pageIndex);
int SetActiveTabPage(int panel, int tabControl, int pageIndex);
int SetTabPageAttribute(int panel, int tabControl, int pageIndex, int attribute, int value);
int GetTabPageAttribute(int panel, int tabControl, int pageIndex, int attribute, int *value);

// Menu bars. Entry ids count from 2 in display order (menus, items, separators, submenus).
int LoadMenuBar(int panel, const char *resourceFile, int menuBarResourceId);
int DiscardMenuBar(int menuBar);
int GetPanelMenuBar(int panel);
int SetMenuBarAttribute(int menuBar, int entry, int attribute, int value);
int GetMenuBarAttribute(int menuBar, int entry, int attribute, int *value);
int InstallMenuCallback(int menuBar, int entry, MenuCallbackPtr callback, void *callbackData);

// Graphs. Plot handles are positive; plot handle -1 deletes every plot. refresh 1 draws at once.
int PlotY(int panel, int control, const void *yArray, int numberOfPoints, int yDataType,
          int plotStyle, int pointStyle, int lineStyle, int pointFrequency, int color);
int PlotXY(int panel, int control, const void *xArray, const void *yArray, int numberOfPoints,
           int xDataType, int yDataType, int plotStyle, int pointStyle, int lineStyle,
           int pointFrequency, int color);
int DeleteGraphPlot(int panel, int control, int plotHandle, int refresh);

// Popups: they block until answered; no timer ticks meanwhile.
int MessagePopup(const char *title, const char *message);
// Returns the number (1-3) of the button pressed. Empty or null labels give no button.
int GenericMessagePopup(const char *title, const char *message, const char *button1,
                        const char *button2, const char *button3, int buttonAlignment,
                        int activeButton, int enterButton, int escapeButton);
// pathName receives the full path (MAX_PATH bytes). Returns VAL_..._SELECTED or negative.
int FileSelectPopupEx(const char *defaultDirectory, const char *defaultFileSpec,
                      const char *fileTypeList, const char *title, int buttonLabel,
                      int restrictDirectory, int restrictExtension, char *pathName);

// Panel pictures.
int GetPanelDisplayBitmap(int panel, int *bitmap);
int SaveBitmapToPNGFile(int bitmap, const char *fileName);
int DiscardBitmap(int bitmap);
