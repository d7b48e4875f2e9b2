#include "Simulation.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "DriverSeam.h"
#include "ProcessClock.h"

namespace ferrolink {

#ifdef FERROLINK_SIMULATION

namespace {

// The folder of this library, with its trailing backslash.
std::string OwnFolder()
{
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

void LoadSimulatedDriver()
{
    char flag[8] = {};
    if (GetEnvironmentVariableA("VANTREL_SIMULATION", flag, sizeof(flag)) == 0 || std::strcmp(flag, "1") != 0)
        return;
    // A fixed name beside this library; the module stays loaded for the process.
    HMODULE module = LoadLibraryA((OwnFolder() + "dravio_sim.dll").c_str());
    if (module == nullptr)
        return;
    using GetSeam = const dravio::DriverSeam *(*)();
    using Clock = uint32_t (*)();
    if (auto getSeam = reinterpret_cast<GetSeam>(reinterpret_cast<void *>(GetProcAddress(module, "DravioSim_GetSeam"))))
        dravio::InstallDriverSeam(getSeam());
    if (auto clock = reinterpret_cast<Clock>(reinterpret_cast<void *>(GetProcAddress(module, "DravioSim_ClockMs"))))
        InstallClock(clock);
}

} // namespace

void EnableSimulationIfRequested()
{
    static const bool once = (LoadSimulatedDriver(), true);
    (void)once;
}

#else

void EnableSimulationIfRequested() {}

#endif

} // namespace ferrolink
