// Virtual time for the simulated hardware. The library under test polls a
// clock for its time-outs; handing it this one lets the simulation move time
// on as the hardware works, so a time-out costs no real seconds.
#pragma once

#include <atomic>
#include <cstdint>

namespace sim::biss {

class SimClock {
public:
    uint64_t NowMicroseconds() const { return micros_.load(); }
    // The process clock's unit: milliseconds, wrapping at 32 bits.
    uint32_t NowMilliseconds() const { return static_cast<uint32_t>(micros_.load() / 1000); }
    // May be called from the adapter's stream while the library reads the time.
    void Advance(uint64_t microseconds) { micros_ += microseconds; }

private:
    std::atomic<uint64_t> micros_{0};
};

} // namespace sim::biss
