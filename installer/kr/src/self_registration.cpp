#include "kr/self_registration.h"

#include <oleauto.h>

#include "kr/holders.h"
#include "kr/library_state.h"
#include "kr/processes.h"
#include "kr/system_info.h"

namespace kr {

namespace {

constexpr DWORD kRegistrationTimeout = 5000;

// Per-user registration needs NT 5 or later and the classes-root override.
bool prepare_per_user(classes_root_override& scope)
{
    return nt5_or_later() && scope.activate();
}

} // namespace

classes_root_override::~classes_root_override()
{
    restore();
}

bool classes_root_override::activate()
{
    const registry_key_holder classes(HKEY_CURRENT_USER, L"Software\\Classes", KEY_WRITE);
    if (!classes.get())
        return false;
    active_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes.get()) == ERROR_SUCCESS;
    return active_;
}

void classes_root_override::restore()
{
    if (active_) {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        active_ = false;
    }
}

bool self_register(const _stringx& path, bool do_register, bool per_user)
{
    clear_errors();
    set_error_path(path);
    if (path.empty())
        return false;
    const _stringx extension = path.path_extension();
    if (extension == L".EXE")
        return !per_user && self_register_exe(path, do_register);
    if (extension == L".TLB")
        return self_register_typelib(path, do_register, per_user);
    if (extension == L".DLL" || extension == L".OCX")
        return self_register_dll(path, do_register, per_user) || self_register_typelib(path, do_register, per_user);
    return false;
}

// A registration that the program reports as failed (exit code not 0) is a
// failed registration; its code is kept as the last result.
bool self_register_exe(const _stringx& path, bool do_register)
{
    launch_request request;
    request.program = path;
    request.arguments = do_register ? L" /REGSERVER" : L" /UNREGSERVER";
    request.verb = L"open";
    request.show = SW_SHOWNORMAL;
    request.wait_flags = wait_for_exit;
    request.timeout = kRegistrationTimeout;
    if (launch_process(request) != launch_started)
        return false;
    const DWORD exit_code = state().last_exit_code;
    close_last_process();
    if (exit_code != 0) {
        set_last_result(exit_code);
        set_error_path(path);
        return false;
    }
    return true;
}

bool self_register_dll(const _stringx& path, bool do_register, bool per_user)
{
    classes_root_override scope;
    if (per_user && !prepare_per_user(scope))
        return false;

    const library_holder library(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!library.get()) {
        set_last_result(GetLastError());
        return false;
    }
    using entry_fn = HRESULT(STDAPICALLTYPE*)();
    const auto entry = reinterpret_cast<entry_fn>(reinterpret_cast<void (*)()>(
        GetProcAddress(library.get(), do_register ? "DllRegisterServer" : "DllUnregisterServer")));
    if (!entry) {
        set_last_result(ERROR_PROC_NOT_FOUND);
        return false;
    }
    const HRESULT result = entry();
    if (FAILED(result)) {
        set_last_result(static_cast<DWORD>(result));
        return false;
    }
    return true;
}

bool self_register_typelib(const _stringx& path, bool do_register, bool per_user)
{
    classes_root_override scope;
    if (per_user && !prepare_per_user(scope))
        return false;

    ITypeLib* library = nullptr;
    HRESULT result = LoadTypeLib(path.c_str(), &library);
    if (SUCCEEDED(result)) {
        if (do_register) {
            result = RegisterTypeLib(library, const_cast<OLECHAR*>(path.c_str()), nullptr);
        } else {
            TLIBATTR* attributes = nullptr;
            result = library->GetLibAttr(&attributes);
            if (SUCCEEDED(result)) {
                result = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                           attributes->lcid, attributes->syskind);
                library->ReleaseTLibAttr(attributes);
            }
        }
        library->Release();
    }
    if (FAILED(result)) {
        set_last_result(static_cast<DWORD>(result));
        return false;
    }
    return true;
}

} // namespace kr
