// dravio_sim.dll, the simulated driver that ferrolink.dll loads (VANTREL_SIMULATION=1), as the
// tool's test rigs use it: its controller, its clock and a simulated encoder on a rig's line.
#pragma once

#include "sim/dravio/SimController.h"
#include "SimKeltoEncoder.h"
#include "UsbAdapterRig.h"

namespace calvista_sim {

// The process's simulated driver, the one ferrolink.dll routes its USB calls to.
dravio::sim::ISimController &SimulatedDriver();

// ferrolink's waits read the rig's virtual clock while a rig is set; nullptr hands them the real
// clock back.
void UseClockOf(sim::biss::UsbAdapterRig *rig);

// The encoder on a slave of the rig's line, on the rig's clock and powered while the adapter is open.
void AttachEncoder(sim::kelto::SimKeltoEncoder &encoder, sim::biss::UsbAdapterRig &rig, sim::biss::SimBissSlave &slave);

} // namespace calvista_sim
