#include "Runtime.h"

#include <algorithm>
#include <cstring>

#include "CallbackRegistry.h"
#include "PanelPainter.h"
#include "TextTokens.h"
#include "UirSource.h"

namespace cvi {

namespace {

Runtime *g_current = nullptr;
constexpr std::size_t kMaxTitleLength = 255;

std::string DocumentKey(std::string_view resourceFile)
{
    std::string key(ResourceBaseName(resourceFile));
    for (char &c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

} // namespace

const char *InputStatusText(InputStatus status)
{
    switch (status) {
    case InputStatus::Accepted: return "accepted";
    case InputStatus::NoSuchTarget: return "no such target";
    case InputStatus::Hidden: return "hidden";
    case InputStatus::Dimmed: return "dimmed";
    case InputStatus::InputOff: return "input switched off";
    case InputStatus::Indicator: return "indicator";
    case InputStatus::PopupBlocked: return "blocked by a popup";
    case InputStatus::CloseDisabled: return "close box disabled";
    case InputStatus::WrongKind: return "wrong kind of control";
    case InputStatus::BadValue: return "value not possible";
    }
    return "?";
}

Runtime::Runtime(Clock &clock, Dialogs &dialogs, EventSource &events, ModelObserver *observer)
    : clock_(clock), dialogs_(dialogs), events_(events), observer_(observer)
{
}

Runtime::~Runtime()
{
    Uninstall();
}

Runtime *Runtime::Current()
{
    return g_current;
}

void Runtime::Install()
{
    g_current = this;
}

void Runtime::Uninstall()
{
    if (g_current == this)
        g_current = nullptr;
}

void Runtime::Notify(ChangeKind kind, int handle, int control)
{
    if (observer_)
        observer_->OnModelChange({kind, handle, control});
}

const UirDocument *Runtime::Document(std::string_view resourceFile, int *status)
{
    const std::string key = DocumentKey(resourceFile);
    auto found = documents_.find(key);
    if (found != documents_.end())
        return found->second.get();
    auto text = ReadUirText(resourceFile);
    if (!text) {
        *status = UIE_RESOURCE_NOT_FOUND;
        return nullptr;
    }
    UirParseResult parsed = ParseUir(*text);
    if (!parsed.ok) {
        *status = UIE_RESOURCE_FORMAT;
        return nullptr;
    }
    auto &slot = documents_[key];
    slot = std::make_unique<UirDocument>(std::move(parsed.document));
    return slot.get();
}

int Runtime::LoadPanel(int parentPanel, std::string_view resourceFile, int resourceId)
{
    if (parentPanel != 0)
        return FindPanel(parentPanel) ? UIE_NOT_ALLOWED : UIE_INVALID_PANEL;
    int status = 0;
    const UirDocument *document = Document(resourceFile, &status);
    if (!document)
        return status;
    const PanelTemplate *entry = document->FindPanel(resourceId);
    if (!entry)
        return UIE_RESOURCE_NOT_FOUND;
    if (entry->isPage)
        return UIE_NOT_ALLOWED;
    const int handle = Instantiate(*document, *entry, resourceFile, 0, 0);
    if (handle > 0)
        AnnounceTree(handle);
    return handle;
}

void Runtime::AnnounceTree(int panel)
{
    const Panel *found = FindPanel(panel);
    Notify(ChangeKind::PanelAdded, panel);
    for (const Control &control : found->controls) {
        for (const TabPage &page : control.tab.pages)
            AnnounceTree(page.panel);
    }
    if (found->menuBar != 0)
        Notify(ChangeKind::MenuBarAdded, found->menuBar);
}

int Runtime::Instantiate(const UirDocument &document, const PanelTemplate &entry,
                         std::string_view file, int ownerPanel, int ownerTab)
{
    auto panel = std::make_unique<Panel>(entry.panel);
    const int handle = nextHandle_++;
    panel->handle = handle;
    panel->resourceFile = std::string(file);
    panel->ownerPanel = ownerPanel;
    panel->ownerTab = ownerTab;
    panel->visible = ownerPanel != 0;
    if (!panel->callbackName.empty()) {
        const UirCallbackBinding *binding = FindUirCallback(file, panel->callbackName);
        if (!binding || !binding->panel)
            return UIE_UNKNOWN_CALLBACK;
        panel->callback = binding->panel;
    }
    for (Control &control : panel->controls) {
        if (control.callbackName.empty())
            continue;
        const UirCallbackBinding *binding = FindUirCallback(file, control.callbackName);
        if (!binding || !binding->control)
            return UIE_UNKNOWN_CALLBACK;
        control.callback = binding->control;
    }
    for (Control &control : panel->controls) {
        if (control.kind == ControlKind::Timer && control.timer.enabled)
            StartTimer(control);
    }
    Panel *raw = panel.get();
    panels_.emplace(handle, std::move(panel));

    // Pages and the menu bar come with the panel; a failure takes the whole panel back.
    for (Control &control : raw->controls) {
        if (control.kind != ControlKind::Tab)
            continue;
        for (TabPage &page : control.tab.pages) {
            const PanelTemplate *pageEntry = document.FindPanel(page.panel);
            const int pageHandle = pageEntry ? Instantiate(document, *pageEntry, file, handle, control.id)
                                             : UIE_RESOURCE_FORMAT;
            if (pageHandle < 0) {
                page.panel = 0;
                RemovePanel(handle);
                return pageHandle;
            }
            page.panel = pageHandle;
        }
    }
    if (!entry.menuBarName.empty()) {
        const int bar = InstantiateMenuBar(*document.FindMenuBar(entry.menuBarName), file, handle);
        if (bar < 0) {
            RemovePanel(handle);
            return bar;
        }
        raw->menuBar = bar;
    }
    return handle;
}

int Runtime::LoadMenuBar(int panel, std::string_view resourceFile, int resourceId)
{
    Panel *owner = nullptr;
    if (panel != 0) {
        owner = FindPanel(panel);
        if (!owner || owner->ownerPanel != 0)
            return UIE_INVALID_PANEL;
    }
    int status = 0;
    const UirDocument *document = Document(resourceFile, &status);
    if (!document)
        return status;
    const MenuBar *source = document->FindMenuBar(resourceId);
    if (!source)
        return UIE_RESOURCE_NOT_FOUND;
    const int bar = InstantiateMenuBar(*source, resourceFile, panel);
    if (bar < 0)
        return bar;
    if (owner) {
        if (owner->menuBar != 0)
            DiscardMenuBar(owner->menuBar);
        owner->menuBar = bar;
    }
    Notify(ChangeKind::MenuBarAdded, bar);
    if (owner)
        Notify(ChangeKind::PanelState, panel);
    return bar;
}

int Runtime::InstantiateMenuBar(const MenuBar &source, std::string_view file, int panel)
{
    auto bar = std::make_unique<MenuBar>(source);
    for (MenuEntry &entry : bar->entries) {
        if (entry.callbackName.empty())
            continue;
        const UirCallbackBinding *binding = FindUirCallback(file, entry.callbackName);
        if (!binding || !binding->menu)
            return UIE_UNKNOWN_CALLBACK;
        entry.callback = binding->menu;
    }
    const int handle = nextHandle_++;
    bar->handle = handle;
    bar->resourceFile = std::string(file);
    bar->panel = panel;
    menuBars_.emplace(handle, std::move(bar));
    return handle;
}

int Runtime::DiscardPanel(int panel)
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (found->ownerPanel != 0)
        return UIE_NOT_ALLOWED;
    RemovePanel(panel);
    return 0;
}

void Runtime::RemovePanel(int panel)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return;
    std::vector<int> pages;
    for (const Control &control : found->controls) {
        for (const TabPage &page : control.tab.pages) {
            if (page.panel != 0)
                pages.push_back(page.panel);
        }
    }
    const int menuBar = found->menuBar;
    for (int page : pages)
        RemovePanel(page);
    if (menuBar != 0)
        DiscardMenuBar(menuBar);
    DropFromPopups(panel);
    std::erase(shownOrder_, panel);
    panels_.erase(panel);
    queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                [panel](const UserInput &input) {
                                    return input.kind != InputKind::MenuItem && input.panel == panel;
                                }),
                 queue_.end());
    Notify(ChangeKind::PanelRemoved, panel);
    if (activePanel_ == panel)
        ChooseActivePanel();
}

int Runtime::DiscardMenuBar(int menuBar)
{
    auto found = menuBars_.find(menuBar);
    if (found == menuBars_.end())
        return UIE_INVALID_MENU;
    if (Panel *owner = FindPanel(found->second->panel); owner && owner->menuBar == menuBar) {
        owner->menuBar = 0;
        Notify(ChangeKind::PanelState, owner->handle);
    }
    menuBars_.erase(found);
    Notify(ChangeKind::MenuBarRemoved, menuBar);
    return 0;
}

Panel *Runtime::FindPanel(int panel)
{
    auto found = panels_.find(panel);
    return found == panels_.end() ? nullptr : found->second.get();
}

const Panel *Runtime::FindPanel(int panel) const
{
    auto found = panels_.find(panel);
    return found == panels_.end() ? nullptr : found->second.get();
}

Control *Runtime::FindControl(int panel, int control, int *status)
{
    Panel *found = FindPanel(panel);
    int result = 0;
    Control *target = nullptr;
    if (!found)
        result = UIE_INVALID_PANEL;
    else if (control < 1 || control > static_cast<int>(found->controls.size()))
        result = UIE_INVALID_CONTROL;
    else
        target = &found->controls[control - 1];
    if (status)
        *status = result;
    return target;
}

MenuBar *Runtime::FindMenuBar(int menuBar)
{
    auto found = menuBars_.find(menuBar);
    return found == menuBars_.end() ? nullptr : found->second.get();
}

MenuEntry *Runtime::FindMenuEntry(int menuBar, int entry, int *status)
{
    MenuBar *bar = FindMenuBar(menuBar);
    int result = 0;
    MenuEntry *target = nullptr;
    if (!bar || entry < 2 || entry - 2 >= static_cast<int>(bar->entries.size()))
        result = UIE_INVALID_MENU;
    else
        target = &bar->entries[entry - 2];
    if (status)
        *status = result;
    return target;
}

bool Runtime::IsShown(int panel) const
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return false;
    if (found->ownerPanel == 0)
        return found->visible;
    const Panel *owner = FindPanel(found->ownerPanel);
    if (!owner || found->ownerTab < 1 || found->ownerTab > static_cast<int>(owner->controls.size()))
        return false;
    const Control &tab = owner->controls[found->ownerTab - 1];
    const TabPage &page = tab.tab.pages[found->pageIndex];
    return tab.visible && page.visible && tab.tab.active == found->pageIndex && IsShown(owner->handle);
}

int Runtime::TopLevelOf(int panel) const
{
    const Panel *found = FindPanel(panel);
    while (found && found->ownerPanel != 0)
        found = FindPanel(found->ownerPanel);
    return found ? found->handle : 0;
}

int Runtime::DisplayPanel(int panel)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (found->ownerPanel != 0)
        return UIE_NOT_ALLOWED;
    found->visible = true;
    std::erase(shownOrder_, panel);
    shownOrder_.push_back(panel);
    Notify(ChangeKind::PanelState, panel);
    // A panel shown under a popup does not take the focus from it.
    if (popups_.empty() || popups_.back() == panel)
        SetActivePanel(panel);
    return 0;
}

int Runtime::HidePanel(int panel)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (found->ownerPanel != 0)
        return UIE_NOT_ALLOWED;
    found->visible = false;
    std::erase(shownOrder_, panel);
    DropFromPopups(panel);
    Notify(ChangeKind::PanelState, panel);
    if (activePanel_ == panel)
        ChooseActivePanel();
    return 0;
}

int Runtime::InstallPopup(int panel)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (found->ownerPanel != 0)
        return UIE_NOT_ALLOWED;
    std::erase(popups_, panel);
    popups_.push_back(panel);
    return DisplayPanel(panel);
}

void Runtime::DropFromPopups(int panel)
{
    std::erase(popups_, panel);
}

void Runtime::ChooseActivePanel()
{
    int next = 0;
    if (!popups_.empty()) {
        next = popups_.back();
    } else if (!shownOrder_.empty()) {
        next = shownOrder_.back();
    }
    if (next != activePanel_) {
        activePanel_ = next;
        Notify(ChangeKind::ActivePanel, next);
    }
}

int Runtime::SetActivePanel(int panel)
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (found->ownerPanel != 0 || !found->visible)
        return UIE_NOT_ALLOWED;
    // While a popup is up, no other panel can take the focus.
    if (!popups_.empty() && popups_.back() != panel)
        return UIE_NOT_ALLOWED;
    std::erase(shownOrder_, panel);
    shownOrder_.push_back(panel);
    if (activePanel_ != panel) {
        activePanel_ = panel;
        Notify(ChangeKind::ActivePanel, panel);
    }
    return 0;
}

int Runtime::InstallPanelCallback(int panel, PanelCallbackPtr callback, void *callbackData)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    found->callback = callback;
    found->callbackData = callbackData;
    return 0;
}

int Runtime::SetPanelAttribute(int panel, int attribute, int value)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    switch (attribute) {
    case ATTR_VISIBLE:
        if (found->ownerPanel != 0)
            return UIE_NOT_ALLOWED;
        return value ? DisplayPanel(panel) : HidePanel(panel);
    case ATTR_DIMMED:
        found->dimmed = value != 0;
        break;
    case ATTR_CLOSE_ENABLED:
        found->closeEnabled = value != 0;
        break;
    case ATTR_TITLE:
        return UIE_TYPE_MISMATCH;
    default:
        return UIE_INVALID_ATTRIBUTE;
    }
    Notify(ChangeKind::PanelState, panel);
    return 0;
}

int Runtime::SetPanelTitle(int panel, std::string_view title)
{
    Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    found->title = std::string(title);
    Notify(ChangeKind::PanelState, panel);
    return 0;
}

int Runtime::GetPanelAttribute(int panel, int attribute, int *value)
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (!value)
        return UIE_INVALID_VALUE;
    switch (attribute) {
    case ATTR_VISIBLE: *value = found->ownerPanel ? IsShown(panel) : found->visible; break;
    case ATTR_DIMMED: *value = found->dimmed; break;
    case ATTR_CLOSE_ENABLED: *value = found->closeEnabled; break;
    case ATTR_TITLE: return UIE_TYPE_MISMATCH;
    default: return UIE_INVALID_ATTRIBUTE;
    }
    return 0;
}

int Runtime::GetPanelTitle(int panel, char *title)
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return UIE_INVALID_PANEL;
    if (!title)
        return UIE_INVALID_VALUE;
    // Callers cannot ask for the title's length, so it comes in at most a fixed size.
    const std::size_t length = std::min<std::size_t>(found->title.size(), kMaxTitleLength);
    found->title.copy(title, length);
    title[length] = '\0';
    return 0;
}

int Runtime::SetInputMode(int panelOrMenuBar, int control, int mode)
{
    if (MenuBar *bar = FindMenuBar(panelOrMenuBar)) {
        if (control != -1 && control != 0)
            return UIE_INVALID_CONTROL;
        bar->inputEnabled = mode != 0;
        Notify(ChangeKind::MenuBarState, panelOrMenuBar);
        return 0;
    }
    Panel *panel = FindPanel(panelOrMenuBar);
    if (!panel)
        return UIE_INVALID_PANEL;
    if (control == -1) {
        panel->inputEnabled = mode != 0;
        Notify(ChangeKind::PanelState, panelOrMenuBar);
        return 0;
    }
    int status = 0;
    Control *target = FindControl(panelOrMenuBar, control, &status);
    if (!target)
        return status;
    target->inputEnabled = mode != 0;
    Notify(ChangeKind::ControlState, panelOrMenuBar, control);
    return 0;
}

int Runtime::InstallCtrlCallback(int panel, int control, CtrlCallbackPtr callback, void *callbackData)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    target->callback = callback;
    target->callbackData = callbackData;
    return 0;
}

int Runtime::SetActiveCtrl(int panel, int control)
{
    int status = 0;
    Control *target = FindControl(panel, control, &status);
    if (!target)
        return status;
    if (target->kind == ControlKind::Timer)
        return UIE_NOT_ALLOWED;
    FindPanel(panel)->activeControl = control;
    Notify(ChangeKind::PanelState, panel);
    return 0;
}

int Runtime::GetActiveCtrl(int panel)
{
    const Panel *found = FindPanel(panel);
    return found ? found->activeControl : UIE_INVALID_PANEL;
}

TabPage *Runtime::FindPage(int panel, int tab, int pageIndex, int *status)
{
    Control *target = FindControl(panel, tab, status);
    if (!target)
        return nullptr;
    if (target->kind != ControlKind::Tab) {
        *status = UIE_INVALID_CONTROL;
        return nullptr;
    }
    if (pageIndex < 0 || pageIndex >= static_cast<int>(target->tab.pages.size())) {
        *status = UIE_INVALID_INDEX;
        return nullptr;
    }
    return &target->tab.pages[pageIndex];
}

int Runtime::GetPageHandle(int panel, int tab, int pageIndex, int *pagePanel)
{
    int status = 0;
    const TabPage *page = FindPage(panel, tab, pageIndex, &status);
    if (!page)
        return status;
    if (!pagePanel)
        return UIE_INVALID_VALUE;
    *pagePanel = page->panel;
    return 0;
}

int Runtime::GetActivePage(int panel, int tab, int *pageIndex)
{
    int status = 0;
    if (!FindPage(panel, tab, 0, &status))
        return status;
    if (!pageIndex)
        return UIE_INVALID_VALUE;
    *pageIndex = FindControl(panel, tab)->tab.active;
    return 0;
}

int Runtime::SetActivePage(int panel, int tab, int pageIndex)
{
    int status = 0;
    if (!FindPage(panel, tab, pageIndex, &status))
        return status;
    Control *target = FindControl(panel, tab);
    if (target->tab.active != pageIndex) {
        target->tab.active = pageIndex;
        Notify(ChangeKind::ControlState, panel, tab);
    }
    return 0;
}

int Runtime::SetTabPageAttribute(int panel, int tab, int pageIndex, int attribute, int value)
{
    int status = 0;
    TabPage *page = FindPage(panel, tab, pageIndex, &status);
    if (!page)
        return status;
    switch (attribute) {
    case ATTR_DIMMED: page->dimmed = value != 0; break;
    case ATTR_VISIBLE: page->visible = value != 0; break;
    default: return UIE_INVALID_ATTRIBUTE;
    }
    Notify(ChangeKind::ControlState, panel, tab);
    return 0;
}

int Runtime::GetTabPageAttribute(int panel, int tab, int pageIndex, int attribute, int *value)
{
    int status = 0;
    const TabPage *page = FindPage(panel, tab, pageIndex, &status);
    if (!page)
        return status;
    if (!value)
        return UIE_INVALID_VALUE;
    switch (attribute) {
    case ATTR_DIMMED: *value = page->dimmed; break;
    case ATTR_VISIBLE: *value = page->visible; break;
    default: return UIE_INVALID_ATTRIBUTE;
    }
    return 0;
}

int Runtime::GetPanelMenuBar(int panel)
{
    const Panel *found = FindPanel(panel);
    return found ? found->menuBar : UIE_INVALID_PANEL;
}

int Runtime::SetMenuBarAttribute(int menuBar, int entry, int attribute, int value)
{
    int status = 0;
    MenuEntry *target = FindMenuEntry(menuBar, entry, &status);
    if (!target)
        return status;
    switch (attribute) {
    case ATTR_DIMMED:
        target->dimmed = value != 0;
        break;
    case ATTR_CHECKED:
        if (target->kind != MenuEntryKind::Item)
            return UIE_INVALID_ATTRIBUTE;
        target->checked = value != 0;
        break;
    default:
        return UIE_INVALID_ATTRIBUTE;
    }
    Notify(ChangeKind::MenuBarState, menuBar, entry);
    return 0;
}

int Runtime::GetMenuBarAttribute(int menuBar, int entry, int attribute, int *value)
{
    int status = 0;
    const MenuEntry *target = FindMenuEntry(menuBar, entry, &status);
    if (!target)
        return status;
    if (!value)
        return UIE_INVALID_VALUE;
    switch (attribute) {
    case ATTR_DIMMED: *value = target->dimmed; break;
    case ATTR_CHECKED: *value = target->checked; break;
    default: return UIE_INVALID_ATTRIBUTE;
    }
    return 0;
}

int Runtime::InstallMenuCallback(int menuBar, int entry, MenuCallbackPtr callback, void *callbackData)
{
    int status = 0;
    MenuEntry *target = FindMenuEntry(menuBar, entry, &status);
    if (!target)
        return status;
    if (target->kind != MenuEntryKind::Item)
        return UIE_INVALID_MENU;
    target->callback = callback;
    target->callbackData = callbackData;
    return 0;
}

int Runtime::GetPanelBitmap(int panel, int *bitmap)
{
    if (!FindPanel(panel))
        return UIE_INVALID_PANEL;
    if (!bitmap)
        return UIE_INVALID_VALUE;
    Bitmap picture;
    if (!(observer_ && IsShown(panel) && observer_->CapturePanel(panel, picture)))
        picture = PaintPanelBitmap(*this, panel);
    if (picture.width <= 0 || picture.height <= 0)
        return UIE_INVALID_BITMAP;
    const int handle = nextBitmap_++;
    bitmaps_.emplace(handle, std::move(picture));
    *bitmap = handle;
    return 0;
}

bool Runtime::ControlBoxInPicture(int panel, int control, PictureBox &box) const
{
    const Control *target = panel > 0 && FindPanel(panel) && control >= 1 &&
                                    control <= static_cast<int>(FindPanel(panel)->controls.size())
                                ? &FindPanel(panel)->controls[control - 1]
                                : nullptr;
    if (!target || !target->visible)
        return false;
    if (observer_ && observer_->ControlBox(panel, control, box))
        return true;
    return PaintedControlBox(*this, panel, control, box);
}

const Bitmap *Runtime::FindBitmap(int bitmap) const
{
    auto found = bitmaps_.find(bitmap);
    return found == bitmaps_.end() ? nullptr : &found->second;
}

int Runtime::DiscardBitmap(int bitmap)
{
    return bitmaps_.erase(bitmap) ? 0 : UIE_INVALID_BITMAP;
}

} // namespace cvi
