// User input: whether a user could give it now, and the events it sends once delivered.
#include <algorithm>
#include <cmath>

#include "Runtime.h"
#include "TextTokens.h"
#include "ValueRules.h"

namespace cvi {

namespace {

bool TakesValue(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Numeric:
    case ControlKind::String:
    case ControlKind::Ring:
    case ControlKind::ToggleButton:
    case ControlKind::CheckBox:
        return true;
    default:
        return false;
    }
}

bool IsPrintable(int key)
{
    return key >= 0x20 && key < 0x100 && key != 0x7F;
}

} // namespace

InputStatus Runtime::CheckPanel(int panel) const
{
    const Panel *found = FindPanel(panel);
    if (!found)
        return InputStatus::NoSuchTarget;
    if (!IsShown(panel))
        return InputStatus::Hidden;
    if (!popups_.empty() && popups_.back() != TopLevelOf(panel))
        return InputStatus::PopupBlocked;
    // A page is usable only as far as its page, its tab control and the panels above it are.
    for (const Panel *level = found; level; level = FindPanel(level->ownerPanel)) {
        if (level->dimmed)
            return InputStatus::Dimmed;
        if (!level->inputEnabled)
            return InputStatus::InputOff;
        if (level->ownerPanel == 0)
            break;
        const Panel *owner = FindPanel(level->ownerPanel);
        const Control &tab = owner->controls[level->ownerTab - 1];
        if (tab.dimmed || tab.tab.pages[level->pageIndex].dimmed)
            return InputStatus::Dimmed;
        if (!tab.inputEnabled)
            return InputStatus::InputOff;
    }
    return InputStatus::Accepted;
}

InputStatus Runtime::CheckControl(const UserInput &input) const
{
    const InputStatus panelStatus = CheckPanel(input.panel);
    if (panelStatus != InputStatus::Accepted)
        return panelStatus;
    const Panel *panel = FindPanel(input.panel);
    if (input.control < 1 || input.control > static_cast<int>(panel->controls.size()))
        return InputStatus::NoSuchTarget;
    const Control &control = panel->controls[input.control - 1];
    if (control.kind == ControlKind::Timer)
        return InputStatus::WrongKind;
    if (!control.visible)
        return InputStatus::Hidden;
    if (control.dimmed)
        return InputStatus::Dimmed;
    if (!control.inputEnabled)
        return InputStatus::InputOff;

    const bool givesValue = input.kind != InputKind::Click ||
                            control.kind == ControlKind::CommandButton ||
                            control.kind == ControlKind::ToggleButton ||
                            control.kind == ControlKind::CheckBox;
    if (givesValue && control.indicator && control.kind != ControlKind::Tab)
        return InputStatus::Indicator;

    switch (input.kind) {
    case InputKind::Click:
        return control.kind == ControlKind::Tab ? InputStatus::WrongKind : InputStatus::Accepted;
    case InputKind::SetNumber:
        if (control.kind == ControlKind::Ring) {
            const auto &items = control.list.items;
            const bool exists = std::any_of(items.begin(), items.end(), [&](const ListItem &item) {
                return item.value == input.number;
            });
            return exists ? InputStatus::Accepted : InputStatus::BadValue;
        }
        if (control.kind == ControlKind::ToggleButton || control.kind == ControlKind::CheckBox)
            return input.number == 0.0 || input.number == 1.0 ? InputStatus::Accepted
                                                               : InputStatus::BadValue;
        if (control.kind != ControlKind::Numeric)
            return InputStatus::WrongKind;
        return std::isfinite(input.number) ? InputStatus::Accepted : InputStatus::BadValue;
    case InputKind::SetText:
        return control.kind == ControlKind::String ? InputStatus::Accepted : InputStatus::WrongKind;
    case InputKind::SelectIndex:
        if (control.kind != ControlKind::Ring)
            return InputStatus::WrongKind;
        return input.index >= 0 && input.index < static_cast<int>(control.list.items.size())
                   ? InputStatus::Accepted
                   : InputStatus::BadValue;
    case InputKind::Key:
        return TakesValue(control.kind) ? InputStatus::Accepted : InputStatus::WrongKind;
    case InputKind::Wheel:
        if (control.kind != ControlKind::Numeric && control.kind != ControlKind::Ring)
            return InputStatus::WrongKind;
        return input.index == 1 || input.index == -1 ? InputStatus::Accepted : InputStatus::BadValue;
    case InputKind::SelectTab: {
        if (control.kind != ControlKind::Tab)
            return InputStatus::WrongKind;
        if (input.index < 0 || input.index >= static_cast<int>(control.tab.pages.size()))
            return InputStatus::BadValue;
        const TabPage &page = control.tab.pages[input.index];
        if (!page.visible)
            return InputStatus::Hidden;
        return page.dimmed ? InputStatus::Dimmed : InputStatus::Accepted;
    }
    default:
        return InputStatus::WrongKind;
    }
}

InputStatus Runtime::CheckMenuItem(const UserInput &input) const
{
    auto bar = menuBars_.find(input.panel);
    if (bar == menuBars_.end())
        return InputStatus::NoSuchTarget;
    const MenuBar &menuBar = *bar->second;
    // Only a menu bar shown on a panel can be used.
    if (menuBar.panel == 0)
        return InputStatus::Hidden;
    const InputStatus panelStatus = CheckPanel(menuBar.panel);
    if (panelStatus != InputStatus::Accepted)
        return panelStatus;
    if (!menuBar.inputEnabled)
        return InputStatus::InputOff;
    const int index = input.control - 2;
    if (index < 0 || index >= static_cast<int>(menuBar.entries.size()))
        return InputStatus::NoSuchTarget;
    const MenuEntry &item = menuBar.entries[index];
    if (item.kind != MenuEntryKind::Item)
        return InputStatus::WrongKind;
    const bool opensSubmenu = std::any_of(menuBar.entries.begin(), menuBar.entries.end(),
                                          [&](const MenuEntry &entry) { return entry.parent == item.id; });
    if (opensSubmenu)
        return InputStatus::WrongKind;
    for (const MenuEntry *level = &item; level;) {
        if (level->dimmed)
            return InputStatus::Dimmed;
        level = level->parent ? &menuBar.entries[level->parent - 2] : nullptr;
    }
    return InputStatus::Accepted;
}

InputStatus Runtime::Check(const UserInput &input) const
{
    if (blockingPopups_ > 0)
        return InputStatus::PopupBlocked;
    switch (input.kind) {
    case InputKind::EndTask:
        return InputStatus::Accepted;
    case InputKind::MenuItem:
        return CheckMenuItem(input);
    case InputKind::MouseMove:
        if (!FindPanel(input.panel))
            return InputStatus::NoSuchTarget;
        if (!IsShown(input.panel))
            return InputStatus::Hidden;
        return !popups_.empty() && popups_.back() != TopLevelOf(input.panel) ? InputStatus::PopupBlocked
                                                                             : InputStatus::Accepted;
    case InputKind::Close: {
        const Panel *panel = FindPanel(input.panel);
        if (!panel)
            return InputStatus::NoSuchTarget;
        if (panel->ownerPanel != 0)
            return InputStatus::WrongKind;
        const InputStatus status = CheckPanel(input.panel);
        if (status != InputStatus::Accepted)
            return status;
        return panel->closeEnabled ? InputStatus::Accepted : InputStatus::CloseDisabled;
    }
    default:
        return CheckControl(input);
    }
}

InputStatus Runtime::Submit(UserInput input)
{
    const InputStatus status = Check(input);
    if (status == InputStatus::Accepted)
        queue_.push_back(std::move(input));
    return status;
}

void Runtime::DeliverQueued()
{
    // Input that arrives while these run waits for the next round.
    std::vector<UserInput> batch;
    batch.swap(queue_);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (blockingPopups_ > 0) {
            queue_.insert(queue_.begin(), batch.begin() + static_cast<std::ptrdiff_t>(i), batch.end());
            return;
        }
        Deliver(batch[i]);
    }
}

bool Runtime::SendControlEvent(int panel, int control, int event, int data1, int data2)
{
    const Control *target = FindControl(panel, control);
    if (!target)
        return false;
    if (target->callback) {
        const CtrlCallbackPtr callback = target->callback;
        callback(panel, control, event, target->callbackData, data1, data2);
    }
    return FindControl(panel, control) != nullptr;
}

void Runtime::SendPanelEvent(int panel, int event, int data1, int data2)
{
    const Panel *target = FindPanel(panel);
    if (target && target->callback) {
        const PanelCallbackPtr callback = target->callback;
        callback(panel, event, target->callbackData, data1, data2);
    }
}

bool Runtime::ApplyUserValue(int panel, int control, double value, bool commit)
{
    Control *target = FindControl(panel, control);
    if (!target)
        return false;
    double before = 0.0;
    GetNumber(panel, control, &before);
    if (SetNumber(panel, control, value) < 0)
        return true;
    double after = 0.0;
    GetNumber(panel, control, &after);
    if (after != before && !SendControlEvent(panel, control, EVENT_VAL_CHANGED))
        return false;
    if (commit)
        return SendControlEvent(panel, control, EVENT_COMMIT);
    return true;
}

void Runtime::DeliverStep(int panel, int control, int direction)
{
    Control *target = FindControl(panel, control);
    if (!target)
        return;
    if (target->kind == ControlKind::Ring) {
        const int index = target->list.selected + direction;
        if (index < 0 || index >= static_cast<int>(target->list.items.size()))
            return;
        ApplyUserValue(panel, control, target->list.items[index].value, true);
        return;
    }
    if (target->kind == ControlKind::Numeric)
        ApplyUserValue(panel, control, target->number.value + direction * target->number.increment, true);
}

void Runtime::DeliverKey(const UserInput &input)
{
    const int key = input.index;
    Control *target = FindControl(input.panel, input.control);
    if (!target)
        return;
    // Enter in a numeric takes what was typed first, so the key's callback sees the value the user entered.
    if (target->kind == ControlKind::Numeric && key == KEY_ENTER) {
        DeliverNumericEnter(input.panel, input.control);
        return;
    }
    if (!SendControlEvent(input.panel, input.control, EVENT_KEYPRESS, key))
        return;
    target = FindControl(input.panel, input.control);
    if (key == KEY_UP || key == KEY_DOWN) {
        DeliverStep(input.panel, input.control, key == KEY_UP ? 1 : -1);
        return;
    }
    if (target->kind == ControlKind::String) {
        if (key == KEY_ENTER) {
            SendControlEvent(input.panel, input.control, EVENT_COMMIT);
            return;
        }
        std::string text = target->text.text;
        const int limit = target->text.maxLength;
        if (IsPrintable(key) && (limit == 0 || static_cast<int>(text.size()) < limit))
            text += static_cast<char>(key);
        else if (key == KEY_BACKSPACE && !text.empty())
            text.pop_back();
        if (text == target->text.text)
            return;
        SetText(input.panel, input.control, text);
        SendControlEvent(input.panel, input.control, EVENT_VAL_CHANGED);
        return;
    }
    if (target->kind != ControlKind::Numeric) {
        if (key == KEY_ENTER || key == ' ')
            SendControlEvent(input.panel, input.control, EVENT_COMMIT);
        return;
    }
    // A numeric collects typed characters and takes them as its value on Enter.
    auto &pending = target->number.pendingEdit;
    if (IsPrintable(key)) {
        pending = pending.value_or(std::string()) + static_cast<char>(key);
    } else if (key == KEY_BACKSPACE && pending && !pending->empty()) {
        pending->pop_back();
    } else if (key == KEY_ESCAPE) {
        pending.reset();
    } else {
        return;
    }
    Notify(ChangeKind::ControlState, input.panel, input.control);
}

void Runtime::DeliverNumericEnter(int panel, int control)
{
    Control *target = FindControl(panel, control);
    std::optional<double> typed;
    if (target->number.pendingEdit)
        typed = ParseReal(*target->number.pendingEdit);
    target->number.pendingEdit.reset();
    if (typed) {
        if (!ApplyUserValue(panel, control, *typed, false))
            return;
    } else {
        Notify(ChangeKind::ControlState, panel, control);
    }
    if (SendControlEvent(panel, control, EVENT_KEYPRESS, KEY_ENTER))
        SendControlEvent(panel, control, EVENT_COMMIT);
}

void Runtime::Deliver(const UserInput &input)
{
    switch (input.kind) {
    case InputKind::Click: {
        Control *target = FindControl(input.panel, input.control);
        if (!target)
            return;
        FindPanel(input.panel)->activeControl = input.control;
        switch (target->kind) {
        case ControlKind::CommandButton:
            SendControlEvent(input.panel, input.control, EVENT_COMMIT);
            break;
        case ControlKind::ToggleButton:
        case ControlKind::CheckBox:
            ApplyUserValue(input.panel, input.control, target->number.value != 0.0 ? 0.0 : 1.0, true);
            break;
        default:
            SendControlEvent(input.panel, input.control, EVENT_LEFT_CLICK_UP);
            break;
        }
        break;
    }
    case InputKind::SetNumber:
        ApplyUserValue(input.panel, input.control, input.number, true);
        break;
    case InputKind::SetText: {
        const Control *target = FindControl(input.panel, input.control);
        if (!target)
            return;
        if (target->text.text != input.text) {
            SetText(input.panel, input.control, input.text);
            if (!SendControlEvent(input.panel, input.control, EVENT_VAL_CHANGED))
                return;
        }
        SendControlEvent(input.panel, input.control, EVENT_COMMIT);
        break;
    }
    case InputKind::SelectIndex: {
        const Control *target = FindControl(input.panel, input.control);
        if (target && input.index < static_cast<int>(target->list.items.size()))
            ApplyUserValue(input.panel, input.control, target->list.items[input.index].value, true);
        break;
    }
    case InputKind::Key:
        DeliverKey(input);
        break;
    case InputKind::Wheel:
        if (SendControlEvent(input.panel, input.control, EVENT_MOUSE_WHEEL_SCROLL, input.index))
            DeliverStep(input.panel, input.control, input.index);
        break;
    case InputKind::MouseMove:
        SendPanelEvent(input.panel, EVENT_MOUSE_POINTER_MOVE, input.y, input.index);
        break;
    case InputKind::SelectTab: {
        Control *target = FindControl(input.panel, input.control);
        if (!target || target->kind != ControlKind::Tab || target->tab.active == input.index)
            return;
        const int previous = target->tab.active;
        SetActivePage(input.panel, input.control, input.index);
        SendControlEvent(input.panel, input.control, EVENT_ACTIVE_TAB_CHANGE, previous, input.index);
        break;
    }
    case InputKind::MenuItem: {
        MenuEntry *item = FindMenuEntry(input.panel, input.control);
        if (item && item->callback) {
            const MenuCallbackPtr callback = item->callback;
            callback(input.panel, input.control, item->callbackData, FindMenuBar(input.panel)->panel);
        }
        break;
    }
    case InputKind::Close:
        SendPanelEvent(input.panel, EVENT_CLOSE);
        break;
    case InputKind::EndTask: {
        int keep = 0;
        if (mainCallback_)
            keep = mainCallback_(0, 0, EVENT_END_TASK, mainCallbackData_, 0, 0);
        if (!keep)
            Quit(0);
        break;
    }
    }
}

} // namespace cvi
