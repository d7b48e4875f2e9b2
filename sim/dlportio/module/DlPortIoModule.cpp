// DlPortIO.dll stand-in: the two port entries over one simulated port driver
// for the process, and DlPortSim_Control for the test that scripts it.
#include <windows.h>

#include "SimPortIo.h"

namespace {

// One driver for the process, never unloaded and never destroyed: a probe's
// FreeLibrary must not lose a test's script, and port accesses may come in
// while the process ends.
sim::dlportio::SimPortIo &Driver()
{
    static sim::dlportio::SimPortIo *const driver = [] {
        HMODULE self = nullptr;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCSTR>(&DlPortSim_Control), &self);
        return new sim::dlportio::SimPortIo;
    }();
    return *driver;
}

} // namespace

extern "C" {

sim::dlportio::IPortSimControl *DlPortSim_Control()
{
    return &Driver();
}

void WINAPI DlPortWritePortUchar(ULONG port, UCHAR value)
{
    Driver().WritePort(port, value);
}

UCHAR WINAPI DlPortReadPortUchar(ULONG port)
{
    return Driver().ReadPort(port);
}

} // extern "C"
