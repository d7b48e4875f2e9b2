#pragma once

// What the file, folder and process functions of the library leave for their
// callers: the last result, the path that failed, the list of failures, and the
// last started process with its exit code. Process-wide and not locked: the
// engine calls these functions from its main thread.

#include <windows.h>

#include <vector>

#include "kr/stringx.h"

namespace kr {

// An error code with the path it concerns.
struct error_entry {
    DWORD code = 0;
    _stringx path;
};

struct library_state {
    DWORD last_result = 0;
    _stringx last_failed_path;
    std::vector<error_entry> errors;
    PROCESS_INFORMATION last_process = {};
    DWORD last_exit_code = 0;
};

library_state& state();

// Last result 0 and an empty list; the last failed path stays.
void clear_errors();
// Sets the last result and the last failed path and appends an entry.
void record_error(DWORD code, const _stringx& path);
void set_error_path(const _stringx& path);
void set_last_result(DWORD code);

DWORD last_result();
_stringx last_failed_path();

// Closes the handles of the last started process and forgets them.
void close_last_process();

} // namespace kr
