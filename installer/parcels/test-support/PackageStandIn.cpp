// A stand-in for an installation package, started by the parcel and engine
// tests. It appends to "<its own path>.log" how it was started, as two UTF-16
// lines "args=<its arguments>" and "cwd=<its working folder>", then follows
// its arguments, separated by blanks:
//   exit:<code>      exit with that code (decimal; 0 without one)
//   runonce:<name>   add the value <name> under HKCU ...\CurrentVersion\RunOnce
//   log:<path>       append the lines to that file instead
//   probe:<suite id> add the lines "runonce=<the RunOnce value of that name>"
//                    and "reboot=<the suite's Reboot value>", "none" for a
//                    value that is missing
//   copy:<from>><to> copy a file, failing with the copy's error
// Anything else is ignored.

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

// The command line without the program's own name and the blanks after it.
std::wstring Arguments()
{
    const wchar_t* text = GetCommandLineW();
    if (*text == L'"') {
        ++text;
        while (*text && *text != L'"')
            ++text;
        if (*text)
            ++text;
    } else {
        while (*text && *text != L' ' && *text != L'\t')
            ++text;
    }
    while (*text == L' ' || *text == L'\t')
        ++text;
    return text;
}

void AppendLog(const std::wstring& path, const std::wstring& lines)
{
    FILE* log = _wfopen(path.c_str(), L"ab");
    if (!log)
        return;
    fwrite(lines.data(), sizeof(wchar_t), lines.size(), log);
    fclose(log);
}

void AddRunOnce(const std::wstring& name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const wchar_t data[] = L"standin.exe";
    RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof(data));
    RegCloseKey(key);
}

std::wstring ReadValue(const std::wstring& key, const std::wstring& name)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data,
                     &size) != ERROR_SUCCESS)
        return L"none";
    if (type == REG_DWORD) {
        DWORD value = 0;
        std::memcpy(&value, data, sizeof(value));
        return std::to_wstring(value);
    }
    return data;
}

std::wstring Probe(const std::wstring& suite)
{
    return L"runonce=" + ReadValue(L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", suite) + L"\nreboot=" +
           ReadValue(L"Software\\Korvanstilmer\\SuiteInstallers\\" + suite, L"Reboot") + L"\n";
}

} // namespace

int wmain()
{
    const std::wstring arguments = Arguments();
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring logPath = std::wstring(own) + L".log";
    std::wstring lines = L"args=" + arguments + L"\ncwd=" + folder + L"\n";
    unsigned long code = 0;
    size_t start = 0;
    while (start < arguments.size()) {
        size_t end = arguments.find(L' ', start);
        if (end == std::wstring::npos)
            end = arguments.size();
        const std::wstring token = arguments.substr(start, end - start);
        if (token.rfind(L"exit:", 0) == 0)
            code = wcstoul(token.c_str() + 5, nullptr, 10);
        else if (token.rfind(L"runonce:", 0) == 0)
            AddRunOnce(token.substr(8));
        else if (token.rfind(L"log:", 0) == 0)
            logPath = token.substr(4);
        else if (token.rfind(L"probe:", 0) == 0)
            lines += Probe(token.substr(6));
        else if (token.rfind(L"copy:", 0) == 0) {
            const size_t split = token.find(L'>');
            if (split != std::wstring::npos &&
                !CopyFileW(token.substr(5, split - 5).c_str(), token.substr(split + 1).c_str(), FALSE))
                code = GetLastError();
        }
        start = end + 1;
    }
    AppendLog(logPath, lines);
    return static_cast<int>(code);
}
