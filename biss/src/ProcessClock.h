// The one clock every wait on the master polls, in milliseconds. The simulated
// hardware replaces it so waits run in virtual time.
#pragma once

#include <cstdint>

namespace ferrolink {

using ClockFunction = uint32_t (*)();

// Milliseconds of the process clock (or of the installed clock).
uint32_t ProcessClockMs();

// Installs another clock; null puts the process clock back.
void InstallClock(ClockFunction clock);

} // namespace ferrolink
