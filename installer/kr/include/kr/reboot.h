#pragma once

#include <windows.h>

namespace kr {

// Restarts Windows: enables the shutdown privilege and asks for a reboot.
// True when the request failed.
bool reboot_system();

// The call that ends the Windows session; tests put a recorder in its place
// (under Wine the real one ends the whole session). Returns the one before.
using exit_windows_function = BOOL(WINAPI*)(UINT flags, DWORD reason);
exit_windows_function set_exit_windows_function(exit_windows_function function);

} // namespace kr
