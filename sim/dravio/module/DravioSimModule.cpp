// dravio_sim.dll: one simulated driver for the whole process. A product DLL
// installs DravioSim_GetSeam's table in its own copy of the driver seam; a
// test program scripts the same devices through DravioSim_GetController.
#include <windows.h>

#include <string>

#include "sim/dravio/SimDriver.h"

namespace {

// With VANTREL_SIM_DEMO=1 the demo hardware (dravio_sim_demo.dll beside this module) is plugged
// into the driver as it comes up, so the first enumeration already finds it.
void PlugDemoHardwareIfRequested(dravio::sim::ISimController &driver)
{
    char flag[8] = {};
    if (GetEnvironmentVariableA("VANTREL_SIM_DEMO", flag, sizeof(flag)) == 0 || lstrcmpA(flag, "1") != 0)
        return;
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&PlugDemoHardwareIfRequested), &self);
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    std::wstring demo(path, length);
    demo = demo.substr(0, demo.find_last_of(L"\\/") + 1) + L"dravio_sim_demo.dll";
    HMODULE module = LoadLibraryW(demo.c_str());
    if (module == nullptr)
        return;
    using Plug = void (*)(dravio::sim::ISimController *);
    if (auto plug = reinterpret_cast<Plug>(reinterpret_cast<void *>(GetProcAddress(module, "DravioSimDemo_Plug"))))
        plug(&driver);
}

dravio::sim::SimDriver &ProcessDriver()
{
    // Product DLLs keep the seam table's pointers and the driver's worker
    // thread runs in this module, so the module stays loaded and the driver
    // lives as long as the process; it is never destroyed.
    static dravio::sim::SimDriver *const driver = [] {
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&ProcessDriver), &self);
        auto *created = new dravio::sim::SimDriver;
        PlugDemoHardwareIfRequested(*created);
        return created;
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
