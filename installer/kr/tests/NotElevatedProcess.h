#pragma once

// Starts a program the way a non-elevated administrator runs it: with a token
// whose Administrators group is for denial only.

#include <windows.h>

#include <string>

// Its exit code; ~0u - 1 when it could not be started, ~0u when it did not
// end within the time-out.
DWORD RunWithAdministratorsDenied(std::wstring command_line, DWORD timeout);
