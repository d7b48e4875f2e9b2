// A simulated USB adapter with its master chip and slaves, plugged into the
// simulated driver that ferrolink.dll loads when VANTREL_SIMULATION=1.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "ExportLoader.h"
#include "UsbAdapterRig.h"

namespace ferrolink_test {

// The process's simulated driver, shared with ferrolink.dll.
dravio::sim::ISimController &SimulatedDriver();
// Points the library's waits at the rig's virtual clock (null: the process clock).
void UseClockOf(sim::biss::UsbAdapterRig *rig);

class SimulatedAdapterTest : public ::testing::Test {
protected:
    // Plugs in one adapter (serial number, speed, chip) and opens a handle.
    void Plug(sim::biss::AdapterIdentity identity = {"SN-0042", true},
              const sim::biss::MasterChipProfile &chip = sim::biss::MasterChipProfile::Chip52Rev4());
    // Plugs in an adapter with one slave (an 18-bit channel, CRC polynomial 0x43),
    // selects it and writes channel 0's frame parameters to the master.
    sim::biss::SimBissSlave &PlugOneSlave(
        const sim::biss::MasterChipProfile &chip = sim::biss::MasterChipProfile::Chip52Rev4());
    void TearDown() override;

    BISS_U32 LastCode();

    // Selects the plugged adapter (interface type 5).
    void Select();
    // Frame parameters of one channel: SCD length, CRC polynomial, invert flag, CRC start value.
    void ConfigureChannel(BISS_U32 channel, BISS_U32 length, BISS_U32 poly, BISS_U32 invert = 1, BISS_U32 start = 0);
    void SetComParam(BISS_U32 index, BISS_U32 value);

    std::unique_ptr<sim::biss::UsbAdapterRig> rig_;
    BISS_U32 handle_ = 0;
};

} // namespace ferrolink_test
