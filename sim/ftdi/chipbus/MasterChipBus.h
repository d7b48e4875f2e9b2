// The master chip as an adapter wired straight to it sees it: register reads
// and writes through one of its host interfaces, its end-of-cycle output, and
// the time an adapter's own work takes. The stand-in adapter DLLs reach the
// chip only through this, so a test can put the same chip model behind each.
#pragma once

#include <cstdint>

namespace sim::chipbus {

class IMasterChipBus {
public:
    virtual uint8_t ReadRegister(uint8_t address) = 0;
    virtual void WriteRegister(uint8_t address, uint8_t value) = 0;
    // The chip's end-of-cycle output line (status bit 0 as a pin). Sampling it
    // takes as long as a register access.
    virtual bool EndOfCycle() = 0;
    // Time spent outside the chip: USB transfers, port accesses.
    virtual void Elapse(uint32_t microseconds) = 0;

protected:
    ~IMasterChipBus() = default;
};

} // namespace sim::chipbus
