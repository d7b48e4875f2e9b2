#pragma once

// The Windows folders the launcher works with, each with exactly one
// trailing backslash.

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// Kinds of get_system_folder.
constexpr int system_folder_sysnative = 1;
constexpr int system_folder_syswow64 = 2;
constexpr int system_folder_system = 0;

// Kinds of get_program_files_folder; or-ing in program_files_64bit_view reads
// the 64-bit registry view.
constexpr int program_files_common = 1;
constexpr int program_files_main = 0;
constexpr int program_files_64bit_view = static_cast<int>(0x80000000);

// These three throw kr::win32_exception when Windows fails.
_stringx get_temp_path();
_stringx get_windows_folder();
_stringx get_system_folder(int kind);
// A single backslash when the registry has no such value.
_stringx get_program_files_folder(int kind);
// Empty when the shell knows no such folder.
_stringx get_special_folder(int csidl);

} // namespace kr
