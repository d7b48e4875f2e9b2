#include "win32/Win32View.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "Labels.h"
#include "PanelPainter.h"
#include "win32/WindowPlacement.h"

namespace cvi {

namespace {

constexpr char kPanelClass[] = "CviPanelWindow";
constexpr int kSpinIdOffset = 0x4000;
constexpr int kLabelHeight = 16;

HINSTANCE Instance()
{
    return GetModuleHandleA(nullptr);
}

HFONT Font()
{
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

void RegisterPanelClass(WNDPROC procedure)
{
    static bool registered = false;
    if (registered)
        return;
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPanelClass;
    registered = RegisterClassExA(&windowClass) != 0;
}

HCURSOR CursorFor(int cursor)
{
    switch (cursor) {
    case CURSOR_WAIT: return LoadCursor(nullptr, IDC_WAIT);
    case CURSOR_POINTING_HAND: return LoadCursor(nullptr, IDC_HAND);
    default: return LoadCursor(nullptr, IDC_ARROW);
    }
}

int KeyOfVirtualKey(WPARAM key)
{
    switch (key) {
    case VK_RETURN: return KEY_ENTER;
    case VK_ESCAPE: return KEY_ESCAPE;
    case VK_BACK: return KEY_BACKSPACE;
    case VK_DELETE: return KEY_DELETE;
    case VK_UP: return KEY_UP;
    case VK_DOWN: return KEY_DOWN;
    default: return 0;
    }
}

std::string WindowText(HWND window)
{
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetTextIfChanged(HWND window, const std::string &text)
{
    if (window && WindowText(window) != text)
        SetWindowTextA(window, text.c_str());
}

// "Ctrl+L", "Ctrl+Shift+F2": a virtual-key accelerator.
bool ParseShortcut(const std::string &shortcut, ACCEL &accelerator)
{
    accelerator.fVirt = FVIRTKEY;
    std::string rest = shortcut;
    for (;;) {
        const std::size_t plus = rest.find('+');
        if (plus == std::string::npos || plus + 1 >= rest.size())
            break;
        const std::string modifier = rest.substr(0, plus);
        if (_stricmp(modifier.c_str(), "Ctrl") == 0)
            accelerator.fVirt |= FCONTROL;
        else if (_stricmp(modifier.c_str(), "Shift") == 0)
            accelerator.fVirt |= FSHIFT;
        else if (_stricmp(modifier.c_str(), "Alt") == 0)
            accelerator.fVirt |= FALT;
        else
            return false;
        rest = rest.substr(plus + 1);
    }
    if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
        accelerator.key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(rest[0])));
        return true;
    }
    if (rest.size() >= 2 && (rest[0] == 'F' || rest[0] == 'f')) {
        const int number = std::atoi(rest.c_str() + 1);
        if (number >= 1 && number <= 12) {
            accelerator.key = static_cast<WORD>(VK_F1 + number - 1);
            return true;
        }
    }
    return false;
}

HMENU BuildMenu(const MenuBar &bar, int parent, bool topLevel, std::vector<ACCEL> &accelerators)
{
    HMENU menu = topLevel ? CreateMenu() : CreatePopupMenu();
    for (const MenuEntry &entry : bar.entries) {
        if (entry.parent != parent || entry.kind == MenuEntryKind::Submenu)
            continue;
        UINT flags = entry.dimmed || (topLevel && !bar.inputEnabled) ? MF_GRAYED : MF_ENABLED;
        if (entry.kind == MenuEntryKind::Separator) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        std::string label = AccessKeyLabel(entry.label);
        auto submenu = std::find_if(bar.entries.begin(), bar.entries.end(), [&](const MenuEntry &other) {
            return other.kind == MenuEntryKind::Submenu && other.parent == entry.id;
        });
        if (entry.kind == MenuEntryKind::Menu || submenu != bar.entries.end()) {
            const int inner = entry.kind == MenuEntryKind::Menu ? entry.id : submenu->id;
            HMENU popup = BuildMenu(bar, inner, false, accelerators);
            AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(popup), label.c_str());
            continue;
        }
        ACCEL accelerator{};
        if (!entry.shortcut.empty() && ParseShortcut(entry.shortcut, accelerator)) {
            accelerator.cmd = static_cast<WORD>(entry.id);
            accelerators.push_back(accelerator);
            label += "\t" + entry.shortcut;
        }
        if (entry.checked)
            flags |= MF_CHECKED;
        AppendMenuA(menu, flags | MF_STRING, static_cast<UINT_PTR>(entry.id), label.c_str());
    }
    return menu;
}

HWND MakeChild(DWORD exStyle, const char *windowClass, const std::string &text, DWORD style, const RECT &area,
               HWND parent, int id)
{
    HWND child = CreateWindowExA(exStyle, windowClass, text.c_str(), WS_CHILD | style, area.left, area.top,
                                 area.right - area.left, area.bottom - area.top, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    if (child)
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    return child;
}

// A label window as wide as its text, and at least the given width, so it covers no neighbour.
void FitLabel(HWND label, LONG minimumWidth)
{
    const std::string text = WindowText(label);
    HDC dc = GetDC(label);
    const HGDIOBJ previous = SelectObject(dc, Font());
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(label, dc);
    RECT current{};
    GetClientRect(label, &current);
    const LONG width = std::max(minimumWidth, extent.cx + 2);
    if (current.right != width)
        SetWindowPos(label, nullptr, 0, 0, width, current.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT ControlRect(const Control &control)
{
    return RECT{control.left, control.top, control.left + control.width, control.top + control.height};
}

} // namespace

Win32View::Win32View(Clock &clock, bool waitForMessages) : clock_(clock), waitForMessages_(waitForMessages)
{
    RegisterPanelClass(PanelProc);
}

Win32View::~Win32View()
{
    Detach();
}

void Win32View::Attach(Runtime &runtime)
{
    runtime_ = &runtime;
    runtime.SetObserver(this);
    for (const auto &[handle, panel] : runtime.Panels())
        CreatePanel(handle);
    for (const auto &[handle, panel] : runtime.Panels())
        SyncPanel(handle);
    SyncModality();
}

void Win32View::Detach()
{
    if (!runtime_)
        return;
    runtime_->SetObserver(nullptr);
    std::vector<int> topLevel;
    for (const auto &[handle, windows] : panels_) {
        const Panel *panel = runtime_->FindPanel(handle);
        if (!panel || panel->ownerPanel == 0)
            topLevel.push_back(handle);
    }
    for (int panel : topLevel)
        DestroyPanel(panel);
    panels_.clear();
    windowPanels_.clear();
    runtime_ = nullptr;
}

HWND Win32View::PanelWindow(int panel) const
{
    auto found = panels_.find(panel);
    return found == panels_.end() ? nullptr : found->second.window;
}

HWND Win32View::ControlWindow(int panel, int control) const
{
    auto found = panels_.find(panel);
    if (found == panels_.end() || control < 1 || control > static_cast<int>(found->second.controls.size()))
        return nullptr;
    return found->second.controls[control - 1].main;
}

int Win32View::PanelOfWindow(HWND window) const
{
    auto found = windowPanels_.find(window);
    return found == windowPanels_.end() ? 0 : found->second;
}

bool Win32View::FindControlOfWindow(HWND window, int *panel, int *control) const
{
    const int owner = PanelOfWindow(GetParent(window));
    auto found = panels_.find(owner);
    if (found == panels_.end())
        return false;
    const auto &controls = found->second.controls;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (controls[i].main == window || controls[i].label == window || controls[i].spin == window) {
            *panel = owner;
            *control = static_cast<int>(i) + 1;
            return true;
        }
    }
    return false;
}

void Win32View::Give(UserInput input)
{
    if (runtime_)
        runtime_->Submit(std::move(input));
}

void Win32View::CreatePanel(int handle)
{
    if (!runtime_ || panels_.count(handle))
        return;
    const Panel *panel = runtime_->FindPanel(handle);
    if (!panel)
        return;
    HWND window = nullptr;
    if (panel->ownerPanel == 0) {
        const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
        RECT frame{0, 0, panel->width, panel->height};
        AdjustWindowRectEx(&frame, style, panel->menuBar != 0, 0);
        const bool placed = panel->left != 0 || panel->top != 0;
        window = CreateWindowExA(0, kPanelClass, panel->title.c_str(), style, placed ? panel->left : CW_USEDEFAULT,
                                 placed ? panel->top : CW_USEDEFAULT, frame.right - frame.left,
                                 frame.bottom - frame.top, nullptr, nullptr, Instance(), this);
    } else {
        HWND owner = PanelWindow(panel->ownerPanel);
        if (!owner)
            return;
        window = CreateWindowExA(WS_EX_CONTROLPARENT, kPanelClass, "", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                 0, 0, panel->width, panel->height, owner, nullptr, Instance(), this);
    }
    if (!window)
        return;
    PanelWindows &windows = panels_[handle];
    windows.window = window;
    windows.controls.resize(panel->controls.size());
    windowPanels_[window] = handle;
    for (const Control &control : panel->controls)
        CreateControl(handle, control);
    if (panel->ownerPanel != 0)
        PlacePage(handle);
    SyncPanel(handle);
}

void Win32View::CreateControl(int panel, const Control &control)
{
    PanelWindows &windows = panels_[panel];
    ControlWindows &target = windows.controls[control.id - 1];
    HWND parent = windows.window;
    const RECT area = ControlRect(control);
    const RECT labelArea{area.left, area.top - kLabelHeight, area.left + std::max<LONG>(area.right - area.left, 200),
                         area.top};
    const RECT sideLabel{area.right + 4, area.top, area.right + 204, area.bottom};
    switch (control.kind) {
    case ControlKind::Numeric:
        target.main = MakeChild(WS_EX_CLIENTEDGE, "EDIT", "", ES_RIGHT | ES_AUTOHSCROLL | WS_TABSTOP, area, parent,
                                control.id);
        if (!control.indicator) {
            target.spin = MakeChild(0, UPDOWN_CLASSA, "", UDS_ALIGNRIGHT, RECT{}, parent, control.id + kSpinIdOffset);
            SendMessageA(target.spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(target.main), 0);
            SendMessageA(target.spin, UDM_SETRANGE32, 0, 100);
        }
        target.label = MakeChild(0, "STATIC", "", SS_LEFT, labelArea, parent, 0);
        break;
    case ControlKind::String:
        target.main = MakeChild(WS_EX_CLIENTEDGE, "EDIT", "", ES_AUTOHSCROLL | WS_TABSTOP, area, parent, control.id);
        target.label = MakeChild(0, "STATIC", "", SS_LEFT, labelArea, parent, 0);
        break;
    case ControlKind::TextMessage:
        target.main = MakeChild(0, "STATIC", "", SS_LEFT | SS_NOTIFY, area, parent, control.id);
        break;
    case ControlKind::Ring: {
        RECT dropped = area;
        dropped.bottom += 200;
        target.main = MakeChild(0, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, dropped, parent,
                                control.id);
        target.label = MakeChild(0, "STATIC", "", SS_LEFT, labelArea, parent, 0);
        break;
    }
    case ControlKind::CommandButton:
        target.main = MakeChild(0, "BUTTON", "", BS_PUSHBUTTON | WS_TABSTOP, area, parent, control.id);
        break;
    case ControlKind::ToggleButton:
        target.main = MakeChild(0, "BUTTON", "", BS_CHECKBOX | BS_PUSHLIKE | WS_TABSTOP, area, parent, control.id);
        break;
    case ControlKind::CheckBox:
        target.main = MakeChild(0, "BUTTON", "", BS_CHECKBOX | WS_TABSTOP, area, parent, control.id);
        break;
    case ControlKind::Led:
        target.main = MakeChild(0, "STATIC", "", SS_OWNERDRAW | SS_NOTIFY, area, parent, control.id);
        target.label = MakeChild(0, "STATIC", "", SS_LEFT, sideLabel, parent, 0);
        break;
    case ControlKind::Picture:
    case ControlKind::Decoration:
        target.main = MakeChild(0, "STATIC", "", SS_OWNERDRAW | SS_NOTIFY, area, parent, control.id);
        break;
    case ControlKind::Graph:
        target.main = MakeChild(0, "STATIC", "", SS_OWNERDRAW, area, parent, control.id);
        target.label = MakeChild(0, "STATIC", "", SS_LEFT, labelArea, parent, 0);
        break;
    case ControlKind::ProgressBar:
        target.main = MakeChild(0, PROGRESS_CLASSA, "", 0, area, parent, control.id);
        SendMessageA(target.main, PBM_SETRANGE32, 0, 100);
        break;
    case ControlKind::Tab:
        target.main = MakeChild(0, WC_TABCONTROLA, "", WS_CLIPSIBLINGS | TCS_TABS, area, parent, control.id);
        break;
    case ControlKind::Timer:
        break;
    }
    if (target.main && (control.kind == ControlKind::Numeric || control.kind == ControlKind::String))
        SetWindowSubclass(target.main, EditProc, 1, reinterpret_cast<DWORD_PTR>(this));
    SyncControl(panel, control.id);
}

void Win32View::DestroyPanel(int handle)
{
    auto found = panels_.find(handle);
    if (found == panels_.end())
        return;
    PanelWindows windows = found->second;
    // Pages are child windows: they go with the panel.
    for (auto it = windowPanels_.begin(); it != windowPanels_.end();) {
        if (it->first == windows.window || IsChild(windows.window, it->first)) {
            if (it->second != handle)
                panels_.erase(it->second);
            it = windowPanels_.erase(it);
        } else {
            ++it;
        }
    }
    panels_.erase(handle);
    if (windows.accelerators)
        DestroyAcceleratorTable(windows.accelerators);
    DestroyWindow(windows.window);
}

void Win32View::PlacePage(int page)
{
    const Panel *panel = runtime_->FindPanel(page);
    HWND window = PanelWindow(page);
    if (!panel || !window)
        return;
    HWND tab = ControlWindow(panel->ownerPanel, panel->ownerTab);
    if (!tab)
        return;
    RECT area{};
    GetClientRect(tab, &area);
    SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    MapWindowPoints(tab, GetParent(window), reinterpret_cast<POINT *>(&area), 2);
    SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);
}

void Win32View::SyncPanel(int handle)
{
    auto found = panels_.find(handle);
    const Panel *panel = runtime_ ? runtime_->FindPanel(handle) : nullptr;
    if (found == panels_.end() || !panel)
        return;
    syncing_ = true;
    HWND window = found->second.window;
    if (panel->ownerPanel == 0) {
        SetTextIfChanged(window, panel->title);
        SyncMenu(handle);
        HMENU system = GetSystemMenu(window, FALSE);
        EnableMenuItem(system, SC_CLOSE, MF_BYCOMMAND | (panel->closeEnabled ? MF_ENABLED : MF_GRAYED));
        const bool visible = panel->visible;
        if (visible != (IsWindowVisible(window) != FALSE)) {
            // A panel the resource does not place opens centred on the panel that raised it.
            if (visible && panel->left == 0 && panel->top == 0) {
                const int raiser = runtime_->ActivePanel();
                CentreWindow(window, raiser != handle ? PanelWindow(raiser) : nullptr);
            }
            ShowWindow(window, visible ? SW_SHOWNA : SW_HIDE);
        }
        SyncPages(handle);
    } else {
        PlacePage(handle);
        ShowWindow(window, runtime_->IsShown(handle) ? SW_SHOWNA : SW_HIDE);
        EnableWindow(window, !panel->dimmed && panel->inputEnabled);
    }
    syncing_ = false;
    SyncModality();
}

// Whether a page shows depends on the panels above it as well.
void Win32View::SyncPages(int handle)
{
    const Panel *panel = runtime_->FindPanel(handle);
    if (!panel)
        return;
    for (const Control &control : panel->controls) {
        for (const TabPage &page : control.tab.pages) {
            if (HWND window = PanelWindow(page.panel)) {
                ShowWindow(window, runtime_->IsShown(page.panel) ? SW_SHOWNA : SW_HIDE);
                SyncPages(page.panel);
            }
        }
    }
}

void Win32View::SyncModality()
{
    if (!runtime_)
        return;
    const std::vector<int> &popups = runtime_->PopupStack();
    for (const auto &[handle, windows] : panels_) {
        const Panel *panel = runtime_->FindPanel(handle);
        if (!panel || panel->ownerPanel != 0)
            continue;
        const bool open = popups.empty() || popups.back() == handle;
        EnableWindow(windows.window, open && !panel->dimmed && panel->inputEnabled);
    }
}

void Win32View::SyncMenu(int handle)
{
    PanelWindows &windows = panels_[handle];
    const Panel *panel = runtime_->FindPanel(handle);
    if (!panel || panel->ownerPanel != 0)
        return;
    HMENU previous = GetMenu(windows.window);
    if (windows.accelerators) {
        DestroyAcceleratorTable(windows.accelerators);
        windows.accelerators = nullptr;
    }
    HMENU menu = nullptr;
    if (const MenuBar *bar = runtime_->FindMenuBar(panel->menuBar)) {
        std::vector<ACCEL> accelerators;
        menu = BuildMenu(*bar, 0, true, accelerators);
        if (!accelerators.empty())
            windows.accelerators = CreateAcceleratorTableA(accelerators.data(), static_cast<int>(accelerators.size()));
    }
    SetMenu(windows.window, menu);
    if (previous)
        DestroyMenu(previous);
    windows.menu = menu;
    // Keep the panel's client size with or without a menu line.
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrA(windows.window, GWL_STYLE));
    RECT frame{0, 0, panel->width, panel->height};
    AdjustWindowRectEx(&frame, style, menu != nullptr, 0);
    SetWindowPos(windows.window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DrawMenuBar(windows.window);
}

void Win32View::SyncControl(int handle, int controlId)
{
    auto found = panels_.find(handle);
    const Control *control = runtime_ ? runtime_->FindControl(handle, controlId) : nullptr;
    if (found == panels_.end() || !control || controlId > static_cast<int>(found->second.controls.size()))
        return;
    ControlWindows &windows = found->second.controls[controlId - 1];
    if (!windows.main)
        return;
    syncing_ = true;
    const int show = control->visible ? SW_SHOWNA : SW_HIDE;
    const BOOL enabled = !control->dimmed && control->inputEnabled;
    const RECT area = ControlRect(*control);
    RECT current{};
    GetWindowRect(windows.main, &current);
    MapWindowPoints(nullptr, found->second.window, reinterpret_cast<POINT *>(&current), 2);
    if (current.left != area.left || current.top != area.top) {
        SetWindowPos(windows.main, nullptr, area.left, area.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (windows.label) {
            const bool beside = control->kind == ControlKind::Led;
            SetWindowPos(windows.label, nullptr, beside ? area.right + 4 : area.left,
                         beside ? area.top : area.top - kLabelHeight, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (windows.spin)
            SendMessageA(windows.spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(windows.main), 0);
    }
    for (HWND part : {windows.main, windows.label, windows.spin}) {
        if (part) {
            ShowWindow(part, show);
            EnableWindow(part, enabled);
        }
    }
    if (windows.label) {
        SetTextIfChanged(windows.label, PlainLabel(control->label));
        FitLabel(windows.label, control->kind == ControlKind::Led ? 0 : area.right - area.left);
    }
    switch (control->kind) {
    case ControlKind::Numeric:
    case ControlKind::String: {
        const std::string text = DisplayText(*control);
        if (WindowText(windows.main) != text) {
            SetWindowTextA(windows.main, text.c_str());
            SendMessageA(windows.main, EM_SETSEL, text.size(), text.size());
        }
        SendMessageA(windows.main, EM_SETREADONLY, control->indicator, 0);
        break;
    }
    case ControlKind::TextMessage:
        SetTextIfChanged(windows.main, control->text.text);
        InvalidateRect(windows.main, nullptr, TRUE);
        break;
    case ControlKind::Ring: {
        const int count = static_cast<int>(SendMessageA(windows.main, CB_GETCOUNT, 0, 0));
        bool same = count == static_cast<int>(control->list.items.size());
        for (int i = 0; same && i < count; ++i) {
            char text[512] = {};
            if (SendMessageA(windows.main, CB_GETLBTEXTLEN, i, 0) < static_cast<LRESULT>(sizeof text))
                SendMessageA(windows.main, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            same = control->list.items[i].label == text;
        }
        if (!same) {
            SendMessageA(windows.main, CB_RESETCONTENT, 0, 0);
            for (const ListItem &item : control->list.items)
                SendMessageA(windows.main, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.label.c_str()));
        }
        SendMessageA(windows.main, CB_SETCURSEL, control->list.selected, 0);
        break;
    }
    case ControlKind::CommandButton:
    case ControlKind::ToggleButton:
    case ControlKind::CheckBox:
        SetTextIfChanged(windows.main, AccessKeyLabel(control->label));
        if (control->kind != ControlKind::CommandButton)
            SendMessageA(windows.main, BM_SETCHECK, control->number.value != 0.0 ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case ControlKind::ProgressBar:
        SendMessageA(windows.main, PBM_SETPOS, static_cast<WPARAM>(control->number.value), 0);
        break;
    case ControlKind::Graph:
        if (control->graph.redraw)
            InvalidateRect(windows.main, nullptr, FALSE);
        break;
    case ControlKind::Led:
    case ControlKind::Picture:
    case ControlKind::Decoration:
        InvalidateRect(windows.main, nullptr, FALSE);
        break;
    case ControlKind::Tab:
        SyncTab(handle, *control, windows);
        break;
    case ControlKind::Timer:
        break;
    }
    syncing_ = false;
}

void Win32View::SyncTab(int handle, const Control &tab, ControlWindows &windows)
{
    std::vector<int> visiblePages;
    for (std::size_t i = 0; i < tab.tab.pages.size(); ++i) {
        if (tab.tab.pages[i].visible)
            visiblePages.push_back(static_cast<int>(i));
    }
    SendMessageA(windows.main, TCM_DELETEALLITEMS, 0, 0);
    for (std::size_t item = 0; item < visiblePages.size(); ++item) {
        std::string label = PlainLabel(tab.tab.pages[visiblePages[item]].label);
        TCITEMA entry{};
        entry.mask = TCIF_TEXT;
        entry.pszText = label.data();
        SendMessageA(windows.main, TCM_INSERTITEMA, item, reinterpret_cast<LPARAM>(&entry));
    }
    windows.tabPages = visiblePages;
    auto active = std::find(visiblePages.begin(), visiblePages.end(), tab.tab.active);
    SendMessageA(windows.main, TCM_SETCURSEL,
                 active == visiblePages.end() ? static_cast<WPARAM>(-1) : active - visiblePages.begin(), 0);
    for (const TabPage &page : tab.tab.pages) {
        if (PanelWindow(page.panel))
            SyncPanel(page.panel);
    }
    (void)handle;
}

void Win32View::OnModelChange(const ModelChange &change)
{
    if (!runtime_)
        return;
    switch (change.kind) {
    case ChangeKind::PanelAdded:
        CreatePanel(change.handle);
        break;
    case ChangeKind::PanelRemoved:
        DestroyPanel(change.handle);
        SyncModality();
        break;
    case ChangeKind::PanelState:
        SyncPanel(change.handle);
        break;
    case ChangeKind::ControlState:
        if (change.control == 0) {
            if (const Panel *panel = runtime_->FindPanel(change.handle)) {
                for (const Control &control : panel->controls)
                    SyncControl(change.handle, control.id);
            }
        } else {
            SyncControl(change.handle, change.control);
        }
        break;
    case ChangeKind::MenuBarAdded:
    case ChangeKind::MenuBarRemoved:
    case ChangeKind::MenuBarState:
        for (const auto &[handle, windows] : panels_) {
            const Panel *panel = runtime_->FindPanel(handle);
            if (panel && panel->ownerPanel == 0)
                SyncMenu(handle);
        }
        break;
    case ChangeKind::ActivePanel:
        SyncModality();
        if (HWND window = PanelWindow(change.handle); window && IsWindowVisible(window)) {
            syncing_ = true;
            SetForegroundWindow(window);
            SetActiveWindow(window);
            syncing_ = false;
        }
        break;
    case ChangeKind::Cursor:
        SetCursor(CursorFor(runtime_->MouseCursor()));
        break;
    }
}

bool Win32View::CapturePanel(int panel, Bitmap &bitmap)
{
    HWND window = PanelWindow(panel);
    if (!window || !IsWindowVisible(window))
        return false;
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0)
        return false;
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void *bits = nullptr;
    // The window's own DC reads what the window and its children drew, even where another
    // window covers it on the screen.
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP dib = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool captured = false;
    if (memory && dib && bits) {
        HGDIOBJ previous = SelectObject(memory, dib);
        captured = BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        if (captured) {
            const auto *pixels = static_cast<const std::uint32_t *>(bits);
            bitmap.width = width;
            bitmap.height = height;
            bitmap.pixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
            for (std::uint32_t &pixel : bitmap.pixels)
                pixel &= 0xFFFFFF;
            // A window that drew nothing reads as one colour; then the model's own drawing is better.
            const std::uint32_t first = bitmap.pixels.front();
            captured = std::any_of(bitmap.pixels.begin(), bitmap.pixels.end(),
                                   [first](std::uint32_t pixel) { return pixel != first; });
        }
        SelectObject(memory, previous);
    }
    if (dib)
        DeleteObject(dib);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(window, source);
    return captured;
}

bool Win32View::ControlBox(int panel, int control, PictureBox &box)
{
    HWND window = ControlWindow(panel, control);
    HWND top = window ? GetAncestor(window, GA_ROOT) : nullptr;
    if (!window || !top)
        return false;
    RECT area{};
    GetWindowRect(window, &area);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT *>(&area), 2);
    box = PictureBox{area.left, area.top, area.right - area.left, area.bottom - area.top};
    return true;
}

bool Win32View::WaitForInput(std::optional<std::int64_t> deadlineUs)
{
    if (!waitForMessages_) {
        if (deadlineUs)
            clock_.WaitUntil(*deadlineUs);
        return deadlineUs.has_value() || GetQueueStatus(QS_ALLPOSTMESSAGE | QS_INPUT) != 0;
    }
    if (!deadlineUs && panels_.empty())
        return false;
    DWORD timeout = INFINITE;
    if (deadlineUs) {
        const std::int64_t remaining = *deadlineUs - clock_.NowUs();
        timeout = remaining <= 0 ? 0 : static_cast<DWORD>(std::min<std::int64_t>((remaining + 999) / 1000, 0x7FFFFFFF));
    }
    const DWORD result = MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_TIMEOUT && deadlineUs)
        clock_.WaitUntil(*deadlineUs);
    return true;
}

void Win32View::PumpInput()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            if (runtime_)
                runtime_->Quit(static_cast<int>(message.wParam));
            continue;
        }
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && EscapeClosesPopup(message.hwnd))
            continue;
        HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
        if (const int panel = PanelOfWindow(top)) {
            HACCEL accelerators = panels_[panel].accelerators;
            if (accelerators && TranslateAcceleratorA(top, accelerators, &message))
                continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// Escape closes a popup panel as its close box does, unless a field takes the key for itself.
bool Win32View::EscapeClosesPopup(HWND target)
{
    if (!runtime_ || !target)
        return false;
    const int panel = PanelOfWindow(GetAncestor(target, GA_ROOT));
    const std::vector<int> &popups = runtime_->PopupStack();
    if (panel == 0 || popups.empty() || popups.back() != panel)
        return false;
    int owner = 0;
    int control = 0;
    if (FindControlOfWindow(target, &owner, &control)) {
        const Control *focused = runtime_->FindControl(owner, control);
        if (focused && (focused->kind == ControlKind::Numeric || focused->kind == ControlKind::String))
            return false;
    }
    Give(UserInput(InputKind::Close, panel));
    return true;
}

void Win32View::PumpDrawing()
{
    for (const auto &[handle, windows] : panels_) {
        if (!GetParent(windows.window))
            RedrawWindow(windows.window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
}

LRESULT CALLBACK Win32View::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTA *>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *view = reinterpret_cast<Win32View *>(GetWindowLongPtrA(window, GWLP_USERDATA));
    const int panel = view ? view->PanelOfWindow(window) : 0;
    if (!view || panel == 0 || !view->runtime_)
        return DefWindowProcA(window, message, wParam, lParam);
    return view->HandlePanelMessage(panel, window, message, wParam, lParam);
}

LRESULT Win32View::HandlePanelMessage(int panel, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND: {
        if (lParam == 0) {
            if (HIWORD(wParam) <= 1)
                Give(UserInput(InputKind::MenuItem, runtime_->GetPanelMenuBar(panel), LOWORD(wParam)));
            return 0;
        }
        int owner = 0;
        int control = 0;
        if (syncing_ || !FindControlOfWindow(reinterpret_cast<HWND>(lParam), &owner, &control))
            return 0;
        const Control *target = runtime_->FindControl(owner, control);
        const WORD code = HIWORD(wParam);
        if (!target)
            return 0;
        if ((code == BN_CLICKED || code == STN_CLICKED) && target->kind != ControlKind::Ring &&
            target->kind != ControlKind::Numeric && target->kind != ControlKind::String) {
            Give(UserInput(InputKind::Click, owner, control));
        } else if (code == CBN_SELCHANGE && target->kind == ControlKind::Ring) {
            UserInput input(InputKind::SelectIndex, owner, control);
            input.index = static_cast<int>(SendMessageA(reinterpret_cast<HWND>(lParam), CB_GETCURSEL, 0, 0));
            // The model decides; until then the list shows what the model holds.
            SyncControl(owner, control);
            Give(std::move(input));
        }
        return 0;
    }
    case WM_NOTIFY: {
        const auto *header = reinterpret_cast<const NMHDR *>(lParam);
        int owner = 0;
        int control = 0;
        if (syncing_ || !FindControlOfWindow(header->hwndFrom, &owner, &control))
            return 0;
        const Control *target = runtime_->FindControl(owner, control);
        if (header->code == UDN_DELTAPOS && target && target->kind == ControlKind::Numeric) {
            const auto *delta = reinterpret_cast<const NMUPDOWN *>(lParam);
            UserInput input(InputKind::SetNumber, owner, control);
            input.number = target->number.value + (delta->iDelta > 0 ? 1 : -1) * target->number.increment;
            Give(std::move(input));
            return TRUE;
        }
        if (header->code == TCN_SELCHANGE && target && target->kind == ControlKind::Tab) {
            const int item = static_cast<int>(SendMessageA(header->hwndFrom, TCM_GETCURSEL, 0, 0));
            const auto &pages = panels_[owner].controls[control - 1].tabPages;
            if (item >= 0 && item < static_cast<int>(pages.size())) {
                UserInput input(InputKind::SelectTab, owner, control);
                input.index = pages[item];
                SyncControl(owner, control);
                Give(std::move(input));
            }
        }
        return 0;
    }
    case WM_DRAWITEM: {
        const auto *item = reinterpret_cast<const DRAWITEMSTRUCT *>(lParam);
        const Control *target = runtime_->FindControl(panel, static_cast<int>(item->CtlID));
        if (!target)
            return FALSE;
        FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
        if (target->kind == ControlKind::Graph)
            PaintGraph(item->hDC, item->rcItem, *target);
        else if (target->kind == ControlKind::Led)
            PaintLed(item->hDC, item->rcItem, *target);
        else
            PaintSwatch(item->hDC, item->rcItem, *target);
        return TRUE;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        int owner = 0;
        int control = 0;
        HDC dc = reinterpret_cast<HDC>(wParam);
        const bool edit = message == WM_CTLCOLOREDIT;
        if (FindControlOfWindow(reinterpret_cast<HWND>(lParam), &owner, &control)) {
            const Control *target = runtime_->FindControl(owner, control);
            if (target && !target->dimmed)
                SetTextColor(dc, ToColorRef(target->textColor));
        }
        SetBkColor(dc, GetSysColor(edit ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(edit ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_CLOSE:
        Give(UserInput(InputKind::Close, panel));
        return 0;
    case WM_MOUSEMOVE: {
        UserInput input(InputKind::MouseMove, panel);
        input.index = static_cast<short>(LOWORD(lParam));
        input.y = static_cast<short>(HIWORD(lParam));
        Give(std::move(input));
        return 0;
    }
    case WM_MOUSEWHEEL: {
        int owner = 0;
        int control = 0;
        if (FindControlOfWindow(GetFocus(), &owner, &control)) {
            UserInput input(InputKind::Wheel, owner, control);
            input.index = GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 1 : -1;
            Give(std::move(input));
        }
        return 0;
    }
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(CursorFor(runtime_->MouseCursor()));
            return TRUE;
        }
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && !syncing_ && !GetParent(window))
            runtime_->SetActivePanel(panel);
        break;
    case WM_QUERYENDSESSION:
        Give(UserInput(InputKind::EndTask));
        return FALSE;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK Win32View::EditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data)
{
    auto *view = reinterpret_cast<Win32View *>(data);
    switch (message) {
    case WM_GETDLGCODE:
        return DLGC_WANTALLKEYS;
    case WM_KEYDOWN:
    case WM_CHAR:
        if (view->HandleEditKey(window, message, wParam))
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, EditProc, 1);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

// Keys typed into a numeric or string go to the model, which owns the text.
bool Win32View::HandleEditKey(HWND edit, UINT message, WPARAM wParam)
{
    int panel = 0;
    int control = 0;
    if (!runtime_ || !FindControlOfWindow(edit, &panel, &control))
        return false;
    int key = 0;
    if (message == WM_KEYDOWN) {
        key = KeyOfVirtualKey(wParam);
        if (key == 0)
            return false;
    } else {
        const int character = static_cast<unsigned char>(wParam);
        if (character < 0x20 || character == 0x7F)
            return true; // its key went to the model on WM_KEYDOWN
        key = character;
    }
    UserInput input(InputKind::Key, panel, control);
    input.index = key;
    Give(std::move(input));
    return true;
}

} // namespace cvi
