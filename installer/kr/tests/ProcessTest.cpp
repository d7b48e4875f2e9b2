#include "kr/processes.h"

#include <gtest/gtest.h>

#include <string>

#include "TestFolder.h"
#include "kr/elevation.h"
#include "kr/library_state.h"
#include "NotElevatedProcess.h"

namespace {

std::wstring Helper()
{
    return ProgramFolder() + L"kr_test_helper.exe";
}

kr::launch_request Request(const std::wstring& arguments, DWORD wait_flags, DWORD timeout = INFINITE)
{
    kr::launch_request request;
    request.program = Helper().c_str();
    request.arguments = arguments.c_str();
    request.wait_flags = wait_flags;
    request.timeout = timeout;
    return request;
}

// Ids of the running processes whose parent is the given one.
std::vector<DWORD> ChildrenOf(DWORD parent)
{
    std::vector<DWORD> children;
    for (const auto& [id, entry] : kr::list_processes()) {
        if (entry.parent_id == parent)
            children.push_back(id);
    }
    return children;
}

DWORD IdOfProgram(const wchar_t* name)
{
    for (const auto& [id, entry] : kr::list_processes()) {
        if (_wcsicmp(entry.executable.c_str(), name) == 0)
            return id;
    }
    return 0;
}

void EndProcess(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (process) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

TEST(LaunchProcess, WaitsAndKeepsTheExitCode)
{
    ASSERT_EQ(kr::launch_process(Request(L"exit 42", kr::wait_for_exit)), kr::launch_started);
    EXPECT_EQ(kr::state().last_exit_code, 42u);
    EXPECT_NE(kr::state().last_process.hProcess, nullptr);
    EXPECT_NE(kr::state().last_process.dwProcessId, 0u);
    kr::close_last_process();
    EXPECT_EQ(kr::state().last_process.hProcess, nullptr);
}

TEST(LaunchProcess, NoWaitWithoutFlagOrWithZeroTimeout)
{
    for (const auto& [flags, timeout] : {std::pair<DWORD, DWORD>{0, INFINITE}, {kr::wait_for_exit, 0}}) {
        ASSERT_EQ(kr::launch_process(Request(L"sleep 10000", flags, timeout)), kr::launch_started);
        const HANDLE process = kr::state().last_process.hProcess;
        EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
        TerminateProcess(process, 0);
        kr::close_last_process();
    }
}

TEST(LaunchProcess, TimeoutAndStartFailure)
{
    ASSERT_EQ(kr::launch_process(Request(L"sleep 10000", kr::wait_for_exit, 100)), kr::launch_wait_timed_out);
    EXPECT_EQ(kr::last_result(), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(kr::state().last_process.hProcess, 0);
    kr::close_last_process();

    kr::launch_request missing = Request(L"exit 1", kr::wait_for_exit);
    missing.program = L"C:\\no\\such program.exe";
    EXPECT_EQ(kr::launch_process(missing), kr::launch_not_started);
    EXPECT_NE(kr::last_result(), 0u);
    EXPECT_EQ(std::wstring(kr::last_failed_path().c_str()), L"C:\\no\\such program.exe exit 1");
}

TEST(LaunchProcess, WholeCommandLineWithoutProgram)
{
    kr::launch_request request;
    request.arguments = (L"\"" + Helper() + L"\" exit 5").c_str();
    request.wait_flags = kr::wait_for_exit;
    ASSERT_EQ(kr::launch_process(request), kr::launch_started);
    EXPECT_EQ(kr::state().last_exit_code, 5u);
    kr::close_last_process();
}

TEST(LaunchProcess, ThroughTheShell)
{
    for (const wchar_t* verb : {L"open", L"runas"}) {
        kr::launch_request request = Request(L"exit 9", kr::wait_for_exit | kr::launch_through_shell);
        request.verb = verb;
        ASSERT_EQ(kr::launch_process(request), kr::launch_started) << verb;
        EXPECT_EQ(kr::state().last_exit_code, 9u) << verb;
        kr::close_last_process();
    }
}

TEST(ProcessTree, ChildrenAreWaitedForOnlyWithTheirFlag)
{
    const std::wstring child = L"spawn 0 \"" + Helper() + L"\" sleep 3000";

    ASSERT_EQ(kr::launch_process(Request(child, kr::wait_for_exit)), kr::launch_started);
    const DWORD parent = kr::state().last_process.dwProcessId;
    const std::vector<DWORD> running = ChildrenOf(parent);
    ASSERT_EQ(running.size(), 1u) << "the child should outlive a plain wait";
    EndProcess(running[0]);
    kr::close_last_process();

    ASSERT_EQ(kr::launch_process(Request(child, kr::wait_for_children)), kr::launch_started);
    EXPECT_TRUE(ChildrenOf(kr::state().last_process.dwProcessId).empty());
    EXPECT_EQ(kr::state().last_exit_code, 0u);
    kr::close_last_process();
}

// The launched program starts PSTORES.EXE (skipped as a child by name), which
// starts a sleeper: only the descendant flag reaches the sleeper through it.
TEST(ProcessTree, GrandchildIsWaitedForOnlyWithTheDescendantFlag)
{
    TestFolder folder;
    const std::wstring skipped = folder / L"PSTORES.EXE";
    ASSERT_TRUE(CopyFileW(Helper().c_str(), skipped.c_str(), FALSE));
    const std::wstring tree = L"spawn 1500 \"" + skipped + L"\" spawn 4000 \"" + Helper() + L"\" sleep 2500";

    ASSERT_EQ(kr::launch_process(Request(tree, kr::wait_for_children)), kr::launch_started);
    DWORD middle = IdOfProgram(L"PSTORES.EXE");
    ASSERT_NE(middle, 0u);
    EXPECT_EQ(ChildrenOf(middle).size(), 1u) << "the grandchild should still run";
    kr::close_last_process();
    for (const DWORD id : ChildrenOf(middle))
        EndProcess(id);
    EndProcess(middle);

    ASSERT_EQ(kr::launch_process(Request(tree, kr::wait_for_descendants)), kr::launch_started);
    middle = IdOfProgram(L"PSTORES.EXE");
    EXPECT_TRUE(middle == 0 || ChildrenOf(middle).empty()) << "the grandchild should have ended";
    kr::close_last_process();
    if (middle)
        EndProcess(middle);
}

// A process listed with our id as its parent but created before the process
// we ask about belongs to an earlier owner of that id.
TEST(ProcessTree, ChildOlderThanItsParentIsNotItsChild)
{
    ASSERT_EQ(kr::launch_process(Request(L"sleep 5000", 0)), kr::launch_started);
    const PROCESS_INFORMATION older = kr::state().last_process;
    kr::state().last_process = PROCESS_INFORMATION{};
    Sleep(50);
    ASSERT_EQ(kr::launch_process(Request(L"sleep 5000", 0)), kr::launch_started);
    const PROCESS_INFORMATION newer = kr::state().last_process;

    // Asked with the newer process standing for this one, only the newer one qualifies.
    EXPECT_EQ(kr::find_child_process(GetCurrentProcessId(), newer.hProcess, false), newer.dwProcessId);
    const DWORD found = kr::find_child_process(GetCurrentProcessId(), GetCurrentProcess(), false);
    EXPECT_TRUE(found == older.dwProcessId || found == newer.dwProcessId);

    for (const PROCESS_INFORMATION& process : {older, newer}) {
        TerminateProcess(process.hProcess, 0);
        WaitForSingleObject(process.hProcess, 5000);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    kr::state().last_process = PROCESS_INFORMATION{};
}

TEST(ProcessTree, NothingToWaitFor)
{
    EXPECT_EQ(kr::wait_for_process_tree(0, GetCurrentProcess(), 0, INFINITE), 0u);
    EXPECT_EQ(kr::wait_for_process_tree(0, GetCurrentProcess(), kr::wait_for_descendants, 0), 0u);
    EXPECT_EQ(kr::wait_for_process(GetCurrentProcess(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(kr::get_process_id(GetCurrentProcess()), GetCurrentProcessId());
    EXPECT_EQ(kr::find_child_process(GetCurrentProcessId(), GetCurrentProcess(), true), 0u);
}

// Starts the helper as a non-elevated administrator.
DWORD RunFiltered(const std::wstring& arguments)
{
    return RunWithAdministratorsDenied(L"\"" + Helper() + L"\" " + arguments, 10000);
}

TEST(Elevation, FilteredTokenIsNotElevated)
{
    EXPECT_TRUE(kr::is_elevated());
    EXPECT_TRUE(kr::token_has_group(kr::token_group::administrators, true));

    ASSERT_EQ(kr::launch_process(Request(L"elevation", kr::wait_for_exit)), kr::launch_started);
    EXPECT_EQ(kr::state().last_exit_code, 3u) << "elevated, member of Administrators";
    kr::close_last_process();

    EXPECT_EQ(RunFiltered(L"elevation"), 2u) << "not elevated, Administrators for denial only";
}

} // namespace
