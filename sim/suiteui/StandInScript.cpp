#include "StandInScript.h"

#include <windows.h>

#include <cwchar>
#include <fstream>
#include <sstream>

namespace {

std::wstring Widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

} // namespace

std::pair<std::wstring, std::wstring> SplitWord(const std::wstring& line)
{
    const size_t blank = line.find(L' ');
    if (blank == std::wstring::npos)
        return {line, std::wstring()};
    return {line.substr(0, blank), line.substr(blank + 1)};
}

StandInScript LoadStandInScript()
{
    StandInScript script;
    wchar_t path[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"SUITE_UI_SCRIPT", path, MAX_PATH))
        return script;
    std::ifstream file(path);
    std::string raw;
    while (std::getline(file, raw)) {
        std::wstring line = Widen(raw);
        while (!line.empty() && (line.back() == L'\r' || line.back() == L' '))
            line.pop_back();
        if (line.empty() || line[0] == L'#')
            continue;
        const auto [word, rest] = SplitWord(line);
        if (word == L"log") {
            script.logPath = rest;
        } else if (word == L"init-result") {
            script.initResult = static_cast<long>(std::wcstoul(rest.c_str(), nullptr, 16));
        } else if (word == L"at-init") {
            script.initCalls.push_back(rest);
        } else if (word == L"at-state") {
            const auto [state, call] = SplitWord(rest);
            script.stateCalls.emplace(std::stoi(state), call);
        } else if (word == L"cancel-state") {
            script.cancelStates.push_back(std::stoi(rest));
        } else if (word == L"cancel-event") {
            script.cancelEvents.push_back(std::stoi(rest));
        } else if (word == L"source") {
            script.sourcePath = rest;
        } else if (word == L"reboot-now") {
            script.rebootNow = true;
        }
    }
    return script;
}
