// A small program the library's tests start: it exits with a chosen code,
// sleeps, starts another program, reports its elevation, or registers itself.
//   exit <code> | sleep <ms> | spawn <ms> <program> [args] | elevation | /REGSERVER | /UNREGSERVER
// A copy whose file name contains "failing" fails its registration with 7.

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "kr/elevation.h"

namespace {

const wchar_t kServerKey[] = L"Software\\KrTests\\ExeServer";

bool own_name_contains(const wchar_t* text)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    CharLowerW(path);
    return wcsstr(path, text) != nullptr;
}

int register_server(bool do_register)
{
    if (own_name_contains(L"failing"))
        return 7;
    if (do_register) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr))
            return 1;
        const DWORD one = 1;
        RegSetValueExW(key, L"Registered", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
        RegCloseKey(key);
    } else {
        RegDeleteKeyW(HKEY_CURRENT_USER, kServerKey);
    }
    return 0;
}

int spawn(DWORD linger, const std::wstring& command_line)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    std::wstring writable = command_line;
    if (!CreateProcessW(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 2;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    Sleep(linger);
    return 0;
}

} // namespace

int main()
{
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    int result = 0;
    const std::wstring mode = count > 1 ? args[1] : L"";
    if (mode == L"exit" && count > 2) {
        result = _wtoi(args[2]);
    } else if (mode == L"sleep" && count > 2) {
        Sleep(static_cast<DWORD>(_wtoi(args[2])));
    } else if (mode == L"spawn" && count > 3) {
        std::wstring command_line = L"\"" + std::wstring(args[3]) + L"\"";
        for (int i = 4; i < count; ++i)
            command_line += L" " + std::wstring(args[i]);
        result = spawn(static_cast<DWORD>(_wtoi(args[2])), command_line);
    } else if (mode == L"elevation") {
        result = (kr::is_elevated() ? 1 : 0) | (kr::token_has_group(kr::token_group::administrators, false) ? 2 : 0);
    } else if (_wcsicmp(mode.c_str(), L"/REGSERVER") == 0) {
        result = register_server(true);
    } else if (_wcsicmp(mode.c_str(), L"/UNREGSERVER") == 0) {
        result = register_server(false);
    }
    LocalFree(args);
    return result;
}
