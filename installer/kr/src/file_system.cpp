#include "kr/file_system.h"

#include "kr/file.h"
#include "kr/handle_holder.h"
#include "kr/kernel32_forms.h"
#include "kr/library_state.h"
#include "kr/registry.h"
#include "kr/self_registration.h"
#include "kr/win32_exception.h"

namespace kr {

namespace {

constexpr wchar_t kSharedDlls[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr DWORD kHttpNotFoundLow = 0xD554; // HTTP 404 as the internet file stores it

bool accepted(DWORD attributes, unsigned flags)
{
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return ((flags & path_accept_file) && !folder) || ((flags & path_accept_folder) && folder);
}

bool is_dot_entry(const wchar_t* name)
{
    return (name[0] == L'.' && name[1] == 0) || (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

} // namespace

bool path_test(const _stringx& path, unsigned flags)
{
    if ((flags & path_test_url) && path.is_url())
        return url_exists(path, flags);

    _stringx tested(path);
    const DWORD attributes = get_file_attributes(tested);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return accepted(attributes, flags);

    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return false;
    if (error == ERROR_ACCESS_DENIED) {
        WIN32_FIND_DATAW data = {};
        const find_handle_holder find(find_first(tested, data));
        if (!find.empty())
            return accepted(data.dwFileAttributes, flags);
        error = GetLastError();
    }
    if (flags & path_raise_errors)
        throw file_exception(path, error);
    return false;
}

bool url_exists(const _stringx& address, unsigned flags)
{
    if (!address.is_url())
        return false;
    file source;
    const DWORD opened = source.open(address, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
    if (opened != 0) {
        if (flags & path_raise_errors)
            throw internet_file_exception(address, opened);
        return false;
    }
    // The file object closes on every way out; a close failure changes nothing here.
    struct closer {
        file& f;
        ~closer()
        {
            try {
                f.close();
            } catch (const file_exception&) {
            }
        }
    } const close_on_exit{source};

    try {
        BYTE probe[5];
        return source.read(probe, sizeof(probe)) != 0;
    } catch (const internet_file_exception& failure) {
        const HRESULT result = HRESULT_FROM_WIN32(failure.code());
        const bool not_found = (static_cast<DWORD>(result) & 0xFFFF) == kHttpNotFoundLow;
        if (!not_found && (flags & path_raise_errors))
            throw;
        return false;
    }
}

bool remove_file(const _stringx& path, bool keep_read_only)
{
    _stringx target(path);
    if (keep_read_only) {
        const DWORD attributes = get_file_attributes(target);
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY))
            return false;
    }
    set_file_attributes(target, FILE_ATTRIBUTE_NORMAL);
    return delete_file(target) != FALSE;
}

bool remove_shared_file(const _stringx& path)
{
    if (path.path_extension() != L".EXE")
        self_register(path, false, false);
    reg_delete_value(HKEY_LOCAL_MACHINE, kSharedDlls, path);
    return remove_file(path, false);
}

// Each component is created from the first one that is not a root: the second
// of a drive path, the fifth of a UNC path (never the server or the share), and
// the first of a relative path.
bool create_directory_tree(const _stringx& folder)
{
    _stringx path(folder);
    path.add_trailing_backslash();
    clear_errors();
    const bool unc = path.is_unc();
    const bool drive = !unc && path.is_drive_path();
    const size_t first_created = unc ? 5 : drive ? 2 : 1;

    _stringx built;
    size_t component = 0;
    size_t start = 0;
    while (start < path.length()) {
        const size_t end = path.find(L'\\', start);
        const _stringx part = path.substr(start, end - start + 1);
        start = end + 1;
        ++component;
        const bool lone_backslash = part.length() == 1;
        if (lone_backslash)
            built.append(part);
        else
            built.append_path(part);
        if (component < first_created || lone_backslash)
            continue;
        if (!create_directory(built, nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_ALREADY_EXISTS) {
                set_last_result(0);
                continue;
            }
            set_last_result(error);
            set_error_path(built);
            return false;
        }
    }
    return true;
}

bool create_folder_of(const _stringx& path)
{
    const _stringx folder = path.path_folder(true);
    if (folder.empty())
        return true;
    return create_directory_tree(folder);
}

bool delete_tree(const _stringx& folder, bool shared_files)
{
    clear_errors();
    if (folder.empty() || folder.is_drive_root() || !path_test(folder, path_accept_any))
        return false;

    stringx_vector subfolders;
    find_files(folder, subfolders, L"*.*", FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY, true, false);
    for (const _stringx& subfolder : subfolders)
        delete_tree(subfolder, shared_files);

    stringx_vector files;
    find_files(folder, files, L"*.*", 0, FILE_ATTRIBUTE_DIRECTORY, true, false);
    for (const _stringx& name : files) {
        if (shared_files)
            remove_shared_file(name);
        else
            remove_file(name, false);
    }
    return remove_directory(folder) != FALSE;
}

bool find_files(const _stringx& folder, stringx_vector& found, const _stringx& patterns, DWORD value, DWORD mask,
                bool full_paths, bool recursive)
{
    if (folder.empty())
        return false;

    stringx_vector pattern_list;
    patterns.split(L';', 0, pattern_list);
    for (const _stringx& pattern : pattern_list) {
        _stringx search = folder.path_combine(pattern);
        WIN32_FIND_DATAW data = {};
        const find_handle_holder find(find_first(search, data));
        if (find.empty())
            continue;
        do {
            if ((data.dwFileAttributes & mask) != (value & mask) || is_dot_entry(data.cFileName))
                continue;
            found.push_back(full_paths ? folder.path_combine(data.cFileName) : _stringx(data.cFileName));
        } while (find_next(find.get(), data));
    }

    if (recursive) {
        stringx_vector subfolders;
        find_files(folder, subfolders, L"*.*", FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY, true, false);
        for (const _stringx& subfolder : subfolders) {
            if (!find_files(subfolder, found, patterns, value, mask, full_paths, true))
                return false;
        }
    }
    return true;
}

} // namespace kr
