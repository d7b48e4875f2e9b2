#include "parcels/ProxySystem.h"

#include <vector>

#include "kr/library_state.h"
#include "kr/processes.h"

namespace {

constexpr DWORD kShellMask = 0x800400; // SEE_MASK_NOZONECHECKS | SEE_MASK_FLAG_NO_UI

class KeyHolder {
public:
    KeyHolder() = default;
    ~KeyHolder()
    {
        if (key_)
            RegCloseKey(key_);
    }
    KeyHolder(const KeyHolder&) = delete;
    KeyHolder& operator=(const KeyHolder&) = delete;
    HKEY* address() noexcept { return &key_; }
    HKEY get() const noexcept { return key_; }

private:
    HKEY key_ = nullptr;
};

// Subkeys first, then the key itself.
LONG DeleteTree(HKEY parent, const wchar_t* name, REGSAM access)
{
    {
        KeyHolder key;
        const LONG opened = RegOpenKeyExW(parent, name, 0, access, key.address());
        if (opened != ERROR_SUCCESS)
            return opened;
        for (;;) {
            // Always the first: each one found is deleted before the next look.
            wchar_t child[256] = {};
            DWORD length = 256;
            const LONG found = RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
            if (found == ERROR_NO_MORE_ITEMS)
                break;
            if (found != ERROR_SUCCESS)
                return found;
            if (const LONG deleted = DeleteTree(key.get(), child, access))
                return deleted;
        }
    }
    return RegDeleteKeyExW(parent, name, access & (KEY_WOW64_64KEY | KEY_WOW64_32KEY), 0);
}

} // namespace

DWORD CProxySystem::StartProgram(const _stringx& program, const _stringx& arguments, const _stringx& folder,
                                 HANDLE& process)
{
    process = nullptr;
    kr::launch_request request;
    request.program = program;
    request.arguments = arguments;
    request.working_folder = folder;
    request.wait_flags = kr::launch_through_shell;
    request.timeout = INFINITE;
    request.show = SW_SHOWNORMAL;
    request.extra_flags = kShellMask;
    request.verb = L"open";
    if (kr::launch_process(request) != kr::launch_started)
        return kr::last_result();
    // The handle becomes the caller's; the library forgets it.
    process = kr::state().last_process.hProcess;
    kr::state().last_process.hProcess = nullptr;
    kr::close_last_process();
    return 0;
}

DWORD CProxySystem::WaitForProgram(HANDLE process, DWORD& exit_code)
{
    const DWORD waited = kr::wait_for_process(process, INFINITE);
    if (waited != 0)
        return waited == WAIT_FAILED ? GetLastError() : waited;
    exit_code = kr::state().last_exit_code;
    return 0;
}

LONG CProxySystem::SetRegistryValue(HKEY root, const _stringx& key, REGSAM access, bool create, const _stringx& name,
                                    DWORD type, PipeBytes data)
{
    KeyHolder opened;
    LONG result = RegOpenKeyExW(root, key.c_str(), 0, access, opened.address());
    if (result == ERROR_FILE_NOT_FOUND && create)
        result = RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, access, nullptr, opened.address(), nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    return RegSetValueExW(opened.get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

LONG CProxySystem::DeleteRegistryTree(HKEY root, const _stringx& parent, const _stringx& leaf, REGSAM access)
{
    KeyHolder opened;
    const LONG result = RegOpenKeyExW(root, parent.c_str(), 0, access, opened.address());
    if (result != ERROR_SUCCESS)
        return result;
    return DeleteTree(opened.get(), leaf.c_str(), access);
}

HMODULE CProxySystem::LoadModule(const _stringx& path)
{
    return LoadLibraryW(path.c_str());
}

FARPROC CProxySystem::FindEntry(HMODULE module, const char* name)
{
    return GetProcAddress(module, name);
}

void CProxySystem::ReleaseModule(HMODULE module)
{
    FreeLibrary(module);
}

const MsiFunctions& CProxySystem::Msi()
{
    return SystemMsiFunctions();
}
