#include "temp_launch.h"

#include "command_line.h"
#include "kr/elevation.h"
#include "kr/file_system.h"
#include "kr/holders.h"
#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/temp_folders.h"
#include "kr/trace_log.h"

namespace {

constexpr DWORD kPathChars = MAX_PATH;

// The copy's "/debuglog" argument: the value as typed, or this process's own
// log path in quotes when the switch came without one.
_stringx DebugLogArgument(command_line& line)
{
    kr::bstr_holder value;
    if (!line.find_switch(L"debuglog", value.address(), false, true))
        return _stringx();
    _stringx argument(L"/debuglog");
    const _stringx typed(value.get());
    if (!typed.empty()) {
        argument += typed;
        return argument;
    }
    _stringx path(GetTraceLogPath().c_str());
    path.ensure_leading_char(L'"');
    path.ensure_trailing_char(L'"');
    argument += path;
    return argument;
}

} // namespace

DWORD RunRelaunchMode(command_line& line, const _stringx& program, bool wait)
{
    const _stringx debug_log = DebugLogArgument(line);

    kr::bstr_holder remaining;
    line.remaining(remaining.address());
    // The folder never ends in a backslash, so its closing quote is never escaped.
    _stringx folder = program.path_folder();
    folder.remove_trailing_backslash();

    _stringx arguments(remaining.get());
    arguments += L" -KR_temp ORIGINALSETUPEXEDIR=\"";
    arguments += folder;
    arguments += L"\" ORIGINALSETUPEXENAME=\"";
    arguments += program.path_file_name();
    arguments += L"\" ";
    arguments += debug_log;
    return RelaunchFromTempCopy(program, arguments, wait);
}

DWORD RelaunchFromTempCopy(const _stringx& program, const _stringx& arguments, bool wait)
{
    const _stringx folder = kr::is_elevated() ? kr::create_private_temp_folder()
                                              : kr::get_temp_file_name(_stringx(), _stringx(), false);
    const _stringx copy = kr::get_temp_file_name(folder, L"exe", true);
    if (!CopyFileW(program.c_str(), copy.c_str(), TRUE))
        return GetLastError();

    kr::launch_request request;
    request.arguments = L"\"" + copy + L"\" " + arguments;
    request.wait_flags = wait ? kr::wait_for_exit : 0;
    request.timeout = INFINITE;
    request.show = SW_SHOWNORMAL;
    request.verb = L"open";
    const int started = kr::launch_process(request);
    if (started == kr::launch_not_started) {
        // Nothing runs from the copy: it and its folder go at once.
        DeleteFileW(copy.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    if (started != kr::launch_started)
        return static_cast<DWORD>(kFailedLaunchTemp);
    if (!wait)
        return 0;

    const DWORD exit_code = kr::state().last_exit_code;
    kr::close_last_process();
    DeleteFileW(copy.c_str());
    RemoveDirectoryW(folder.c_str());
    return exit_code;
}

bool CleanupTempLaunch()
{
    wchar_t path[kPathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kPathChars);
    const _stringx program(path, length < kPathChars ? length : 0);
    if (kr::path_test(program, kr::path_accept_any)) {
        wchar_t system[kPathChars] = {};
        if (GetSystemDirectoryW(system, kPathChars) != 0 && system[0])
            SetCurrentDirectoryW(system);
        MoveFileExW(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return true;
}
