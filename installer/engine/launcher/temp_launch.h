#pragma once

#include <windows.h>

#include "kr/stringx.h"

class command_line;

// Status when the temporary copy cannot be started or waited for
// ("IDS_SUITEERROR_FAILEDLAUNCHTEMP").
constexpr HRESULT kFailedLaunchTemp = static_cast<HRESULT>(0x8004070C);

// Relaunch mode: hands the remaining arguments, the marker switch, the
// location of the started program and the debug-log switch to a temporary
// copy of the program. The result is the exit code of the process, unmapped.
DWORD RunRelaunchMode(command_line& line, const _stringx& program, bool wait);

// Copies the program into a new temporary folder and starts the copy with the
// arguments; with wait, its exit code is the result and the copy and its
// folder are removed afterwards.
DWORD RelaunchFromTempCopy(const _stringx& program, const _stringx& arguments, bool wait);

// Marks the running program file for deletion at the next restart; true.
bool CleanupTempLaunch();
