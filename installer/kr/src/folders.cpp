#include "kr/folders.h"

#include <shlobj.h>

#include "kr/registry.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

constexpr DWORD kPathChars = MAX_PATH;
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

template <class Query>
_stringx query_folder(Query query)
{
    wchar_t buffer[kPathChars] = {};
    const DWORD length = query(buffer);
    if (length == 0 || length >= kPathChars)
        throw win32_exception(length == 0 ? GetLastError() : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    _stringx folder(buffer, length);
    folder.add_trailing_backslash();
    return folder;
}

} // namespace

_stringx get_temp_path()
{
    return query_folder([](wchar_t* buffer) { return GetTempPathW(kPathChars, buffer); });
}

_stringx get_windows_folder()
{
    return query_folder([](wchar_t* buffer) { return GetWindowsDirectoryW(buffer, kPathChars); });
}

_stringx get_system_folder(int kind)
{
    if (kind == system_folder_sysnative || kind == system_folder_syswow64) {
        _stringx folder = get_windows_folder();
        folder.append_path(kind == system_folder_sysnative ? L"sysnative" : L"syswow64");
        folder.add_trailing_backslash();
        return folder;
    }
    return query_folder([](wchar_t* buffer) { return GetSystemDirectoryW(buffer, kPathChars); });
}

_stringx get_program_files_folder(int kind)
{
    const REGSAM access = kind < 0 ? KEY_READ | KEY_WOW64_64KEY : KEY_READ;
    const wchar_t* name = (kind & 0x7FFFFFFF) == program_files_common ? L"CommonFilesDir" : L"ProgramFilesDir";
    _stringx folder = reg_read_string(HKEY_LOCAL_MACHINE, kCurrentVersion, name, _stringx(), access);
    if (folder.length() >= kPathChars)
        folder.erase();
    folder.add_trailing_backslash();
    return folder;
}

_stringx get_special_folder(int csidl)
{
    wchar_t buffer[kPathChars] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer)) &&
        FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_DEFAULT, buffer)))
        return _stringx();
    _stringx folder(buffer);
    if (!folder.empty())
        folder.add_trailing_backslash();
    return folder;
}

} // namespace kr
