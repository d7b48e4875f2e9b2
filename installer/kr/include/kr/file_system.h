#pragma once

// Existence tests, folder trees, file removal and the file search of the
// library. Failures go to the library state (kr/library_state.h).

#include <windows.h>

#include "kr/stringx.h"

namespace kr {

// Flags of path_test, in any combination.
constexpr unsigned path_accept_file = 0x4;
constexpr unsigned path_accept_folder = 0x8;
constexpr unsigned path_test_url = 0x10;
constexpr unsigned path_raise_errors = 0x20;
constexpr unsigned path_accept_any = path_accept_file | path_accept_folder;

bool path_test(const _stringx& path, unsigned flags);
bool url_exists(const _stringx& address, unsigned flags);

bool remove_file(const _stringx& path, bool keep_read_only);
// Unregisters the file (unless it is a program), drops its SharedDLLs count
// value and removes it.
bool remove_shared_file(const _stringx& path);

bool create_directory_tree(const _stringx& folder);
// Every folder of the folder part of a path.
bool create_folder_of(const _stringx& path);
bool delete_tree(const _stringx& folder, bool shared_files);

// Entries whose attributes AND mask equal value AND mask; patterns are
// separated by ";".
bool find_files(const _stringx& folder, stringx_vector& found, const _stringx& patterns, DWORD value, DWORD mask,
                bool full_paths, bool recursive);

} // namespace kr
