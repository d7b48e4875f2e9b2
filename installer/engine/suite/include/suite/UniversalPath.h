#pragma once

// A path on a mapped network drive in its universal (UNC) form, so that a
// program started later from that path finds it whatever drives are mapped.

#include <windows.h>

#include "kr/stringx.h"

// The system calls the conversion makes; tests put their own in, since a test
// machine has no network drives.
struct NetworkDriveCalls {
    UINT(WINAPI* driveType)(LPCWSTR root) = nullptr;
    DWORD(WINAPI* universalName)(LPCWSTR path, DWORD level, LPVOID buffer, LPDWORD size) = nullptr;
};
// Null members stand for GetDriveTypeW and WNetGetUniversalNameW. Returns the calls before.
NetworkDriveCalls SetNetworkDriveCalls(NetworkDriveCalls calls);

// The universal name of a path whose root is a network drive; any other path,
// or one the system cannot convert, comes back as it is.
_stringx UniversalPath(const _stringx& path);
