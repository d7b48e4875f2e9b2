#include "kr/kernel32_forms.h"

#include <cstring>

#include "kr/library_state.h"

namespace kr {

any_proc system_proc(const wchar_t* module, const char* name)
{
    HMODULE handle = GetModuleHandleW(module);
    if (!handle)
        handle = LoadLibraryW(module);
    return handle ? reinterpret_cast<any_proc>(GetProcAddress(handle, name)) : nullptr;
}

namespace {

void widen_find_data(const WIN32_FIND_DATAA& narrow, WIN32_FIND_DATAW& wide)
{
    wide.dwFileAttributes = narrow.dwFileAttributes;
    wide.ftCreationTime = narrow.ftCreationTime;
    wide.ftLastAccessTime = narrow.ftLastAccessTime;
    wide.ftLastWriteTime = narrow.ftLastWriteTime;
    wide.nFileSizeHigh = narrow.nFileSizeHigh;
    wide.nFileSizeLow = narrow.nFileSizeLow;
    wide.dwReserved0 = narrow.dwReserved0;
    wide.dwReserved1 = narrow.dwReserved1;
    MultiByteToWideChar(CP_ACP, 0, narrow.cFileName, -1, wide.cFileName, MAX_PATH);
    MultiByteToWideChar(CP_ACP, 0, narrow.cAlternateFileName, -1, wide.cAlternateFileName, 14);
}

} // namespace

BOOL create_directory(_stringx& path, SECURITY_ATTRIBUTES* security)
{
    using wide_fn = BOOL(WINAPI*)(LPCWSTR, LPSECURITY_ATTRIBUTES);
    using ansi_fn = BOOL(WINAPI*)(LPCSTR, LPSECURITY_ATTRIBUTES);
    if (const auto wide = kernel32_proc<wide_fn>("CreateDirectoryW"))
        return wide(path.c_str(), security);
    if (const auto ansi = kernel32_proc<ansi_fn>("CreateDirectoryA"))
        return ansi(path.c_narrow(), security);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

HANDLE create_file(_stringx& path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD attributes, HANDLE template_file)
{
    using wide_fn = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    using ansi_fn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    if (const auto wide = kernel32_proc<wide_fn>("CreateFileW"))
        return wide(path.c_str(), access, share, security, disposition, attributes, template_file);
    if (const auto ansi = kernel32_proc<ansi_fn>("CreateFileA"))
        return ansi(path.c_narrow(), access, share, security, disposition, attributes, template_file);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

DWORD get_file_attributes(_stringx& path)
{
    using wide_fn = DWORD(WINAPI*)(LPCWSTR);
    using ansi_fn = DWORD(WINAPI*)(LPCSTR);
    if (const auto wide = kernel32_proc<wide_fn>("GetFileAttributesW"))
        return wide(path.c_str());
    if (const auto ansi = kernel32_proc<ansi_fn>("GetFileAttributesA"))
        return ansi(path.c_narrow());
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
}

BOOL set_file_attributes(_stringx& path, DWORD attributes)
{
    using wide_fn = BOOL(WINAPI*)(LPCWSTR, DWORD);
    using ansi_fn = BOOL(WINAPI*)(LPCSTR, DWORD);
    if (const auto wide = kernel32_proc<wide_fn>("SetFileAttributesW"))
        return wide(path.c_str(), attributes);
    if (const auto ansi = kernel32_proc<ansi_fn>("SetFileAttributesA"))
        return ansi(path.c_narrow(), attributes);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

HANDLE find_first(_stringx& path, WIN32_FIND_DATAW& data)
{
    using wide_fn = HANDLE(WINAPI*)(LPCWSTR, LPWIN32_FIND_DATAW);
    using ansi_fn = HANDLE(WINAPI*)(LPCSTR, LPWIN32_FIND_DATAA);
    if (const auto wide = kernel32_proc<wide_fn>("FindFirstFileW"))
        return wide(path.c_str(), &data);
    if (const auto ansi = kernel32_proc<ansi_fn>("FindFirstFileA")) {
        WIN32_FIND_DATAA narrow = {};
        const HANDLE find = ansi(path.c_narrow(), &narrow);
        if (find != INVALID_HANDLE_VALUE)
            widen_find_data(narrow, data);
        return find;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL find_next(HANDLE find, WIN32_FIND_DATAW& data)
{
    using wide_fn = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAW);
    using ansi_fn = BOOL(WINAPI*)(HANDLE, LPWIN32_FIND_DATAA);
    if (const auto wide = kernel32_proc<wide_fn>("FindNextFileW"))
        return wide(find, &data);
    if (const auto ansi = kernel32_proc<ansi_fn>("FindNextFileA")) {
        WIN32_FIND_DATAA narrow = {};
        const BOOL found = ansi(find, &narrow);
        if (found)
            widen_find_data(narrow, data);
        return found;
    }
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
}

BOOL delete_file(const _stringx& path)
{
    if (DeleteFileW(path.c_str()))
        return TRUE;
    record_error(GetLastError(), path);
    return FALSE;
}

BOOL remove_directory(const _stringx& path)
{
    if (RemoveDirectoryW(path.c_str()))
        return TRUE;
    record_error(GetLastError(), path);
    return FALSE;
}

} // namespace kr
