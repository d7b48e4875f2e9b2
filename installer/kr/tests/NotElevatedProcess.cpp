#include "NotElevatedProcess.h"

DWORD RunWithAdministratorsDenied(std::wstring command_line, DWORD timeout)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token))
        return ~0u - 1;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                             &administrators);
    SID_AND_ATTRIBUTES deny_only = {administrators, 0};
    HANDLE restricted = nullptr;
    const BOOL made = CreateRestrictedToken(token, 0, 1, &deny_only, 0, nullptr, 0, nullptr, &restricted);
    FreeSid(administrators);
    CloseHandle(token);
    if (!made)
        return ~0u - 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessAsUserW(restricted, nullptr, command_line.data(), nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &startup, &process);
    CloseHandle(restricted);
    if (!started)
        return ~0u - 1;
    DWORD code = ~0u;
    if (WaitForSingleObject(process.hProcess, timeout) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}
