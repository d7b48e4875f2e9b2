#include "DriverSelection.h"

#include "DriverSeam.h"

#include <windows.h>

// dravio_sim.dll, imported at load time: the process's one simulated driver,
// shared with the test program that plugs its devices.
extern "C" const dravio::DriverSeam *DravioSim_GetSeam();

void SelectDriver()
{
    static LONG installed = 0;
    if (InterlockedCompareExchange(&installed, 1, 0) == 0) {
        dravio::InstallDriverSeam(DravioSim_GetSeam());
    }
}
