#pragma once

// Kernel32 file functions looked up at run time: the wide form when kernel32
// has it, the ANSI form (through the string's narrow text) otherwise.

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// Non-zero on success.
BOOL create_directory(_stringx& path, SECURITY_ATTRIBUTES* security);
// INVALID_HANDLE_VALUE on failure.
HANDLE create_file(_stringx& path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security, DWORD disposition,
                   DWORD attributes, HANDLE template_file);
// INVALID_FILE_ATTRIBUTES (-1) on failure.
DWORD get_file_attributes(_stringx& path);
BOOL set_file_attributes(_stringx& path, DWORD attributes);
// The find data in its wide form; INVALID_HANDLE_VALUE when nothing is found.
HANDLE find_first(_stringx& path, WIN32_FIND_DATAW& data);
BOOL find_next(HANDLE find, WIN32_FIND_DATAW& data);
// Wide only; a failure is recorded in the library state with the path.
BOOL delete_file(const _stringx& path);
BOOL remove_directory(const _stringx& path);

// An export of a system module; null when the module or the export is missing.
using any_proc = void (*)();
any_proc system_proc(const wchar_t* module, const char* name);

template <class F>
F system_proc_as(const wchar_t* module, const char* name)
{
    return reinterpret_cast<F>(system_proc(module, name));
}

template <class F>
F kernel32_proc(const char* name)
{
    return system_proc_as<F>(L"kernel32.dll", name);
}

} // namespace kr
