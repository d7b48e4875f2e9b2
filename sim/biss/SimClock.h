// Virtual time for the simulated hardware. The library under test polls a
// clock for its time-outs; handing it this one lets the simulation move time
// on as the hardware works, so a time-out costs no real seconds.
#pragma once

#include <cstdint>

namespace sim::biss {

class SimClock {
public:
    uint64_t NowMicroseconds() const { return micros_; }
    // The process clock's unit: milliseconds, wrapping at 32 bits.
    uint32_t NowMilliseconds() const { return static_cast<uint32_t>(micros_ / 1000); }
    void Advance(uint64_t microseconds) { micros_ += microseconds; }

private:
    uint64_t micros_ = 0;
};

} // namespace sim::biss
