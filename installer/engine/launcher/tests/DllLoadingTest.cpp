#include "dll_loading.h"

#include <gtest/gtest.h>

#include <string>

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
