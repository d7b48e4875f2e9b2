// The plain functions of the simulated driver's seam table and of its
// "setupapi.dll": each finds the process's simulated driver and hands
// everything the simulation does not own to the real Win32 function.
#pragma once

#include <windows.h>

#include "usb/classlib/DriverSeam.h"

namespace dravio::sim {

struct SeamFunctions {
    static const DriverSeam kTable;
};

// An entry of the simulated setup API by name, or null.
FARPROC SetupApiProcedure(const char *name);

} // namespace dravio::sim
