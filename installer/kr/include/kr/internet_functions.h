#pragma once

// The WinINet calls whose answers depend on the machine rather than on the
// download: the version, the connected state, autodial and the error dialog.
// Tests put recorders in their place (the dialog is modal, and Wine always
// reports one version and a LAN connection).

#include <windows.h>
#include <wininet.h>

namespace kr {

struct internet_functions {
    // InternetQueryOptionW(nullptr, INTERNET_OPTION_VERSION, ...).
    BOOL(WINAPI* query_version)(INTERNET_VERSION_INFO* version);
    BOOL(WINAPI* get_connected_state)(DWORD* flags, DWORD reserved);
    BOOL(WINAPI* autodial)(DWORD flags, HWND parent);
    DWORD(WINAPI* error_dialog)(HWND parent, HINTERNET request, DWORD error, DWORD flags, void** data);
};

// The functions in use; the real WinINet ones unless replaced.
const internet_functions& current_internet_functions();
// Replaces the functions (a null member keeps the real one); returns the set before.
internet_functions set_internet_functions(const internet_functions& functions);

} // namespace kr
