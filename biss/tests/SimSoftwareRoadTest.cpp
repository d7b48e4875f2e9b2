// The roads of the parallel port and the FTDI adapter - control frames run in
// software, the frame cycle through single master registers, the master RAM
// transfers of chip 0x84 - driven on a master object in this process with the
// simulated USB adapter underneath: the adapter carries every frame and
// register access those roads make.
#include <array>
#include <cstring>
#include <vector>

#include "BissMaster.h"
#include "SimulatedAdapter.h"

namespace {

using ferrolink::BissMasterClass;
using ferrolink_test::SimulatedDriver;
using ferrolink_test::UseClockOf;
using sim::biss::FrameKind;

class SoftwareRoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        rig_ = std::make_unique<sim::biss::UsbAdapterRig>(SimulatedDriver(), sim::biss::MasterChipProfile::Chip52Rev4(),
                                                          sim::biss::AdapterIdentity{"SN-77", true});
        UseClockOf(rig_.get());
        slave_ = &rig_->line.AddSlave();
        slave_->SetChannels({{18, 0x2ABCD, 0x43, 0}});
        ASSERT_EQ(0, master_.SetInterface(eBISS_IF_DRAVIO_A, ""));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 24));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_CRC_POLY, 0x43));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 1));
        ASSERT_EQ(0, master_.WriteMasterParams(false));
        rig_->master.Trace().Clear();
    }
    void TearDown() override
    {
        master_.SetInterface(eBISS_IF_NONE, "");
        UseClockOf(nullptr);
        rig_.reset();
    }
    std::vector<sim::biss::TraceEvent> Frames() { return rig_->master.Trace().Frames(FrameKind::Single); }

    std::unique_ptr<sim::biss::UsbAdapterRig> rig_;
    sim::biss::SimBissSlave *slave_ = nullptr;
    BissMasterClass master_;
};

TEST_F(SoftwareRoadTest, ATwoByteReadContinuesAtFrame18)
{
    slave_->Registers().Write(0x20, 0x11);
    slave_->Registers().Write(0x21, 0x22);
    BISS_U32 data[2] = {};
    BISS_U32 count = 2;
    EXPECT_EQ(0, master_.ReadSlaveBySoftwareFrames(0, 0x20, &count, data));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0x11u, data[0]);
    EXPECT_EQ(0x22u, data[1]);
    // One frame to settle the line, frames 0-31 of the first byte, 18-33 of the second.
    const auto frames = Frames();
    ASSERT_EQ(1u + 32u + 16u, frames.size());
    EXPECT_EQ(4, frames[0].instruction);
    EXPECT_EQ(6, frames[1 + 19].instruction);
    EXPECT_EQ(2, frames[1 + 32].instruction) << "frame 18 of the second byte: S";
    EXPECT_EQ(6, frames[1 + 33].instruction) << "frame 19 of the second byte";
}

TEST_F(SoftwareRoadTest, ABadDataCrcGives24AndFourteenFramesToSettle)
{
    slave_->Registers().Write(0x05, 0x99);
    slave_->SetCorruptsAnswerCrc(true);
    BISS_U32 data[1] = {};
    BISS_U32 count = 1;
    EXPECT_EQ(eBISS_REGISTER_COMM_FAILED, master_.ReadSlaveBySoftwareFrames(0, 0x05, &count, data));
    EXPECT_EQ(0u, count);
    EXPECT_EQ(1u + 32u + 14u, Frames().size()) << "the failure shows after frame 31";
}

TEST_F(SoftwareRoadTest, AByteThatNeverComesEndsAThreeByteReadWithTheFirstByte)
{
    slave_->Registers().Write(0x30, 0x5C);
    slave_->Registers().SetReadProtected(0x31, true);
    BISS_U32 data[3] = {};
    BISS_U32 count = 3;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, master_.ReadSlaveBySoftwareFrames(0, 0x30, &count, data));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(0x5Cu, data[0]);
}

TEST_F(SoftwareRoadTest, WritesOfOneTwoAndThreeBytesReachTheSlave)
{
    const BISS_U32 bytes[3] = {0x81, 0x00, 0xFF};
    for (BISS_U32 n = 1; n <= 3; ++n) {
        const uint8_t address = static_cast<uint8_t>(0x10 * n);
        BISS_U32 count = n;
        EXPECT_EQ(0, master_.WriteSlaveBySoftwareFrames(0, address, &count, bytes)) << n << " bytes";
        EXPECT_EQ(n, count);
        for (BISS_U32 i = 0; i < n; ++i)
            EXPECT_EQ(bytes[i], slave_->Registers().Read(static_cast<uint8_t>(address + i))) << n << " bytes";
        BISS_U32 back[3] = {};
        count = n;
        EXPECT_EQ(0, master_.ReadSlaveBySoftwareFrames(0, address, &count, back));
        EXPECT_EQ(0, std::memcmp(bytes, back, n * sizeof(BISS_U32)));
    }
}

TEST_F(SoftwareRoadTest, ARefusedSecondByteGives14AndCountsTheFirst)
{
    slave_->Registers().SetWriteProtected(0x12, true);
    const BISS_U32 bytes[2] = {0x44, 0x55};
    BISS_U32 count = 2;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, master_.WriteSlaveBySoftwareFrames(0, 0x11, &count, bytes));
    EXPECT_EQ(1u, count) << "the first byte went in";
    EXPECT_EQ(0x44, slave_->Registers().Read(0x11));
}

TEST_F(SoftwareRoadTest, TheFrameCycleThroughRegistersDeliversTheData)
{
    std::array<uint8_t, 64> buffer{};
    BISS_U32 mask = 0, bit = 7;
    bool delivered = false;
    EXPECT_EQ(0, master_.RunFrameCycleThroughRegisters(1, buffer.data(), &mask, 4, &bit, &delivered));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(0xFFu, mask);
    EXPECT_EQ(0u, bit);
    EXPECT_EQ(0xCD, buffer[0]);
    EXPECT_EQ(0xAB, buffer[1]);
    EXPECT_EQ(0x02, buffer[2]);

    // The master finds the CRC bad: 15, and the channel's pair in 0xF1 says so.
    ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 0));
    ASSERT_EQ(0, master_.WriteMasterParams(false));
    EXPECT_EQ(eBISS_FRAME_FAILED, master_.RunFrameCycleThroughRegisters(1, buffer.data(), &mask, 4, &bit, &delivered));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(0u, mask);

    // Nobody answers: 13 after a start-up.
    rig_->line.SetStuckLow(true);
    rig_->master.Trace().Clear();
    EXPECT_EQ(eBISS_BISS_COMM_FAILED,
              master_.RunFrameCycleThroughRegisters(1, buffer.data(), &mask, 4, &bit, &delivered));
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(rig_->master.Trace().Frames(FrameKind::StartUp).empty());
}

TEST_F(SoftwareRoadTest, TheMasterRamTransfersMoveBytesAndCountARejection)
{
    const BISS_U32 bytes[3] = {0x0A, 0x0B, 0x0C};
    BISS_U32 count = 3;
    EXPECT_EQ(0, master_.WriteSlaveRam(0, 0x08, &count, bytes));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0x0B, slave_->Registers().Read(0x09));
    BISS_U32 back[3] = {};
    count = 3;
    EXPECT_EQ(0, master_.ReadSlaveRam(0, 0x08, &count, back));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0x0Cu, back[2]);

    slave_->Registers().SetReadProtected(0x09, true);
    count = 3;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, master_.ReadSlaveRam(0, 0x08, &count, back));
    EXPECT_EQ(1u, count);
}

} // namespace
