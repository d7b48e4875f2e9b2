// The FTDI adapter and the parallel port, simulated: the stand-in DLLs
// (StandIns.h) with one master chip and its line behind them, the same chip
// model as behind the USB adapter. ferrolink.dll's waits run on the rig's
// virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ExportLoader.h"
#include "MasterChipRig.h"
#include "StandIns.h"

namespace ferrolink_test {

class DirectAdapterTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new rig with this chip; call before wiring anything to it.
    void UseChip(const sim::biss::MasterChipProfile &chip);
    // An FTDI adapter channel with the rig's chip behind it.
    void AddFtdiDevice(const char *description = "Zeptor A");
    // A parallel port at base with the rig's chip in the given wiring.
    void ConnectPort(uint32_t base, uint32_t wiring);

    std::vector<std::string> FtdiLog();
    std::vector<std::string> PortLog();
    BISS_U32 LastCode();
    BISS_U32 ComParam(BISS_U32 index);
    // A slave with one channel: 24 data bits and a 6-bit CRC (polynomial 0x43), sent inverted.
    sim::biss::SimBissSlave &AddEncoder(uint64_t position = 0x123456);
    // The frame parameters of that slave's channel, written to the master.
    void ConfigureEncoderChannel();

    std::unique_ptr<sim::chipbus::MasterChipRig> rig_;
    BISS_U32 handle_ = 0;
};

} // namespace ferrolink_test
