#include "kr/processes.h"

// The process list falls back to PSAPI.DLL itself, as on systems whose
// kernel32 has no process enumeration.
#define PSAPI_VERSION 1
#include <psapi.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <set>

#include "kr/kernel32_forms.h"
#include "kr/library_state.h"

namespace kr {

namespace {

constexpr DWORD kInputIdleWait = 1000;

// How a launch names itself in the library state when it fails.
_stringx failed_launch_path(const launch_request& request)
{
    if (request.wait_flags & launch_through_shell)
        return request.program + L" " + request.arguments;
    _stringx command_line = request.program.empty() ? request.arguments : request.program + L" " + request.arguments;
    command_line.replace_all(L"\"", L"");
    return command_line;
}

DWORD normalised_flags(DWORD flags)
{
    if (flags & wait_for_descendants)
        flags |= wait_for_children;
    if (flags & wait_for_children)
        flags |= wait_for_exit;
    return flags;
}

bool start_through_shell(const launch_request& request)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = request.extra_flags | SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = request.verb.empty() ? nullptr : request.verb.c_str();
    info.lpFile = request.program.c_str();
    info.lpParameters = request.arguments.empty() ? nullptr : request.arguments.c_str();
    info.lpDirectory = request.working_folder.empty() ? nullptr : request.working_folder.c_str();
    info.nShow = request.show;
    const BOOL executed = ShellExecuteExW(&info);
    const INT_PTR instance = reinterpret_cast<INT_PTR>(info.hInstApp);
    if (!executed && instance <= 32) {
        set_last_result(static_cast<DWORD>(instance));
        set_error_path(failed_launch_path(request));
        return false;
    }
    state().last_process.hProcess = info.hProcess;
    state().last_process.dwProcessId = info.hProcess ? get_process_id(info.hProcess) : 0;
    return true;
}

bool start_directly(const launch_request& request)
{
    _stringx command_line;
    if (!request.program.empty()) {
        command_line = L"\"" + request.program + L"\" ";
        command_line += request.arguments;
    } else {
        command_line = request.arguments;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(request.show);
    // CreateProcessW may write into its command line.
    _stringx writable(command_line);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &writable[0], nullptr, nullptr, FALSE, request.extra_flags, nullptr,
                        request.working_folder.empty() ? nullptr : request.working_folder.c_str(), &startup,
                        &started)) {
        set_last_result(GetLastError());
        set_error_path(failed_launch_path(request));
        return false;
    }
    state().last_process = started;
    return true;
}

} // namespace

int launch_process(const launch_request& request)
{
    clear_errors();
    close_last_process();
    state().last_exit_code = 0;

    const bool started = (request.wait_flags & launch_through_shell) ? start_through_shell(request)
                                                                     : start_directly(request);
    if (!started)
        return launch_not_started;

    const PROCESS_INFORMATION& process = state().last_process;
    WaitForInputIdle(process.hProcess, kInputIdleWait);

    const DWORD waited = wait_for_process_tree(process.dwProcessId, process.hProcess, request.wait_flags,
                                               request.timeout);
    DWORD exit_code = 0;
    if (process.hProcess && GetExitCodeProcess(process.hProcess, &exit_code))
        state().last_exit_code = exit_code;
    if (waited != 0) {
        const DWORD error = GetLastError();
        set_last_result(waited == WAIT_TIMEOUT ? static_cast<DWORD>(WAIT_TIMEOUT) : error);
        set_error_path(failed_launch_path(request));
        return waited == WAIT_TIMEOUT ? launch_wait_timed_out : launch_wait_failed;
    }
    return launch_started;
}

DWORD wait_for_process_tree(DWORD process_id, HANDLE process, DWORD wait_flags, DWORD timeout)
{
    const DWORD flags = normalised_flags(wait_flags);
    if (!(flags & wait_for_exit) || timeout == 0)
        return 0;
    const bool children = (flags & wait_for_children) != 0;
    if (children && process_id == 0)
        process_id = get_process_id(process);

    const DWORD own = wait_for_process(process, timeout);
    if (own != 0)
        return own;

    if (children && process_id != 0) {
        const bool deep = (flags & wait_for_descendants) != 0;
        for (;;) {
            const DWORD child_id = find_child_process(process_id, process, deep);
            if (child_id == 0)
                break;
            const HANDLE child = OpenProcess(PROCESS_ALL_ACCESS, TRUE, child_id);
            if (!child)
                break;
            const DWORD waited = wait_for_process(child, timeout);
            CloseHandle(child);
            if (waited != 0)
                return waited;
        }
    }
    return 0;
}

DWORD wait_for_process(HANDLE process, DWORD timeout)
{
    const DWORD result = WaitForSingleObject(process, timeout);
    if (result != WAIT_OBJECT_0)
        return result;
    DWORD exit_code = 0;
    if (GetExitCodeProcess(process, &exit_code))
        state().last_exit_code = exit_code;
    return 0;
}

namespace {

bool earlier(const FILETIME& a, const FILETIME& b)
{
    return CompareFileTime(&a, &b) < 0;
}

// Follows parent links from an entry; each process is visited once.
bool descends_from(const std::map<DWORD, process_entry>& processes, DWORD id, DWORD ancestor)
{
    std::set<DWORD> visited;
    for (;;) {
        const auto found = processes.find(id);
        if (found == processes.end() || !visited.insert(id).second)
            return false;
        const DWORD parent = found->second.parent_id;
        if (parent == ancestor)
            return true;
        id = parent;
    }
}

} // namespace

DWORD find_child_process(DWORD process_id, HANDLE process, bool deep)
{
    FILETIME parent_created = {}, ignored_exit = {}, ignored_kernel = {}, ignored_user = {};
    const bool parent_known =
        get_process_times(process_id, process, parent_created, ignored_exit, ignored_kernel, ignored_user);

    const std::map<DWORD, process_entry> processes = list_processes();
    for (const auto& [id, entry] : processes) {
        if (id == process_id)
            continue;
        const bool qualifies = deep ? descends_from(processes, id, process_id) : entry.parent_id == process_id;
        if (!qualifies)
            continue;
        _stringx name(entry.executable);
        if (name.find(L"PSTORES.EXE") != _stringx::npos)
            continue;
        FILETIME created = {}, exited = {}, kernel = {}, user = {};
        if (parent_known && get_process_times(id, nullptr, created, exited, kernel, user) &&
            earlier(created, parent_created))
            continue;
        return id;
    }
    return 0;
}

DWORD get_process_id(HANDLE process)
{
    using process_id_fn = DWORD(WINAPI*)(HANDLE);
    const auto query = kernel32_proc<process_id_fn>("GetProcessId");
    return query ? query(process) : 0;
}

bool get_process_times(DWORD process_id, HANDLE process, FILETIME& creation, FILETIME& exit, FILETIME& kernel,
                       FILETIME& user)
{
    HANDLE opened = nullptr;
    if (!process) {
        opened = OpenProcess(PROCESS_ALL_ACCESS, TRUE, process_id);
        if (!opened)
            return false;
        process = opened;
    }
    const bool known = GetProcessTimes(process, &creation, &exit, &kernel, &user) != FALSE;
    if (opened)
        CloseHandle(opened);
    return known;
}

namespace {

bool list_from_snapshot(std::map<DWORD, process_entry>& processes)
{
    using snapshot_fn = HANDLE(WINAPI*)(DWORD, DWORD);
    using walk_fn = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32W);
    const auto snapshot = kernel32_proc<snapshot_fn>("CreateToolhelp32Snapshot");
    const auto first = kernel32_proc<walk_fn>("Process32FirstW");
    const auto next = kernel32_proc<walk_fn>("Process32NextW");
    if (!snapshot || !first || !next)
        return false;
    const HANDLE taken = snapshot(TH32CS_SNAPPROCESS, 0);
    if (taken == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = first(taken, &entry); more; more = next(taken, &entry)) {
        if (entry.th32ProcessID != 0)
            processes[entry.th32ProcessID] = process_entry{entry.th32ParentProcessID, _stringx(entry.szExeFile)};
        entry.dwSize = sizeof(entry);
    }
    CloseHandle(taken);
    return true;
}

struct basic_information {
    LONG exit_status;
    void* peb;
    ULONG_PTR affinity;
    LONG priority;
    ULONG_PTR unique_id;
    ULONG_PTR parent_id;
};

void list_from_enumeration(std::map<DWORD, process_entry>& processes)
{
    using query_fn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = system_proc_as<query_fn>(L"ntdll.dll", "NtQueryInformationProcess");
    DWORD ids[256] = {};
    DWORD bytes = 0;
    if (!query || !EnumProcesses(ids, sizeof(ids), &bytes))
        return;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ids[i]);
        if (!process)
            continue;
        basic_information info = {};
        if (query(process, 0, &info, sizeof(info), nullptr) >= 0 && info.unique_id != 0)
            processes[static_cast<DWORD>(info.unique_id)] = process_entry{static_cast<DWORD>(info.parent_id), {}};
        CloseHandle(process);
    }
}

} // namespace

std::map<DWORD, process_entry> list_processes()
{
    std::map<DWORD, process_entry> processes;
    if (!list_from_snapshot(processes)) {
        processes.clear();
        list_from_enumeration(processes);
    }
    return processes;
}

} // namespace kr
