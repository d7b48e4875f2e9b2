// Stands in for a newer launcher that a suite update starts. It writes what it
// found to the file named by UPDATE_STANDIN_REPORT, one "key=value" line each:
// its command line, whether it could take the suite's mutex (named by the
// suite id in UPDATE_STANDIN_MUTEX), whether the suite's saved state (the
// registry key of that id) and the old run's staging folder were gone, and
// what that folder still held; then it exits with 3010. The staging folder
// is UPDATE_STANDIN_STAGING, or else the one the old run's trace log (its
// /debuglog"..." argument) says it removed.

#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[4096] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length && length < 4096 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    return bytes;
}

// The value of a /debuglog"PATH" argument, without its quotes.
std::wstring DebugLogArgument(const std::wstring& commandLine)
{
    const std::wstring name = L"/debuglog\"";
    const size_t start = commandLine.find(name);
    if (start == std::wstring::npos)
        return std::wstring();
    const size_t end = commandLine.find(L'"', start + name.size());
    return end == std::wstring::npos ? std::wstring() : commandLine.substr(start + name.size(), end - start - name.size());
}

// The folder of the last "removing staging files from: " line of a UTF-16 trace log.
std::wstring RemovedStagingFolder(const std::wstring& log)
{
    HANDLE file = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::wstring();
    std::wstring text(GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &read, nullptr);
    CloseHandle(file);
    text.resize(read / sizeof(wchar_t));
    const std::wstring marker = L"removing staging files from: ";
    const size_t found = text.rfind(marker);
    if (found == std::wstring::npos)
        return std::wstring();
    const size_t start = found + marker.size();
    const size_t end = text.find_first_of(L"\r\n", start);
    std::wstring folder = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    while (!folder.empty() && folder.back() == L' ')
        folder.pop_back();
    return folder;
}

} // namespace

int wmain()
{
    std::string report = "commandline=" + Utf8(GetCommandLineW()) + "\n";

    const std::wstring mutexName = Environment(L"UPDATE_STANDIN_MUTEX");
    bool owned = false;
    if (!mutexName.empty()) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName.c_str());
        if (mutex) {
            const DWORD waited = WaitForSingleObject(mutex, 0);
            owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
            if (owned)
                ReleaseMutex(mutex);
            CloseHandle(mutex);
        }
    }
    report += std::string("mutex=") + (owned ? "1" : "0") + "\n";

    bool stateGone = false;
    if (!mutexName.empty()) {
        HKEY key = nullptr;
        const std::wstring path = L"Software\\Korvanstilmer\\SuiteInstallers\\" + mutexName;
        stateGone = RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND;
        if (key)
            RegCloseKey(key);
    }
    report += std::string("state_gone=") + (stateGone ? "1" : "0") + "\n";

    std::wstring staging = Environment(L"UPDATE_STANDIN_STAGING");
    if (staging.empty())
        staging = RemovedStagingFolder(DebugLogArgument(GetCommandLineW()));
    const bool gone = !staging.empty() && GetFileAttributesW(staging.c_str()) == INVALID_FILE_ATTRIBUTES;
    std::wstring left;
    WIN32_FIND_DATAW found = {};
    const HANDLE search = staging.empty() ? INVALID_HANDLE_VALUE
                                          : FindFirstFileW((staging + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] != L'.')
                left += (left.empty() ? L"" : L";") + std::wstring(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    report += "staging=" + Utf8(staging) + "\n";
    report += std::string("staging_gone=") + (gone ? "1" : "0") + "\n";
    report += "staging_left=" + Utf8(left) + "\n";

    const std::wstring path = Environment(L"UPDATE_STANDIN_REPORT");
    if (!path.empty()) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
            CloseHandle(file);
        }
    }
    return 3010;
}
