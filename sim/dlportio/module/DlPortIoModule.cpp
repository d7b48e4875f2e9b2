// DlPortIO.dll stand-in: the two port entries over one simulated port driver
// for the process, and DlPortSim_Control for the test that scripts it.
#include <windows.h>

#include "SimPortIo.h"

namespace {

sim::dlportio::SimPortIo &Driver()
{
    static sim::dlportio::SimPortIo driver;
    return driver;
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
