// The run-time a program gets when no test has installed one: system clock, real windows.
#include "Runtime.h"
#include "cvi/UserInterface.h"
#include "win32/Win32Dialogs.h"
#include "win32/Win32View.h"

namespace {

class DesktopRuntime {
public:
    DesktopRuntime() : view_(clock_), runtime_(clock_, dialogs_, view_, &view_)
    {
        view_.Attach(runtime_);
        runtime_.Install();
    }
    ~DesktopRuntime()
    {
        view_.Detach();
        runtime_.Uninstall();
    }
    DesktopRuntime(const DesktopRuntime &) = delete;
    DesktopRuntime &operator=(const DesktopRuntime &) = delete;

private:
    cvi::SystemClock clock_;
    cvi::Win32Dialogs dialogs_;
    cvi::Win32View view_;
    cvi::Runtime runtime_;
};

} // namespace

int InitUserInterface(int argc, char *argv[])
{
    if (argc < 0 || (argc > 0 && !argv))
        return UIE_INVALID_VALUE;
    if (cvi::Runtime::Current())
        return 0;
    // Lives until the program ends, like the windows it owns.
    static DesktopRuntime desktop;
    return cvi::Runtime::Current() ? 0 : UIE_NOT_INITIALISED;
}
