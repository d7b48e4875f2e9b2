// A stand-in for an installation package, started by the parcel tests.
// It appends to "<its own path>.log" how it was started, as two UTF-16 lines
// "args=<its arguments>" and "cwd=<its working folder>", then follows its
// arguments, separated by blanks:
//   exit:<code>      exit with that code (decimal; 0 without one)
//   runonce:<name>   add the value <name> under HKCU ...\CurrentVersion\RunOnce
// Anything else is ignored.

#include <windows.h>

#include <cstdio>
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

void AppendLog(const std::wstring& arguments)
{
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    const std::wstring lines = L"args=" + arguments + L"\ncwd=" + folder + L"\n";
    FILE* log = _wfopen((std::wstring(own) + L".log").c_str(), L"ab");
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

} // namespace

int wmain()
{
    const std::wstring arguments = Arguments();
    AppendLog(arguments);
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
        start = end + 1;
    }
    return static_cast<int>(code);
}
