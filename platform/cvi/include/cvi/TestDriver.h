// Drives the run-time as a user would, headless and in virtual time: clicks, values, keys,
// menus, tabs, closing, end task and the passing of time; answers popups from a script and
// logs every popup. While a TestDriver lives, the run-time's functions act on its model.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cvi/InputStatus.h"
#include "cvi/Services.h"

namespace cvi {

struct PopupRecord {
    enum class Kind { Message, Generic, FileSelect, Document };
    Kind kind = Kind::Message;
    std::string title;
    std::string message;                 // the document for Kind::Document
    std::vector<std::string> buttons;    // Generic: the three labels, empty for none
    int enterButton = 0;
    int escapeButton = 0;
    FileSelectRequest file;              // FileSelect
    int answer = 0;                      // button number; FileSelect: 1 chosen, 0 cancelled
    std::string path;                    // FileSelect: the path answered
    bool answered = false;
};

class TestDriver {
public:
    struct Options {
        // Real windows and the system clock (under Wine's null driver too) instead of the model alone.
        bool win32View = false;
        // With win32View: virtual time as headless; the windows are drawn, never waited for.
        bool virtualTime = false;
    };

    TestDriver();
    explicit TestDriver(Options options);
    ~TestDriver();
    TestDriver(const TestDriver &) = delete;
    TestDriver &operator=(const TestDriver &) = delete;

    // Time. Advance runs the event loop for that long: timers tick, scheduled input arrives.
    double Now() const;
    void Advance(double seconds);
    // Gives the input when the loop reaches that time (seconds from now); headless only.
    void At(double secondsFromNow, std::function<void()> action);

    // User input; each is checked against what a user could do now, then delivered at once.
    InputStatus Click(int panel, int control);
    InputStatus SetValue(int panel, int control, double value); // numeric, toggle, check box, ring
    InputStatus SetText(int panel, int control, std::string_view text);
    InputStatus SelectListItem(int panel, int control, int index);
    InputStatus Type(int panel, int control, std::string_view characters);
    InputStatus PressKey(int panel, int control, int key);
    InputStatus Wheel(int panel, int control, int direction);
    InputStatus MoveMouse(int panel, int x, int y);
    InputStatus SelectTab(int panel, int tabControl, int pageIndex);
    InputStatus ChooseMenuItem(int menuBar, int item);
    InputStatus Close(int panel);
    InputStatus EndTask();

    // Popup answers, used in order; the handler answers message and generic popups once the
    // script has none left (return the button number).
    void AnswerPopup(int button);
    void AnswerPopupWithKey(int key); // KEY_ENTER or KEY_ESCAPE
    void AnswerFileSelect(std::string path);
    void CancelFileSelect();
    void OnPopup(std::function<int(const PopupRecord &)> handler);
    const std::vector<PopupRecord> &Popups() const;
    // True once a popup found no answer (it then failed with UIE_POPUP_UNANSWERED).
    bool HadUnansweredPopup() const;

    // What the model holds beyond the run-time's own getters.
    std::string Label(int panel, int control) const;
    std::string PageLabel(int panel, int tabControl, int pageIndex) const;
    std::string MenuLabel(int menuBar, int entry) const;
    std::vector<std::string> ListLabels(int panel, int control) const;
    std::string DisplayedText(int panel, int control) const;
    int PlotCount(int panel, int control) const;
    bool IsShown(int panel) const;
    bool QuitRequested() const;
    int QuitValue() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace cvi
