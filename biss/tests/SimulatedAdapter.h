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

class SimulatedAdapterTest : public ::testing::Test {
protected:
    // Plugs in one adapter (serial number, speed, chip) and opens a handle.
    void Plug(sim::biss::AdapterIdentity identity = {"SN-0042", true},
              const sim::biss::MasterChipProfile &chip = sim::biss::MasterChipProfile::Chip52Rev4());
    void TearDown() override;

    BISS_U32 LastCode();

    std::unique_ptr<sim::biss::UsbAdapterRig> rig_;
    BISS_U32 handle_ = 0;
};

} // namespace ferrolink_test
