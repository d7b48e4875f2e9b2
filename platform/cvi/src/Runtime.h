// The headless model and the authority over it: it owns every panel, control, menu bar and
// bitmap, decides which user input a user could give at this moment, delivers events to the
// program's callbacks, runs the timers and the event loop, and keeps popups modal.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Model.h"
#include "PlotSeries.h"
#include "RuntimeHost.h"
#include "UirFormat.h"
#include "cvi/InputStatus.h"
#include "cvi/Services.h"

namespace cvi {

enum class InputKind {
    Click,
    SetNumber,   // numeric, toggle, check box, ring (by value)
    SetText,     // string
    SelectIndex, // ring
    Key,
    Wheel,
    MouseMove,
    SelectTab,
    MenuItem,
    Close,
    EndTask,
};

// One action of the user. panel holds the menu bar for MenuItem, control the item.
struct UserInput {
    explicit UserInput(InputKind inputKind, int inputPanel = 0, int inputControl = 0)
        : kind(inputKind), panel(inputPanel), control(inputControl)
    {
    }

    InputKind kind = InputKind::Click;
    int panel = 0;
    int control = 0;
    double number = 0.0;
    int index = 0; // list or page index, key code, wheel direction, x
    int y = 0;
    std::string text;
};

class Runtime {
public:
    Runtime(Clock &clock, Dialogs &dialogs, EventSource &events, ModelObserver *observer);
    ~Runtime();
    Runtime(const Runtime &) = delete;
    Runtime &operator=(const Runtime &) = delete;

    // The run-time the C functions act on; null before one is installed.
    static Runtime *Current();
    void Install();
    void Uninstall();

    Clock &GetClock() { return clock_; }
    void SetObserver(ModelObserver *observer) { observer_ = observer; }

    // Loading and lookup.
    int LoadPanel(int parentPanel, std::string_view resourceFile, int resourceId);
    int LoadMenuBar(int panel, std::string_view resourceFile, int resourceId);
    int DiscardPanel(int panel);
    int DiscardMenuBar(int menuBar);
    Panel *FindPanel(int panel);
    const Panel *FindPanel(int panel) const;
    Control *FindControl(int panel, int control, int *status = nullptr);
    MenuBar *FindMenuBar(int menuBar);
    MenuEntry *FindMenuEntry(int menuBar, int entry, int *status = nullptr);
    const std::map<int, std::unique_ptr<Panel>> &Panels() const { return panels_; }
    const std::map<int, std::unique_ptr<MenuBar>> &MenuBars() const { return menuBars_; }

    // Panels.
    int DisplayPanel(int panel);
    int HidePanel(int panel);
    int InstallPopup(int panel);
    int SetActivePanel(int panel);
    int ActivePanel() const { return activePanel_; }
    const std::vector<int> &PopupStack() const { return popups_; }
    // Visible on the screen: a shown panel, or a visible page that is the active page of its tab.
    bool IsShown(int panel) const;
    int TopLevelOf(int panel) const;
    int InstallPanelCallback(int panel, PanelCallbackPtr callback, void *callbackData);
    int SetPanelAttribute(int panel, int attribute, int value);
    int SetPanelTitle(int panel, std::string_view title);
    int GetPanelAttribute(int panel, int attribute, int *value);
    int GetPanelTitle(int panel, char *title);
    int SetInputMode(int panelOrMenuBar, int control, int mode);

    // Controls.
    int InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void *callbackData);
    int SetActiveCtrl(int panel, int control);
    int GetActiveCtrl(int panel);
    int SetCtrlAttribute(int panel, int control, int attribute, double value);
    int GetCtrlAttribute(int panel, int control, int attribute, double *value);
    int SetNumber(int panel, int control, double value);
    int GetNumber(int panel, int control, double *value);
    int SetText(int panel, int control, std::string_view text);
    int GetText(int panel, int control, char *text);
    int InsertListItem(int panel, int control, int index, std::string_view label, int value);
    int DeleteListItem(int panel, int control, int index, int count);
    int ClearList(int panel, int control);
    int GetListCount(int panel, int control, int *count);

    // Tab pages.
    int GetPageHandle(int panel, int tab, int pageIndex, int *pagePanel);
    int GetActivePage(int panel, int tab, int *pageIndex);
    int SetActivePage(int panel, int tab, int pageIndex);
    int SetTabPageAttribute(int panel, int tab, int pageIndex, int attribute, int value);
    int GetTabPageAttribute(int panel, int tab, int pageIndex, int attribute, int *value);

    // Menu bars.
    int GetPanelMenuBar(int panel);
    int SetMenuBarAttribute(int menuBar, int entry, int attribute, int value);
    int GetMenuBarAttribute(int menuBar, int entry, int attribute, int *value);
    int InstallMenuCallback(int menuBar, int entry, MenuCallbackPtr callback, void *callbackData);

    // Graphs.
    int AddPlot(int panel, int control, const PlotSource &source, int style, int color);
    int DeletePlot(int panel, int control, int plotHandle, int refresh);

    // Event loop.
    int Run();
    int Quit(int returnCode);
    // The quit value that no loop has taken yet.
    std::optional<int> PendingQuit() const { return pendingQuit_; }
    int ProcessEvents();
    int ProcessDraw();
    int Delay(double seconds);
    void Sleep(unsigned milliseconds);
    int InstallMainCallback(MainCallbackPtr callback, void *callbackData);
    int SetSleepPolicy(int policy);
    int SleepPolicy() const { return sleepPolicy_; }
    int SetMouseCursor(int cursor);
    int MouseCursor() const { return cursor_; }
    std::optional<std::int64_t> NextTimerDue() const;

    // User input: checked now against what a user could do, delivered by the loop.
    InputStatus Check(const UserInput &input) const;
    InputStatus Submit(UserInput input);

    // Popups that block until answered.
    int MessagePopup(std::string_view title, std::string_view message);
    int GenericPopup(const GenericPopupRequest &request);
    int FileSelect(const FileSelectRequest &request, char *pathName);
    int OpenDocument(std::string_view document, int displayMode);
    bool InBlockingPopup() const { return blockingPopups_ > 0; }

    // Panel pictures.
    int GetPanelBitmap(int panel, int *bitmap);
    const Bitmap *FindBitmap(int bitmap) const;
    // Where a control shows in a picture of its top-level panel (the window's, or the drawing's
    // when there are no windows); false for a hidden control.
    bool ControlBoxInPicture(int panel, int control, PictureBox &box) const;
    int DiscardBitmap(int bitmap);

    void Notify(ChangeKind kind, int handle, int control = 0);

private:
    const UirDocument *Document(std::string_view resourceFile, int *status);
    int Instantiate(const UirDocument &document, const PanelTemplate &entry, std::string_view file,
                    int ownerPanel, int ownerTab);
    void AnnounceTree(int panel);
    int InstantiateMenuBar(const MenuBar &source, std::string_view file, int panel);
    void RemovePanel(int panel);
    void DropFromPopups(int panel);
    void ChooseActivePanel();
    TabPage *FindPage(int panel, int tab, int pageIndex, int *status);

    InputStatus CheckPanel(int panel) const;
    InputStatus CheckControl(const UserInput &input) const;
    InputStatus CheckMenuItem(const UserInput &input) const;
    void DeliverQueued();
    void Deliver(const UserInput &input);
    void DeliverKey(const UserInput &input);
    void DeliverStep(int panel, int control, int direction);
    void DeliverNumericEnter(int panel, int control);
    // Sets the value as the user's; false once the control is gone.
    bool ApplyUserValue(int panel, int control, double value, bool commit);
    // Sends an event to a control's callback; false once the control is gone.
    bool SendControlEvent(int panel, int control, int event, int data1 = 0, int data2 = 0);
    void SendPanelEvent(int panel, int event, int data1 = 0, int data2 = 0);
    void FireDueTimers();
    void StartTimer(Control &timer);

    Clock &clock_;
    Dialogs &dialogs_;
    EventSource &events_;
    ModelObserver *observer_;

    std::map<std::string, std::unique_ptr<UirDocument>> documents_;
    std::map<int, std::unique_ptr<Panel>> panels_;
    std::map<int, std::unique_ptr<MenuBar>> menuBars_;
    std::map<int, Bitmap> bitmaps_;
    int nextHandle_ = 1;
    int nextBitmap_ = 1;

    std::vector<int> popups_; // installed popups, topmost last
    std::vector<int> shownOrder_; // top-level panels in the order they were shown
    int activePanel_ = 0;
    int blockingPopups_ = 0;

    std::vector<UserInput> queue_;
    MainCallbackPtr mainCallback_ = nullptr;
    void *mainCallbackData_ = nullptr;
    int runDepth_ = 0;
    std::optional<int> pendingQuit_;
    int sleepPolicy_ = SLEEP_SOME;
    int cursor_ = CURSOR_DEFAULT;
};

} // namespace cvi
