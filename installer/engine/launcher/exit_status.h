#pragma once

#include <windows.h>

// The process exit code for the engine's final status: a Win32 status gives
// its code (a failure whose code is 0 gives 1603, the generic install
// failure), S_OK and S_FALSE give 0, E_ABORT gives 1602 (user cancelled),
// anything else is returned as it is.
DWORD MapExitStatus(HRESULT status);
