// The one scheduler: the event loop, timer ticks, waits and the popups that stop them.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <windows.h>

#include "Runtime.h"
#include "TextTokens.h"

namespace cvi {

namespace {

// Counts a blocking popup for as long as it is up: no ticks, no input meanwhile.
class BlockingPopup {
public:
    explicit BlockingPopup(int &depth) : depth_(depth) { ++depth_; }
    ~BlockingPopup() { --depth_; }
    BlockingPopup(const BlockingPopup &) = delete;
    BlockingPopup &operator=(const BlockingPopup &) = delete;

private:
    int &depth_;
};

struct DueTimer {
    std::int64_t dueUs;
    int panel;
    int control;
};

std::string_view Extension(std::string_view path)
{
    const std::size_t slash = path.find_last_of("\\/");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

} // namespace

void Runtime::StartTimer(Control &timer)
{
    timer.timer.nextDueUs = clock_.NowUs() + timer.timer.intervalUs;
}

std::optional<std::int64_t> Runtime::NextTimerDue() const
{
    std::optional<std::int64_t> next;
    for (const auto &[handle, panel] : panels_) {
        for (const Control &control : panel->controls) {
            if (control.kind != ControlKind::Timer || !control.timer.enabled || control.timer.running)
                continue;
            if (!next || control.timer.nextDueUs < *next)
                next = control.timer.nextDueUs;
        }
    }
    return next;
}

void Runtime::FireDueTimers()
{
    const std::int64_t now = clock_.NowUs();
    std::vector<DueTimer> due;
    for (const auto &[handle, panel] : panels_) {
        for (const Control &control : panel->controls) {
            if (control.kind == ControlKind::Timer && control.timer.enabled && !control.timer.running &&
                control.timer.nextDueUs <= now)
                due.push_back({control.timer.nextDueUs, handle, control.id});
        }
    }
    std::sort(due.begin(), due.end(), [](const DueTimer &a, const DueTimer &b) {
        return a.dueUs != b.dueUs ? a.dueUs < b.dueUs : a.panel < b.panel;
    });
    for (const DueTimer &entry : due) {
        if (blockingPopups_ > 0)
            return;
        // An earlier tick of this round may have changed or removed the timer.
        Control *timer = FindControl(entry.panel, entry.control);
        const std::int64_t tickTime = clock_.NowUs();
        if (!timer || timer->kind != ControlKind::Timer || !timer->timer.enabled || timer->timer.running ||
            timer->timer.nextDueUs > tickTime)
            continue;
        // Ticks missed while the program was busy merge into this one.
        TimerState &state = timer->timer;
        const std::int64_t intervals = (tickTime - state.nextDueUs) / state.intervalUs + 1;
        state.nextDueUs += intervals * state.intervalUs;
        state.running = true;
        SendControlEvent(entry.panel, entry.control, EVENT_TIMER_TICK,
                         static_cast<int>(std::min<std::int64_t>(intervals, 0x7FFFFFFF)));
        if (Control *after = FindControl(entry.panel, entry.control))
            after->timer.running = false;
    }
}

int Runtime::ProcessEvents()
{
    if (blockingPopups_ > 0)
        return 0;
    events_.PumpInput();
    DeliverQueued();
    FireDueTimers();
    return 0;
}

int Runtime::ProcessDraw()
{
    events_.PumpDrawing();
    return 0;
}

int Runtime::Run()
{
    if (blockingPopups_ > 0)
        return UIE_NOT_ALLOWED;
    ++runDepth_;
    int result = 0;
    for (;;) {
        if (pendingQuit_) {
            result = *pendingQuit_;
            pendingQuit_.reset();
            break;
        }
        ProcessEvents();
        if (pendingQuit_)
            continue;
        if (!queue_.empty())
            continue;
        if (!events_.WaitForInput(NextTimerDue())) {
            result = UIE_NOTHING_TO_WAIT_FOR;
            break;
        }
    }
    --runDepth_;
    return result;
}

int Runtime::Quit(int returnCode)
{
    pendingQuit_ = returnCode;
    return 0;
}

int Runtime::Delay(double seconds)
{
    if (!(seconds >= 0.0))
        return UIE_INVALID_VALUE;
    const std::int64_t end = clock_.NowUs() + std::llround(seconds * 1e6);
    for (;;) {
        ProcessEvents();
        if (clock_.NowUs() >= end)
            return 0;
        std::int64_t deadline = end;
        if (auto due = NextTimerDue(); due && *due < deadline)
            deadline = std::max(*due, clock_.NowUs());
        events_.WaitForInput(deadline);
    }
}

void Runtime::Sleep(unsigned milliseconds)
{
    clock_.Sleep(milliseconds);
}

int Runtime::InstallMainCallback(MainCallbackPtr callback, void *callbackData)
{
    mainCallback_ = callback;
    mainCallbackData_ = callbackData;
    return 0;
}

int Runtime::SetSleepPolicy(int policy)
{
    if (policy < SLEEP_NONE || policy > SLEEP_MORE)
        return UIE_INVALID_VALUE;
    sleepPolicy_ = policy;
    return 0;
}

int Runtime::SetMouseCursor(int cursor)
{
    if (cursor != cursor_) {
        cursor_ = cursor;
        Notify(ChangeKind::Cursor, 0);
    }
    return 0;
}

int Runtime::MessagePopup(std::string_view title, std::string_view message)
{
    BlockingPopup popup(blockingPopups_);
    return dialogs_.Message(std::string(title), std::string(message));
}

int Runtime::GenericPopup(const GenericPopupRequest &request)
{
    auto exists = [&](int button) { return button >= 1 && button <= 3 && !request.buttons[button - 1].empty(); };
    if (!exists(1) && !exists(2) && !exists(3))
        return UIE_INVALID_VALUE;
    if (!exists(request.activeButton) || (request.enterButton != 0 && !exists(request.enterButton)) ||
        (request.escapeButton != 0 && !exists(request.escapeButton)))
        return UIE_INVALID_VALUE;
    BlockingPopup popup(blockingPopups_);
    const int answer = dialogs_.Generic(request);
    if (answer >= 0 && !exists(answer))
        return UIE_INVALID_VALUE;
    return answer;
}

int Runtime::FileSelect(const FileSelectRequest &request, char *pathName)
{
    if (!pathName)
        return UIE_INVALID_VALUE;
    pathName[0] = '\0';
    FileSelectAnswer answer;
    int status = 0;
    {
        BlockingPopup popup(blockingPopups_);
        status = dialogs_.SelectFile(request, answer);
    }
    if (status < 0)
        return status;
    if (!answer.chosen || answer.path.empty())
        return VAL_NO_FILE_SELECTED;
    std::string path = answer.path;
    // Restricted to the extension of the file pattern: a name without it gets it.
    const std::string_view wanted = Extension(request.defaultFileSpec);
    if (request.restrictExtension && !wanted.empty() && wanted.find_first_of("*?") == std::string_view::npos &&
        !EqualsNoCase(Extension(path), wanted))
        path.append(".").append(wanted);
    char full[MAX_PATH];
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return UIE_INVALID_VALUE;
    std::memcpy(pathName, full, length + 1);
    const DWORD attributes = GetFileAttributesA(full);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return UIE_INVALID_VALUE;
    return attributes == INVALID_FILE_ATTRIBUTES ? VAL_NEW_FILE_SELECTED : VAL_EXISTING_FILE_SELECTED;
}

int Runtime::OpenDocument(std::string_view document, int displayMode)
{
    return dialogs_.OpenDocument(std::string(document), displayMode);
}

} // namespace cvi
