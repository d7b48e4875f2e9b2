#pragma once

// Starting programs and waiting for them and for the processes they start.
// The last started process and its exit code stay in the library state
// (kr/library_state.h) until the next start.

#include <windows.h>

#include <map>

#include "kr/stringx.h"

namespace kr {

// Wait flags of a launch.
constexpr DWORD wait_for_exit = 0x1;
constexpr DWORD wait_for_children = 0x2;    // implies wait_for_exit
constexpr DWORD wait_for_descendants = 0x4; // implies wait_for_children
constexpr DWORD launch_through_shell = 0x8;

struct launch_request {
    _stringx program;        // empty: arguments is the whole command line
    _stringx arguments;
    _stringx working_folder; // empty: the caller's
    DWORD wait_flags = 0;
    DWORD timeout = INFINITE;
    int show = SW_SHOWNORMAL;
    DWORD extra_flags = 0;   // fMask bits for the shell, creation flags otherwise
    _stringx verb;
};

// Results of launch_process.
constexpr int launch_started = 0;
constexpr int launch_not_started = -1;
constexpr int launch_wait_failed = -2;
constexpr int launch_wait_timed_out = -3;

int launch_process(const launch_request& request);

// 0, or the result of the wait that failed.
DWORD wait_for_process_tree(DWORD process_id, HANDLE process, DWORD wait_flags, DWORD timeout);
// 0 when the process ended (its exit code stored), else WaitForSingleObject's result.
DWORD wait_for_process(HANDLE process, DWORD timeout);
// A child (deep: any descendant) of the process; 0 when none.
DWORD find_child_process(DWORD process_id, HANDLE process, bool deep);
DWORD get_process_id(HANDLE process);
bool get_process_times(DWORD process_id, HANDLE process, FILETIME& creation, FILETIME& exit, FILETIME& kernel,
                       FILETIME& user);

struct process_entry {
    DWORD parent_id = 0;
    _stringx executable;
};
// Every running process but id 0, by id.
std::map<DWORD, process_entry> list_processes();

} // namespace kr
