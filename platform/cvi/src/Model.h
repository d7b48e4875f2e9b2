// The records of the headless model: panels, their controls and menu bars, as loaded from the
// user-interface resource and changed by the program and the user.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cvi/UserInterface.h"

namespace cvi {

class PlotSeries;

enum class ControlKind {
    Numeric,
    String,
    TextMessage,
    Ring,
    CommandButton,
    ToggleButton,
    CheckBox,
    Led,
    Picture,
    Decoration,
    Timer,
    Tab,
    Graph,
    ProgressBar,
};

struct ListItem {
    std::string label;
    int value = 0;
};

// Numeric value of numerics, buttons with a state, LEDs and progress bars.
struct NumberState {
    double value = 0.0;
    int dataType = VAL_INTEGER;
    double minimum = -2147483648.0;
    double maximum = 2147483647.0;
    double increment = 1.0;
    int precision = 0;                    // digits after the point when shown
    std::optional<std::string> pendingEdit; // typed but not yet entered
};

struct TextState {
    std::string text;
    int maxLength = 0; // 0: no limit
};

struct ListState {
    std::vector<ListItem> items;
    int selected = -1;
};

struct TimerState {
    std::int64_t intervalUs = 1000000;
    bool enabled = false;
    std::int64_t nextDueUs = 0;
    bool running = false;
};

struct TabPage {
    std::string label;
    int panel = 0;
    bool dimmed = false;
    bool visible = true;
};

struct TabState {
    std::vector<TabPage> pages;
    int active = 0;
};

struct Plot {
    int handle = 0;
    int layer = 0;
    int style = VAL_THIN_LINE;
    int color = 0;
    // Its points: the first `count` of the series (which later plots may extend).
    std::shared_ptr<PlotSeries> series;
    std::size_t count = 0;
};

struct GraphState {
    // Each plot keeps its data (shared with plots whose points begin alike); the oldest are
    // dropped beyond this many.
    static constexpr std::size_t kMaxPlots = 4;
    std::vector<Plot> plots;
    int nextHandle = 1;
    int layer = 0;
    bool redraw = true;
    bool copyData = true;
};

struct Control {
    std::string name;
    ControlKind kind = ControlKind::Decoration;
    int id = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::string label;
    std::string callbackName;
    CtrlCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    bool dimmed = false;
    bool visible = true;
    bool indicator = false;   // shows values; never takes user input
    bool inputEnabled = true; // SetInputMode
    int textColor = 0x000000;
    int color = 0xC0C0C0;     // face colour; the "on" colour of an LED
    NumberState number;
    TextState text;
    ListState list;
    TimerState timer;
    TabState tab;
    GraphState graph;
};

struct Panel {
    int handle = 0;
    std::string name;
    int resourceId = 0;
    std::string resourceFile;
    std::string title;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::string callbackName;
    PanelCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    bool visible = false;
    bool dimmed = false;
    bool closeEnabled = true;
    bool inputEnabled = true;
    // A tab page: the panel and tab control that own it.
    int ownerPanel = 0;
    int ownerTab = 0;
    int pageIndex = -1;
    int menuBar = 0;
    int activeControl = 0;
    std::vector<Control> controls; // id = index + 1
};

enum class MenuEntryKind { Menu, Item, Separator, Submenu };

struct MenuEntry {
    int id = 0;
    std::string name;
    MenuEntryKind kind = MenuEntryKind::Item;
    std::string label; // "__" marks the access key
    std::string shortcut;
    int parent = 0;    // 0 for a menu of the bar; else the menu, item or submenu above
    std::string callbackName;
    MenuCallbackPtr callback = nullptr;
    void *callbackData = nullptr;
    bool dimmed = false;
    bool checked = false;
};

struct MenuBar {
    int handle = 0;
    std::string name;
    int resourceId = 0;
    std::string resourceFile;
    int panel = 0;
    bool inputEnabled = true;
    std::vector<MenuEntry> entries; // id = index + 2
};

// A panel picture: rows top down, pixels 0x00RRGGBB.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

} // namespace cvi
