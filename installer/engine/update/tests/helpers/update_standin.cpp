// Stands in for a newer launcher that a suite update starts. It writes what it
// found to the file named by UPDATE_STANDIN_REPORT, one "key=value" line each:
// its command line, whether it could take the suite's mutex
// (UPDATE_STANDIN_MUTEX) and whether the old run's staging folder
// (UPDATE_STANDIN_STAGING) was gone; then it exits with 3010.

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

    const std::wstring staging = Environment(L"UPDATE_STANDIN_STAGING");
    const bool gone = !staging.empty() && GetFileAttributesW(staging.c_str()) == INVALID_FILE_ATTRIBUTES;
    report += std::string("staging_gone=") + (gone ? "1" : "0") + "\n";

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
