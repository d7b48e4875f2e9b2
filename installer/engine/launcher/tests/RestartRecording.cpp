// Linked into the launcher's restart-recording test build only: a restart
// asked for by the engine appends "restart <flags> <reason>" to the file
// named by TESSAREL_RESTART_RECORD and reports success, and never reaches
// Windows, whether that variable is set or not.

#include <windows.h>

#include "kr/reboot.h"

namespace {

BOOL WINAPI RecordRestart(UINT flags, DWORD reason)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"TESSAREL_RESTART_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return TRUE;
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return TRUE;
    char line[64] = {};
    const int count = wsprintfA(line, "restart %u %lu\n", flags, reason);
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(count), &written, nullptr);
    CloseHandle(file);
    return TRUE;
}

// Installed before wWinMain runs, in every process of this build.
const kr::exit_windows_function g_installed = kr::set_exit_windows_function(&RecordRestart);

} // namespace
