// Slave registers through the master's own transfer, the FTDI adapter's road
// on master chip 0x84, at the class level (the register exports are not built
// on it yet): a master object on the stand-in ftd2xx.dll.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "BissMaster.h"
#include "MasterChipRig.h"
#include "ProcessClock.h"
#include "StandIns.h"
#include "ferrolink.h"

namespace {

using ferrolink_test::SimulatedFtdi;
using sim::ftdi::D2xxCall;
using Values = std::vector<BISS_U32>;

// The library's waits run on the rig's clock, which goes on as they watch it.
sim::chipbus::MasterChipRig *g_clockRig = nullptr;

uint32_t RigClockMs()
{
    g_clockRig->clock.Advance(20);
    return g_clockRig->clock.NowMilliseconds();
}

class FtdiSlaveRamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimulatedFtdi().Reset();
        rig_ = std::make_unique<sim::chipbus::MasterChipRig>(sim::biss::MasterChipProfile::Chip84());
        g_clockRig = rig_.get();
        ferrolink::InstallClock(&RigClockMs);
        slave_ = &rig_->line.AddSlave();
        slave_->SetChannels({{24, 0x123456, 0x43, 0}});
        SimulatedFtdi().AddDevice("Zeptor A", rig_.get());
        ASSERT_EQ(0, master_.SetInterface(eBISS_IF_FTDI, ""));
        ASSERT_EQ(0, master_.SetComParam(eBISS_CP_FREQ_AGS_REG, 60));
    }

    void TearDown() override
    {
        master_.SetInterface(eBISS_IF_NONE, "");
        SimulatedFtdi().Reset();
        ferrolink::InstallClock(nullptr);
        g_clockRig = nullptr;
    }

    std::unique_ptr<sim::chipbus::MasterChipRig> rig_;
    sim::biss::SimBissSlave *slave_ = nullptr;
    ferrolink::BissMasterClass master_;
};

TEST_F(FtdiSlaveRamTest, BytesTravelThroughTheMastersRam)
{
    const Values written = {0x11, 0x22, 0x33};
    BISS_U32 count = 3;
    EXPECT_EQ(0, master_.WriteSlaveRam(0, 0x50, &count, written.data()));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0x22, slave_->Registers().Read(0x51));
    EXPECT_EQ(0xD0, rig_->master.Peek(0xE2)) << "bit 7 asks for a write";
    EXPECT_EQ(0xC0, rig_->master.Peek(0xE5));
    EXPECT_EQ(60, rig_->master.Peek(0xE8)) << "the register divider stays";

    Values read(3, 0xEEEE);
    count = 3;
    EXPECT_EQ(0, master_.ReadSlaveRam(0, 0x50, &count, read.data()));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(written, read);
    EXPECT_EQ(0x50, rig_->master.Peek(0xE2));
}

TEST_F(FtdiSlaveRamTest, ARefusedAccessGivesARejectionAndTheBytesThatCame)
{
    slave_->Registers().SetReadProtected(0x52, true);
    Values read(3, 0);
    BISS_U32 count = 3;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, master_.ReadSlaveRam(0, 0x50, &count, read.data()));
    EXPECT_LE(count, 3u);
    BISS_U32 none = 2;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, master_.ReadSlaveRam(3, 0x50, &none, read.data())) << "no such slave";
    EXPECT_EQ(0u, none);
}

TEST_F(FtdiSlaveRamTest, AFailedAdapterTransferEndsTheAccess)
{
    // The transfer's own status read fails.
    SimulatedFtdi().FailCalls(D2xxCall::Read, 0, 1);
    Values read(2, 0);
    BISS_U32 count = 2;
    EXPECT_EQ(eBISS_USB_CONNECTION, master_.ReadSlaveRam(0, 0x50, &count, read.data()));
    EXPECT_EQ(0u, count);
}

TEST_F(FtdiSlaveRamTest, AMasterThatNeverTakesTheTransferTimesOut)
{
    rig_->master.SetIgnoresInstructions(true);
    BISS_U32 count = 1;
    BISS_U32 value = 0;
    const uint32_t before = rig_->clock.NowMilliseconds();
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, master_.ReadSlaveRam(0, 0x50, &count, &value));
    EXPECT_GE(rig_->clock.NowMilliseconds() - before, 1000u);
}

} // namespace
