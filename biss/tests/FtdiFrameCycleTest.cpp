// The FTDI adapter's frame cycle at the class level (the frame cycle's
// exports are not built on it yet): a master object on the stand-in
// ftd2xx.dll, its FTDI back end driven directly.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BissMaster.h"
#include "MasterChipRig.h"
#include "StandIns.h"
#include "ferrolink.h"

namespace {

using ferrolink_test::FtdiLogLines;
using ferrolink_test::SimulatedFtdi;
using sim::ftdi::D2xxCall;
using Lines = std::vector<std::string>;

size_t Occurrences(const std::string &text, const std::string &part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The status polls of a frame cycle's write: every read of 0xF0 but the one after 0xF4.
size_t StatusPolls(const std::string &write)
{
    return Occurrences(write, "35 02 00 03 F0 00") - 1;
}

class FtdiFrameCycleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SimulatedFtdi().Reset();
        rig_ = std::make_unique<sim::chipbus::MasterChipRig>();
        rig_->line.AddSlave().SetChannels({{24, 0x123456, 0x43, 0}});
        SimulatedFtdi().AddDevice("Zeptor A", rig_.get());
        ASSERT_EQ(0, master_.SetInterface(eBISS_IF_FTDI, ""));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 30));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_CRC_POLY, 0x43));
        ASSERT_EQ(0, master_.SetFrameParam(0, eBISS_FP_CRC_INVERT, 1));  // the slave sends the complement
        ASSERT_EQ(0, master_.WriteMasterParams(false));
        SimulatedFtdi().ClearLog();
    }

    void TearDown() override
    {
        master_.SetInterface(eBISS_IF_NONE, "");
        SimulatedFtdi().Reset();
    }

    int Cycle(uint8_t instruction, uint32_t freqScd = 4, uint32_t channels = 1, uint32_t ssiWrite = 0)
    {
        scd_.fill(0xCC);
        return master_.Ftdi().FrameCycle(scd_.data(), &validMask_, channels, freqScd, instruction, ssiWrite, 0,
                                         &controlBit_, 0x52);
    }

    std::unique_ptr<sim::chipbus::MasterChipRig> rig_;
    ferrolink::BissMasterClass master_;
    std::array<uint8_t, 64> scd_{};
    uint32_t validMask_ = 0;
    uint32_t controlBit_ = 0;
};

TEST_F(FtdiFrameCycleTest, OpeningLeavesThePinAndTimeOutSettings)
{
    const uint32_t expected[][2] = {{2, 0x18}, {3, 0x1B}, {4, 0}, {5, 0x0A}, {6, 0}, {7, 0}, {8, 1000}};
    for (const auto &row : expected) {
        uint32_t value = 99;
        EXPECT_EQ(0, master_.Ftdi().GetSetting(row[0], &value));
        EXPECT_EQ(row[1], value) << "setting " << row[0];
    }
    uint32_t value = 0;
    EXPECT_EQ(eBISS_ADDRESS_RANGE, master_.Ftdi().GetSetting(9, &value));
    EXPECT_EQ(eBISS_ADDRESS_RANGE, master_.Ftdi().SetSetting(9, 1));
}

TEST_F(FtdiFrameCycleTest, AWholeCycleIsOneWriteAndOneRead)
{
    EXPECT_EQ(0, Cycle(4));
    const Lines log = FtdiLogLines();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(0u, log[0].find("write 80 10 1B 11 02 00 02 F4 04 80 18 1B ")) << "the instruction comes first";
    EXPECT_EQ(16u, StatusPolls(log[0]));
    EXPECT_EQ(1u, Occurrences(log[0], "03 F4 00"));
    EXPECT_EQ(1u, Occurrences(log[0], "03 F3 00"));
    EXPECT_EQ(1u, Occurrences(log[0], "03 07 00")) << "eight SCD registers of channel 0";
    EXPECT_EQ(0u, Occurrences(log[0], "03 08 00"));
    EXPECT_EQ(0u, log[1].find("read " + std::to_string(3 * (16 + 3 + 8)) + " = "));
    EXPECT_EQ("queue = 0", log[2]);
    EXPECT_EQ(0xFFu, validMask_);
    EXPECT_EQ((std::vector<uint8_t>{0x56, 0x34, 0x12}), std::vector<uint8_t>(scd_.begin(), scd_.begin() + 3));
    EXPECT_EQ(1u, rig_->master.Trace().Frames(sim::biss::FrameKind::Single).size());
}

TEST_F(FtdiFrameCycleTest, TheStatusPollsFollowTheScdClock)
{
    const struct {
        uint32_t freqScd;
        size_t polls;
    } rows[] = {{4, 16}, {0x14, 160}, {0, 4}};
    for (const auto &row : rows) {
        SimulatedFtdi().ClearLog();
        master_.Ftdi().ResetQueues();
        EXPECT_EQ(0, Cycle(4, row.freqScd)) << row.freqScd;
        EXPECT_EQ(row.polls, StatusPolls(FtdiLogLines().at(0))) << row.freqScd;
    }
}

TEST_F(FtdiFrameCycleTest, RepeatedInstructionsResendTheirKeptSequence)
{
    ASSERT_EQ(0, Cycle(4));
    ASSERT_EQ(0, Cycle(2));
    ASSERT_EQ(0, Cycle(4));
    const Lines log = FtdiLogLines();
    ASSERT_EQ(9u, log.size());
    EXPECT_EQ(log[0], log[6]) << "instruction 4 sent again unchanged";
    EXPECT_NE(log[0], log[3]);
    EXPECT_EQ(0u, log[3].find("write 80 10 1B 11 02 00 02 F4 02 "));
    // A sequence for more channels is built anew, not the kept one sent.
    SimulatedFtdi().ClearLog();
    EXPECT_EQ(0, Cycle(4, 4, 2));
    EXPECT_EQ(1u, Occurrences(FtdiLogLines().at(0), "03 0F 00"));
}

TEST_F(FtdiFrameCycleTest, TransferFailuresGiveATransferError)
{
    SimulatedFtdi().FailCalls(D2xxCall::Write, 0, 1);
    EXPECT_EQ(eBISS_USB_CONNECTION, Cycle(4));
    SimulatedFtdi().AddStrayBytes(1);
    EXPECT_EQ(eBISS_USB_CONNECTION, Cycle(4));
    EXPECT_EQ(0u, SimulatedFtdi().WaitingBytes()) << "the receive buffer is purged";
    SimulatedFtdi().FailCalls(D2xxCall::Read, 0, 1);
    EXPECT_EQ(eBISS_USB_CONNECTION, Cycle(4));
    // The answers left by the failed read are found and purged; then all is well again.
    EXPECT_EQ(eBISS_USB_CONNECTION, Cycle(4));
    EXPECT_EQ(0, Cycle(4));
}

TEST_F(FtdiFrameCycleTest, AMasterStillBusyAfterThePollsOrWithoutAnswerGivesATimeOut)
{
    rig_->master.SetCompletionDelay(100);
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Cycle(4));
    rig_->master.SetCompletionDelay(1);
    master_.WriteMasterRegister(0xF4, 0x80);
    rig_->line.SetStuckLow(true);
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Cycle(4));
}

TEST_F(FtdiFrameCycleTest, AChannelWithABadCrcGivesAFrameErrorWithItsValidBits)
{
    rig_->line.Slave(0).SetChannels({{24, 0x123456, 0x43, 1}});
    EXPECT_EQ(eBISS_FRAME_FAILED, Cycle(4));
    EXPECT_EQ(0u, validMask_);
    const Lines log = FtdiLogLines();
    ASSERT_EQ(9u, log.size()) << "the cycle, then single reads of 0xF1 and 0xF2";
    EXPECT_NE(std::string::npos, log[3].find("03 F1 00"));
    EXPECT_NE(std::string::npos, log[6].find("03 F2 00"));
}

TEST_F(FtdiFrameCycleTest, AnSsiWriteOnlyPulsesTheClock)
{
    EXPECT_EQ(0, Cycle(4, 4, 1, 1));
    const Lines log = FtdiLogLines();
    ASSERT_EQ(2u, log.size());
    EXPECT_EQ(2u, Occurrences(log[0], "02 F5 30"));
    EXPECT_EQ("write 80 10 1B 11 02 00 02 F5 30 80 18 1B", log[1]);
    EXPECT_EQ(2u, rig_->TestClockPulses());
    EXPECT_TRUE(rig_->master.Trace().Frames(sim::biss::FrameKind::Single).empty());
}

} // namespace
