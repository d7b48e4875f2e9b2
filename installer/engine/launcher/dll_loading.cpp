#include "dll_loading.h"

#include <cstring>

namespace {

constexpr DWORD kSafeSearchModePermanent = 0x8001; // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | PERMANENT
constexpr DWORD kDelayLoadInfoMinimum = 16;
constexpr char kApiSetPrefix[] = "api-ms-win-core-";

template <class F>
F Kernel32Export(const char* name)
{
    HMODULE kernel32 = GetModuleHandleW(L"KERNEL32");
    return kernel32 ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(kernel32, name))) : nullptr;
}

__attribute__((constructor(101))) void HardenBeforeEverythingElse()
{
    HardenDllSearchPath();
}

} // namespace

void HardenDllSearchPath()
{
    using set_dll_directory_fn = BOOL(WINAPI*)(LPCWSTR);
    using set_search_path_mode_fn = BOOL(WINAPI*)(DWORD);
    if (const auto set_dll_directory = Kernel32Export<set_dll_directory_fn>("SetDllDirectoryW"))
        set_dll_directory(L"");
    if (const auto set_search_path_mode = Kernel32Export<set_search_path_mode_fn>("SetSearchPathMode"))
        set_search_path_mode(kSafeSearchModePermanent);
}

FARPROC WINAPI DelayLoadNotifyHook(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || !info || info->cb < kDelayLoadInfoMinimum || !info->szDll)
        return nullptr;
    if (_strnicmp(info->szDll, kApiSetPrefix, sizeof(kApiSetPrefix) - 1) == 0)
        return nullptr;

    char path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    size_t used = length;
    if (path[used - 1] != '\\' && used + 1 < MAX_PATH)
        path[used++] = '\\';
    const size_t name_length = std::strlen(info->szDll);
    const size_t copied = name_length < MAX_PATH - 1 - used ? name_length : MAX_PATH - 1 - used;
    std::memcpy(path + used, info->szDll, copied);
    path[used + copied] = 0;
    return reinterpret_cast<FARPROC>(LoadLibraryA(path));
}

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotifyHook;
PfnDliHook __pfnDliFailureHook2 = nullptr;
}
