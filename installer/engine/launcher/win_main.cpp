// Every process of the launcher starts here and takes one of three modes from
// its command line: relaunch (copy to a temporary folder and run the copy),
// proxy ("-embedded:") or engine (the temporary copy, "-KR_temp").

#include <windows.h>

#include "com_apartment.h"
#include "command_line.h"
#include "command_line_property.h"
#include "engine_mode.h"
#include "kr/holders.h"
#include "proxy_mode.h"
#include "temp_launch.h"

namespace {

constexpr DWORD kProgramPathChars = 520;
constexpr DWORD kSystemFolderOnly = 0x800; // LOAD_LIBRARY_SEARCH_SYSTEM32

void LoadDllsFromSystemFolderOnly()
{
    using set_default_dll_directories_fn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto set_default = kernel32 ? reinterpret_cast<set_default_dll_directories_fn>(reinterpret_cast<void (*)()>(
                                            GetProcAddress(kernel32, "SetDefaultDllDirectories")))
                                      : nullptr;
    if (set_default)
        set_default(kSystemFolderOnly);
}

DWORD ChooseMode(command_line& line)
{
    const bool temporary_copy = line.find_switch(L"KR_temp", nullptr, true, true);
    const bool run_from_temp = line.find_switch(L"runfromtemp", nullptr, true, true);
    if (!temporary_copy || run_from_temp)
        LoadDllsFromSystemFolderOnly();

    const com_apartment apartment(COINIT_APARTMENTTHREADED);

    wchar_t path[kProgramPathChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, kProgramPathChars);
    const _stringx program(path, length < kProgramPathChars ? length : 0);

    if (run_from_temp) {
        const bool wait = line.find_switch(L"clone_wait", nullptr, true, true);
        return RunRelaunchMode(line, program, wait);
    }
    if (!temporary_copy)
        return RunRelaunchMode(line, program, true);
    if (line.find_switch(L"embedded:", nullptr, false, false))
        return RunProxyMode(line);
    return RunEngineMode(line);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR text, int)
{
    ProcessCommandLine() = text ? text : L"";
    command_line line(ProcessCommandLine().c_str());
    return static_cast<int>(ChooseMode(line));
}
