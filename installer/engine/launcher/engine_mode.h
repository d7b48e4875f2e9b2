#pragma once

#include <windows.h>

class command_line;
class CSetupEngine;

// Creates the engine object with no reference yet: S_OK, E_POINTER for a null
// out pointer, E_OUTOFMEMORY (and null) when it cannot be made.
HRESULT CreateEngine(CSetupEngine** engine);

// Engine mode: settles the trace log, creates and runs the engine and maps its
// final status to the process exit code.
DWORD RunEngineMode(command_line& line);
