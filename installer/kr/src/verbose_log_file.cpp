#include "kr/trace_log.h"

#include "kr/handle_holder.h"
#include "kr/holders.h"

namespace {

constexpr const wchar_t* kStudioKey = L"SOFTWARE\\Korvanstilmer\\9.0\\Studio";
constexpr const wchar_t* kLogFileName = L"Korvanstilmer.log";
constexpr size_t kMaxFolderChars = 260;

// The folder named by "VerboseLogPath"; empty when it is missing, of another
// type or too long.
_wstringx RegistryLogFolder()
{
    const kr::registry_key_holder key(HKEY_CURRENT_USER, kStudioKey, KEY_READ);
    if (!key.get())
        return _wstringx();
    wchar_t folder[kMaxFolderChars] = {};
    DWORD type = 0;
    DWORD size = sizeof(folder);
    if (RegQueryValueExW(key.get(), L"VerboseLogPath", nullptr, &type, reinterpret_cast<BYTE*>(folder), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return _wstringx();
    const size_t units = size / sizeof(wchar_t);
    const size_t length = wcsnlen(folder, units);
    if (length >= kMaxFolderChars)
        return _wstringx();
    return _wstringx(folder, length);
}

_wstringx ProgramFolder()
{
    wchar_t module[kMaxFolderChars] = {};
    const DWORD length = GetModuleFileNameW(nullptr, module, kMaxFolderChars);
    return _wstringx(module, length).path_folder();
}

} // namespace

bool IsVerboseLoggingEnabled()
{
    const kr::registry_key_holder key(HKEY_CURRENT_USER, kStudioKey, KEY_READ);
    if (!key.get())
        return false;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    return RegQueryValueExW(key.get(), L"DoVerboseLogging", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                            &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof(value) && value == 1;
}

void SetTraceLogPath(const _wstringx& path)
{
    TraceState().explicit_path = path;
}

_wstringx GetTraceLogPath()
{
    return GetVerboseLogPath();
}

_wstringx GetVerboseLogPath()
{
    const _wstringx& explicit_path = TraceState().explicit_path;
    if (!explicit_path.empty())
        return explicit_path;
    _wstringx folder = RegistryLogFolder();
    if (folder.empty())
        folder = ProgramFolder();
    folder.append_with_separator(kLogFileName, L'\\');
    return folder;
}

// Open, append one text, close: a crash loses nothing already traced. The
// byte-order mark goes only into an empty file, so existing content is never
// overwritten, whatever it starts with.
void AppendToVerboseLog(const _wstringx& text)
{
    const _wstringx path = GetVerboseLogPath();
    HANDLE opened = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    kr::handle_holder file(opened == INVALID_HANDLE_VALUE ? nullptr : opened);

    TraceSettings& state = TraceState();
    if (!state.mark_done) {
        state.mark_done = true;
        LARGE_INTEGER size = {};
        if (!file.empty() && GetFileSizeEx(file.get(), &size) && size.QuadPart == 0) {
            static const BYTE mark[2] = {0xFF, 0xFE};
            DWORD written = 0;
            WriteFile(file.get(), mark, sizeof(mark), &written, nullptr);
        }
    }
    if (file.empty())
        return;

    SetFilePointer(file.get(), 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(file.get(), text.c_str(), static_cast<DWORD>(text.length() * sizeof(wchar_t)), &written, nullptr);
}
