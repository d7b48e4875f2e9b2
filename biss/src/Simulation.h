// Simulated hardware for the tests and the hardware-free demo. It is switched on
// explicitly (VANTREL_SIMULATION=1) and only in builds made with simulation
// support; otherwise the library talks to the real driver.
#pragma once

namespace ferrolink {

// Before the first adapter is opened: when switched on, loads the simulated
// driver that sits beside this library and routes the USB class library (and
// the wait clock, when the simulation offers one) to it. Runs once.
void EnableSimulationIfRequested();

} // namespace ferrolink
