// Stands in for the system's package manager, which Wine does not have: it
// appends its command line to "<program>.log" and exits with the number held
// in "<program>.exit" (0 when there is none).

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <string>

int wmain()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = self;
    const wchar_t* line = GetCommandLineW();
    // The arguments: what follows the program's own name.
    const wchar_t* rest = line;
    if (*rest == L'"') {
        rest = std::wcschr(rest + 1, L'"');
        rest = rest ? rest + 1 : line + std::wcslen(line);
    } else {
        while (*rest && *rest != L' ')
            ++rest;
    }
    while (*rest == L' ')
        ++rest;
    std::ofstream log((program + L".log").c_str(), std::ios::binary | std::ios::app);
    const std::wstring text = std::wstring(rest) + L"\n";
    log.write(reinterpret_cast<const char*>(text.data()), static_cast<std::streamsize>(text.size() * sizeof(wchar_t)));
    std::ifstream exit((program + L".exit").c_str());
    int code = 0;
    exit >> code;
    return code;
}
