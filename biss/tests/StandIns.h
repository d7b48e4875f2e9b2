// The stand-in ftd2xx.dll and DlPortIO.dll of the build's simdll folder,
// loaded by the test program before the library under test probes them, and
// their folder put on the DLL search path, so the library finds them and their
// state survives the probe's unload.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "FtdiSimControl.h"
#include "PortSimControl.h"

namespace ferrolink_test {

sim::ftdi::IFtdiSimControl &SimulatedFtdi();
sim::dlportio::IPortSimControl &SimulatedPorts();

// The lines of a stand-in's log.
std::vector<std::string> FtdiLogLines();
std::vector<std::string> PortLogLines();

template <class Function>
Function *ModuleEntry(HMODULE module, const char *name)
{
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr)
        throw std::runtime_error(std::string("no entry ") + name);
    return reinterpret_cast<Function *>(reinterpret_cast<void *>(proc));
}

} // namespace ferrolink_test
