// Scripting face of the stand-in ftd2xx.dll. A test loads the stand-in from
// the folder it was built into (before the library under test probes it) and
// gets this interface from its one named export, FtdiSim_Control. Plain types
// only: the test and the stand-in are separate modules.
#pragma once

#include <cstdint>

#include "chipbus/MasterChipBus.h"

namespace sim::ftdi {

// The library calls a fault can be put into, by the ordinal each is exported under.
enum class D2xxCall : uint32_t {
    Close = 2,
    Read = 3,
    Write = 4,
    Purge = 16,
    SetTimeouts = 17,
    QueueStatus = 18,
    OpenByDescription = 27,
    LatencyTimer = 29,
    BitMode = 31,
};

class IFtdiSimControl {
public:
    // No devices, no faults, an empty log, every call count 0.
    virtual void Reset() = 0;
    // One adapter channel, found by its description; the chip (null: none)
    // is wired to its MPSSE pins.
    virtual void AddDevice(const char *description, chipbus::IMasterChipBus *chip) = 0;
    // Levels on the low pin byte's inputs; bit 2 always shows the chip's data out.
    virtual void SetInputPins(uint8_t levels) = 0;
    // After `after` further calls of that kind, the next `count` fail with an
    // I/O error status and move no data.
    virtual void FailCalls(D2xxCall call, uint32_t after, uint32_t count) = 0;
    // The next write that produces answers leaves `count` stray bytes behind them.
    virtual void AddStrayBytes(uint32_t count) = 0;

    // The call log, one line per call ("write 80 18 1B", "read 3 = 00 00 5A",
    // a failing call ends in "-> status"). Copies at most capacity - 1
    // characters and a terminating zero; returns the whole log's length.
    virtual uint32_t CopyLog(char *buffer, uint32_t capacity) const = 0;
    virtual void ClearLog() = 0;
    virtual uint32_t CallCount(D2xxCall call) const = 0;
    // Bytes in the open device's receive buffer.
    virtual uint32_t WaitingBytes() const = 0;

protected:
    ~IFtdiSimControl() = default;
};

} // namespace sim::ftdi

extern "C" sim::ftdi::IFtdiSimControl *FtdiSim_Control();
