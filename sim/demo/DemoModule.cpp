// dravio_sim_demo.dll: the demo hardware. dravio_sim.dll loads it from its own folder when
// VANTREL_SIM_DEMO=1 and hands it the process's simulated driver once, as the driver comes up.
#include <windows.h>

#include "DemoRig.h"

extern "C" __declspec(dllexport) void DravioSimDemo_Plug(dravio::sim::ISimController *driver)
{
    // The adapter's pump thread runs in this module and the driver keeps the adapter's handlers,
    // so the module stays loaded and the rig lives as long as the process.
    static sim::demo::DemoRig *const rig = [driver] {
        HMODULE self = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&DravioSimDemo_Plug), &self);
        return new sim::demo::DemoRig(*driver);
    }();
    (void)rig;
}
