// Waiting for the master: read, test, repeat, without sleeping, against the
// process clock. A limit of 0 waits without end.
#pragma once

#include <cstdint>

#include "ProcessClock.h"
#include "ferrolink.h"

namespace ferrolink {

constexpr uint32_t kMasterWaitMs = 1000;

// read(&value) gives a code; reached(value) ends the wait. Returns the first
// failed read's code, else 0 with *expired telling whether time ran out first.
template <class Read, class Reached>
int PollMaster(uint32_t limitMs, Read read, Reached reached, bool *expired)
{
    *expired = false;
    const uint32_t begin = ProcessClockMs();
    for (;;) {
        uint32_t value = 0;
        const int result = read(&value);
        if (result != eBISS_NO_ERROR)
            return result;
        if (reached(value))
            return eBISS_NO_ERROR;
        if (limitMs != 0 && ProcessClockMs() - begin > limitMs) {
            *expired = true;
            return eBISS_NO_ERROR;
        }
    }
}

} // namespace ferrolink
