// A one-byte register access carried bit by bit by successive BISS_ReadSCD
// calls, against the simulated slave; the frames' control bits are compared
// with the control channel's bit sequence.
#include <vector>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using sim::biss::FrameKind;

class ControlChannelTest : public SimulatedAdapterTest {
protected:
    // Starts the access, then carries it on until done; returns the first non-zero code.
    int Carry(BISS_U32 slave, BISS_U32 address, BISS_U32 write, BISS_U32 data, int *calls)
    {
        SetComParam(eBISS_CP_CTRL_SLAVE, slave);
        SetComParam(eBISS_CP_CTRL_ADDRESS, address);
        SetComParam(eBISS_CP_CTRL_WRITE, write);
        SetComParam(eBISS_CP_CTRL_DATA, data);
        auto *read = BISS(BISS_ReadSCD);
        BISS_U32 high[1], low[1], mask = 0, done = 0;
        int result = read(handle_, high, low, &mask, 1, &done);
        EXPECT_EQ(0u, done);
        for (*calls = 1; result == 0 && !done && *calls < 1000; ++*calls) {
            result = read(handle_, high, low, &mask, 0, &done);
            EXPECT_EQ(0x2ABCDu, low[0]) << "every call still reads the SCD";
        }
        return result;
    }

    BISS_U32 ControlData()
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_CTRL_DATA, &value));
        return value;
    }
};

TEST_F(ControlChannelTest, AOneByteReadSendsTheDocumentedBits)
{
    PlugOneSlave().Registers().Write(0x48, 0xA5);
    rig_->master.Trace().Clear();
    int calls = 0;
    EXPECT_EQ(0, Carry(0, 0x48, 0, 0, &calls));
    EXPECT_EQ(0xA5u, ControlData());
    EXPECT_EQ(34, calls) << "frames 0 to 33";

    // Start, CTS, slave id 000, address 1001000, the inverted CRC of the 11 request
    // bits; R, W, S; then zeros while the slave answers.
    std::vector<bool> cdm = {1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1};
    cdm.resize(34, false);
    EXPECT_EQ(cdm, rig_->master.Trace().CdmBits());
    // The slave echoes R and W, gives its start bit, 0xA5 and the inverted CRC of 0xA5.
    std::vector<bool> cds(34, false);
    const std::vector<bool> answer = {1, 0, 1, 1, 0, 1, 0, 0, 1, 0, 1, 0, 1, 0, 0};
    std::copy(answer.begin(), answer.end(), cds.begin() + 17);
    EXPECT_EQ(cds, rig_->master.Trace().CdsBits());
    const auto frames = rig_->master.Trace().Frames(FrameKind::Single);
    ASSERT_EQ(34u, frames.size());
    EXPECT_EQ(6, frames[19].instruction) << "frame 19 asks for the start bit";
}

struct DelayRow {
    unsigned delay;
    BISS_U32 disableTimeout;
    int result;
};

class StartBitDelayTest : public ControlChannelTest, public ::testing::WithParamInterface<DelayRow> {};

TEST_P(StartBitDelayTest, Frame19IsRepeatedUntilTheStartBitComes)
{
    const DelayRow &row = GetParam();
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.Registers().Write(0x10, 0x3C);
    slave.SetStartBitDelay(row.delay);
    SetComParam(eBISS_CP_DISABLE_TIMEOUT, row.disableTimeout);
    SetComParam(eBISS_CP_CTRL_DATA, 0x77);
    int calls = 0;
    EXPECT_EQ(row.result, Carry(0, 0x10, 0, 0x77, &calls));
    EXPECT_EQ(row.result == 0 ? 0x3Cu : 0u, ControlData());
    if (row.result == 0) {
        EXPECT_EQ(34 + static_cast<int>(row.delay), calls);
    }
}

INSTANTIATE_TEST_SUITE_P(Delays, StartBitDelayTest,
                         ::testing::Values(DelayRow{4, 0, 0}, DelayRow{100, 0, 0},
                                           DelayRow{101, 0, eBISS_REGISTER_REJECTED}, DelayRow{150, 1, 0}));

TEST_F(ControlChannelTest, AWriteOfZeroSendsInstruction6ThenZeros)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.Registers().Write(0x21, 0xFF);
    rig_->master.Trace().Clear();
    int calls = 0;
    EXPECT_EQ(0, Carry(0, 0x21, 1, 0x00, &calls));
    EXPECT_EQ(46, calls) << "frames 0 to 45";
    EXPECT_EQ(0x00, slave.Registers().Read(0x21));
    const auto frames = rig_->master.Trace().Frames(FrameKind::Single);
    ASSERT_EQ(46u, frames.size());
    EXPECT_EQ(6, frames[19].instruction);
    for (size_t k = 20; k <= 26; ++k)
        EXPECT_EQ(4, frames[k].instruction) << "frame " << k;
}

TEST_F(ControlChannelTest, AWrittenByteIsKeptWhenTheSlaveDelaysItsStartBit)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.SetStartBitDelay(3);
    int calls = 0;
    EXPECT_EQ(0, Carry(0, 0x22, 1, 0xB6, &calls));
    EXPECT_EQ(0xB6, slave.Registers().Read(0x22)) << "a repeated frame 19 sends bit 7 again";
}

TEST_F(ControlChannelTest, FailuresEndTheAccess)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    slave.Registers().Write(0x05, 0x99);
    slave.SetCorruptsAnswerCrc(true);
    int calls = 0;
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Carry(0, 0x05, 0, 0x55, &calls)) << "a bad CRC while carrying a read";
    EXPECT_EQ(0u, ControlData());
    slave.SetCorruptsAnswerCrc(false);

    // No slave 3 on the line: nothing echoes R in frame 17.
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Carry(3, 0x05, 0, 0, &calls));
    // The access is over: plain reads follow and report nothing done.
    BISS_U32 high[1], low[1], mask = 0, done = 1;
    EXPECT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(0u, done);
}

} // namespace
