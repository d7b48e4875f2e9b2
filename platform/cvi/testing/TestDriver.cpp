#include "cvi/TestDriver.h"

#include <cmath>

#include "HeadlessEvents.h"
#include "PanelPainter.h"
#include "Runtime.h"
#include "ScriptedDialogs.h"
#include "win32/Win32View.h"

namespace cvi {

class TestDriver::Impl {
public:
    explicit Impl(Options options)
    {
        if (options.win32View) {
            if (options.virtualTime)
                clock_ = std::make_unique<VirtualClock>();
            else
                clock_ = std::make_unique<SystemClock>();
            view_ = std::make_unique<Win32View>(*clock_, !options.virtualTime);
            runtime_ = std::make_unique<Runtime>(*clock_, dialogs_, *view_, view_.get());
            view_->Attach(*runtime_);
        } else {
            clock_ = std::make_unique<VirtualClock>();
            headless_ = std::make_unique<HeadlessEvents>(*clock_);
            runtime_ = std::make_unique<Runtime>(*clock_, dialogs_, *headless_, nullptr);
        }
        runtime_->Install();
    }

    ~Impl()
    {
        std::vector<int> panels;
        for (const auto &[handle, panel] : runtime_->Panels()) {
            if (panel->ownerPanel == 0)
                panels.push_back(handle);
        }
        for (int panel : panels)
            runtime_->DiscardPanel(panel);
        std::vector<int> bars;
        for (const auto &[handle, bar] : runtime_->MenuBars())
            bars.push_back(handle);
        for (int bar : bars)
            runtime_->DiscardMenuBar(bar);
        if (view_)
            view_->Detach();
        runtime_->Uninstall();
    }

    InputStatus Give(UserInput input)
    {
        const InputStatus status = runtime_->Submit(std::move(input));
        if (status == InputStatus::Accepted)
            runtime_->ProcessEvents();
        return status;
    }

    const Control *FindControl(int panel, int control) const { return runtime_->FindControl(panel, control); }

    std::unique_ptr<Clock> clock_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<HeadlessEvents> headless_;
    std::unique_ptr<Win32View> view_;
    std::unique_ptr<Runtime> runtime_;
};

TestDriver::TestDriver() : TestDriver(Options{}) {}

TestDriver::TestDriver(Options options) : impl_(std::make_unique<Impl>(options)) {}

TestDriver::~TestDriver() = default;

double TestDriver::Now() const
{
    return static_cast<double>(impl_->clock_->NowUs()) / 1e6;
}

void TestDriver::Advance(double seconds)
{
    impl_->runtime_->Delay(seconds);
}

void TestDriver::At(double secondsFromNow, std::function<void()> action)
{
    if (impl_->headless_)
        impl_->headless_->Schedule(impl_->clock_->NowUs() + std::llround(secondsFromNow * 1e6), std::move(action));
}

InputStatus TestDriver::Click(int panel, int control)
{
    return impl_->Give(UserInput(InputKind::Click, panel, control));
}

InputStatus TestDriver::SetValue(int panel, int control, double value)
{
    UserInput input(InputKind::SetNumber, panel, control);
    input.number = value;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::SetText(int panel, int control, std::string_view text)
{
    UserInput input(InputKind::SetText, panel, control);
    input.text = std::string(text);
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::SelectListItem(int panel, int control, int index)
{
    UserInput input(InputKind::SelectIndex, panel, control);
    input.index = index;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::Type(int panel, int control, std::string_view characters)
{
    for (const char c : characters) {
        const InputStatus status = PressKey(panel, control, static_cast<unsigned char>(c));
        if (status != InputStatus::Accepted)
            return status;
    }
    return InputStatus::Accepted;
}

InputStatus TestDriver::PressKey(int panel, int control, int key)
{
    UserInput input(InputKind::Key, panel, control);
    input.index = key;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::Wheel(int panel, int control, int direction)
{
    UserInput input(InputKind::Wheel, panel, control);
    input.index = direction;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::MoveMouse(int panel, int x, int y)
{
    UserInput input(InputKind::MouseMove, panel);
    input.index = x;
    input.y = y;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::SelectTab(int panel, int tabControl, int pageIndex)
{
    UserInput input(InputKind::SelectTab, panel, tabControl);
    input.index = pageIndex;
    return impl_->Give(std::move(input));
}

InputStatus TestDriver::ChooseMenuItem(int menuBar, int item)
{
    return impl_->Give(UserInput(InputKind::MenuItem, menuBar, item));
}

InputStatus TestDriver::Close(int panel)
{
    return impl_->Give(UserInput(InputKind::Close, panel));
}

InputStatus TestDriver::EndTask()
{
    return impl_->Give(UserInput(InputKind::EndTask));
}

void TestDriver::AnswerPopup(int button)
{
    impl_->dialogs_.AnswerButton(button);
}

void TestDriver::AnswerPopupWithKey(int key)
{
    impl_->dialogs_.AnswerKey(key);
}

void TestDriver::AnswerFileSelect(std::string path)
{
    impl_->dialogs_.AnswerFile(std::move(path));
}

void TestDriver::CancelFileSelect()
{
    impl_->dialogs_.AnswerFile(std::nullopt);
}

void TestDriver::OnPopup(std::function<int(const PopupRecord &)> handler)
{
    impl_->dialogs_.SetHandler(std::move(handler));
}

const std::vector<PopupRecord> &TestDriver::Popups() const
{
    return impl_->dialogs_.Log();
}

bool TestDriver::HadUnansweredPopup() const
{
    return impl_->dialogs_.HadUnanswered();
}

std::string TestDriver::Label(int panel, int control) const
{
    const Control *target = impl_->FindControl(panel, control);
    return target ? target->label : std::string();
}

std::string TestDriver::PageLabel(int panel, int tabControl, int pageIndex) const
{
    const Control *tab = impl_->FindControl(panel, tabControl);
    if (!tab || pageIndex < 0 || pageIndex >= static_cast<int>(tab->tab.pages.size()))
        return {};
    return tab->tab.pages[pageIndex].label;
}

std::string TestDriver::MenuLabel(int menuBar, int entry) const
{
    const MenuEntry *target = impl_->runtime_->FindMenuEntry(menuBar, entry);
    return target ? target->label : std::string();
}

std::vector<std::string> TestDriver::ListLabels(int panel, int control) const
{
    std::vector<std::string> labels;
    if (const Control *target = impl_->FindControl(panel, control)) {
        for (const ListItem &item : target->list.items)
            labels.push_back(item.label);
    }
    return labels;
}

std::string TestDriver::DisplayedText(int panel, int control) const
{
    const Control *target = impl_->FindControl(panel, control);
    return target ? DisplayText(*target) : std::string();
}

int TestDriver::PlotCount(int panel, int control) const
{
    const Control *target = impl_->FindControl(panel, control);
    return target ? static_cast<int>(target->graph.plots.size()) : 0;
}

bool TestDriver::IsShown(int panel) const
{
    return impl_->runtime_->IsShown(panel);
}

bool TestDriver::QuitRequested() const
{
    return impl_->runtime_->PendingQuit().has_value();
}

int TestDriver::QuitValue() const
{
    return impl_->runtime_->PendingQuit().value_or(0);
}

} // namespace cvi
