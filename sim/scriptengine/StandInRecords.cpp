#include "StandInRecords.h"

#include <windows.h>

#include <mutex>
#include <vector>

namespace {

std::mutex& Lock()
{
    static std::mutex lock;
    return lock;
}

std::vector<std::wstring>& Lines()
{
    static std::vector<std::wstring> lines;
    return lines;
}

} // namespace

void Record(const std::wstring& line)
{
    std::lock_guard<std::mutex> hold(Lock());
    Lines().push_back(line);
}

// The records, one a line, into buffer (cut to size); returns the characters the whole text needs.
extern "C" DWORD __stdcall ScriptStandInRecords(wchar_t* buffer, DWORD size)
{
    std::lock_guard<std::mutex> hold(Lock());
    std::wstring text;
    for (const std::wstring& line : Lines())
        text += line + L"\n";
    if (buffer && size) {
        const size_t n = text.size() < size - 1 ? text.size() : size - 1;
        text.copy(buffer, n);
        buffer[n] = L'\0';
    }
    return static_cast<DWORD>(text.size() + 1);
}

extern "C" void __stdcall ScriptStandInClear()
{
    std::lock_guard<std::mutex> hold(Lock());
    Lines().clear();
}
