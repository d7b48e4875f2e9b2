#pragma once

#include <windows.h>

// The failure status that the exception being handled stands for: the
// HRESULT the launcher's own exceptions carry (a Win32 code as its HRESULT),
// E_OUTOFMEMORY for a failed allocation, E_UNEXPECTED for anything else or for
// an exception that carries no failure. Call it only inside a catch block.
HRESULT StatusOfCurrentException() noexcept;
