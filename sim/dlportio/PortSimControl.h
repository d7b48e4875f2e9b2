// Scripting face of the stand-in DlPortIO.dll. A test loads the stand-in from
// the folder it was built into and gets this interface from its named export
// DlPortSim_Control. Plain types only: the test and the stand-in are separate
// modules.
#pragma once

#include <cstdint>

#include "chipbus/MasterChipBus.h"

namespace sim::dlportio {

class IPortSimControl {
public:
    // No port wired, an empty log.
    virtual void Reset() = 0;
    // A parallel port at `base` (data, status, control at base, +1, +2) with
    // the master chip (null: none) wired to it in wiring 1, 2 or 3.
    virtual void Connect(uint32_t base, uint32_t wiring, chipbus::IMasterChipBus *chip) = 0;

    // The access log, one line per port access: "C:=06" and "D:=E2" for
    // writes to the control and data registers, "S=20" and "D=5A" for reads;
    // accesses outside the wired port show their address ("0x0278:=06").
    // Copies at most capacity - 1 characters and a zero; returns the whole length.
    virtual uint32_t CopyLog(char *buffer, uint32_t capacity) const = 0;
    virtual void ClearLog() = 0;
    // Accesses since the log was last cleared.
    virtual uint32_t AccessCount() const = 0;

protected:
    ~IPortSimControl() = default;
};

} // namespace sim::dlportio

extern "C" sim::dlportio::IPortSimControl *DlPortSim_Control();
