#pragma once

// The one call through which the launcher shows a message box. Tests put a
// recorder in its place, since a real box blocks or fails without a user.

#include <windows.h>

namespace kr {

using message_box_function = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Returns the one before; null restores MessageBoxW.
message_box_function set_message_box_function(message_box_function function);
int message_box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

} // namespace kr
