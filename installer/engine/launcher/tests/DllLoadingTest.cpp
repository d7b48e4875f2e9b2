#include "dll_loading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DelayLoadInfo Info(const char* dll, DWORD size = sizeof(DelayLoadInfo))
{
    DelayLoadInfo info = {};
    info.cb = size;
    info.szDll = dll;
    return info;
}

std::wstring ModulePath(HMODULE module)
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

TEST(DelayLoadHook, LoadsFromTheSystemFolder)
{
    DelayLoadInfo version = Info("VERSION.dll");
    const HMODULE loaded = reinterpret_cast<HMODULE>(DelayLoadNotifyHook(dliNotePreLoadLibrary, &version));
    ASSERT_NE(loaded, nullptr);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(_wcsicmp(ModulePath(loaded).c_str(), (std::wstring(system) + L"\\version.dll").c_str()), 0)
        << ModulePath(loaded);
    FreeLibrary(loaded);

    // A DLL that only exists elsewhere is not found through the hook.
    DelayLoadInfo elsewhere = Info("kr_test_server.dll");
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &elsewhere), nullptr);
}

TEST(DelayLoadHook, LeavesEverythingElseToTheStandardHandling)
{
    DelayLoadInfo api_set = Info("api-ms-win-core-winrt-l1-1-0.dll");
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &api_set), nullptr);
    DelayLoadInfo upper = Info("API-MS-WIN-CORE-winrt-string-l1-1-0.dll");
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &upper), nullptr);
    DelayLoadInfo version = Info("version.dll");
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreGetProcAddress, &version), nullptr);
    EXPECT_EQ(DelayLoadNotifyHook(dliStartProcessing, &version), nullptr);
    DelayLoadInfo small = Info("version.dll", 12);
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &small), nullptr);
    DelayLoadInfo nameless = Info(nullptr);
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &nameless), nullptr);
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, nullptr), nullptr);

    // A name too long for the path buffer is cut and does not load.
    const std::string long_name(400, 'x');
    DelayLoadInfo too_long = Info(long_name.c_str());
    EXPECT_EQ(DelayLoadNotifyHook(dliNotePreLoadLibrary, &too_long), nullptr);
}

TEST(DllSearch, CurrentFolderLeavesTheSearch)
{
    SetDllDirectoryW(L"C:\\windows");
    HardenDllSearchPath();
    wchar_t folder[MAX_PATH] = {L'x'};
    GetDllDirectoryW(MAX_PATH, folder);
    EXPECT_STREQ(folder, L"");
}

} // namespace

#include "kr/signer.h"
#include "kr/version_info.h"

namespace {

std::vector<std::string> g_requested;

FARPROC WINAPI RecordingHook(unsigned notification, PDelayLoadInfo info)
{
    if (notification == dliNotePreLoadLibrary && info && info->szDll)
        g_requested.emplace_back(info->szDll);
    return DelayLoadNotifyHook(notification, info);
}

// This test program is linked like Tessarel: VERSION, CRYPT32 and PSAPI are
// delayed imports, loaded through the hook on their first use.
TEST(DelayLoadHook, DelayedImportsLoadOnFirstUseThroughTheHook)
{
    EXPECT_EQ(__pfnDliNotifyHook2, &DelayLoadNotifyHook);
    __pfnDliNotifyHook2 = RecordingHook;

    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    kr::version_info info;
    EXPECT_FALSE(info.load(program));
    EXPECT_FALSE(kr::same_signer(program, program));
    __pfnDliNotifyHook2 = DelayLoadNotifyHook;

    ASSERT_EQ(g_requested.size(), 2u);
    EXPECT_EQ(_stricmp(g_requested[0].c_str(), "version.dll"), 0) << g_requested[0];
    EXPECT_EQ(_stricmp(g_requested[1].c_str(), "crypt32.dll"), 0) << g_requested[1];
}

} // namespace
