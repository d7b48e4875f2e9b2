#include "kr/reboot.h"

#include "kr/handle_holder.h"
#include "kr/system_info.h"

namespace kr {

namespace {

exit_windows_function& exit_windows()
{
    static exit_windows_function function = ExitWindowsEx;
    return function;
}

void enable_shutdown_privilege()
{
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &opened))
        return;
    const handle_holder token(opened);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

} // namespace

exit_windows_function set_exit_windows_function(exit_windows_function function)
{
    const exit_windows_function previous = exit_windows();
    exit_windows() = function ? function : ExitWindowsEx;
    return previous;
}

bool reboot_system()
{
    if (nt_platform())
        enable_shutdown_privilege();
    return !exit_windows()(EWX_REBOOT, 0xFFFF);
}

} // namespace kr
