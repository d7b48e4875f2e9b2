// dravio_sim.dll: one simulated driver for the whole process. A product DLL
// installs DravioSim_GetSeam's table in its own copy of the driver seam; a
// test program scripts the same devices through DravioSim_GetController.
#include <windows.h>

#include "sim/dravio/SimDriver.h"

namespace {

dravio::sim::SimDriver &ProcessDriver()
{
    // Product DLLs keep the seam table's pointers and the driver's worker
    // thread runs in this module, so the module stays loaded and the driver
    // lives as long as the process; it is never destroyed.
    static dravio::sim::SimDriver *const driver = [] {
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&ProcessDriver), &self);
        return new dravio::sim::SimDriver;
    }();
    return *driver;
}

} // namespace

extern "C" const dravio::DriverSeam *DravioSim_GetSeam()
{
    return &ProcessDriver().Seam();
}

extern "C" dravio::sim::ISimController *DravioSim_GetController()
{
    return &ProcessDriver();
}

namespace {

// The virtual clock of whatever simulated hardware the process runs; the
// process clock until a simulation hands one in.
struct ClockSource {
    uint32_t (*read)(void *context) = nullptr;
    void *context = nullptr;
};

ClockSource g_clock;

} // namespace

extern "C" void DravioSim_SetClock(uint32_t (*read)(void *context), void *context)
{
    g_clock = {read, context};
}

extern "C" uint32_t DravioSim_ClockMs()
{
    if (g_clock.read != nullptr)
        return g_clock.read(g_clock.context);
    return static_cast<uint32_t>(GetTickCount());
}
