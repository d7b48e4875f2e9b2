#pragma once

#include <windows.h>
#include <delayimp.h>

// Takes the current folder out of the DLL search and makes the safe search
// order permanent; runs before any other static initialiser of the program.
void HardenDllSearchPath();

// The program's delay-load notification hook: every delayed DLL but the
// "api-ms-win-core-" sets is loaded from the system folder.
FARPROC WINAPI DelayLoadNotifyHook(unsigned notification, PDelayLoadInfo info);
