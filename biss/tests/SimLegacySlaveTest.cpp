// The older names for slave registers and single-cycle data against a slave
// on the simulated adapter: one byte per element, the access mode taken from
// frame parameter 4 of the slave's channel, the older code set.
#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;

class LegacySlaveTest : public SimulatedAdapterTest {};

TEST_F(LegacySlaveTest, BytesGoBothWaysOneByteAnElement)
{
    sim::biss::SimBissSlave &slave = PlugOneSlave();
    for (uint8_t i = 0; i < 3; ++i)
        slave.Registers().Write(static_cast<uint8_t>(0x10 + i), static_cast<uint8_t>(0xA1 + 0x11 * i));
    unsigned char bytes[4] = {0, 0, 0, 0xEE};
    BISS_U32 count = 3;
    EXPECT_EQ(0, BISS(ReadSlaveRegister)(handle_, 0, 0, 0x10, &count, bytes));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(0xA1, bytes[0]);
    EXPECT_EQ(0xB2, bytes[1]);
    EXPECT_EQ(0xC3, bytes[2]);
    EXPECT_EQ(0xEE, bytes[3]) << "nothing behind the count";

    const unsigned char written[2] = {0x5A, 0xA5};
    count = 2;
    EXPECT_EQ(0, BISS(WriteSlaveRegister)(handle_, 0, 0, 0x20, &count, written, 0));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0x5A, slave.Registers().Read(0x20));
    EXPECT_EQ(0xA5, slave.Registers().Read(0x21));
}

TEST_F(LegacySlaveTest, FrameParameter4OfTheSlavesChannelChoosesTheAccess)
{
    PlugOneSlave();
    unsigned char bytes[70] = {};
    BISS_U32 count = 70;
    EXPECT_EQ(0, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, bytes)) << "mode 0 moves it in pieces";
    EXPECT_EQ(70u, count);
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, 4, 1));
    count = 70;
    EXPECT_EQ(12, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, bytes)) << "mode 1 stops at 64 bytes";
    EXPECT_EQ(16u, LastCode());
    count = 70;
    EXPECT_EQ(12, BISS(WriteSlaveRegister)(handle_, 0, 0, 0, &count, bytes, 0));
}

TEST_F(LegacySlaveTest, ReadSensReadsTheConfiguredChannels)
{
    PlugOneSlave();
    BISS_U32 high[8] = {}, low[8] = {};
    EXPECT_EQ(0, BISS(ReadSens)(handle_, high, low));
    EXPECT_EQ(0x2ABCDu, low[0]);
    EXPECT_EQ(0u, high[0]);
    ConfigureChannel(0, 24, 0x43, 0);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(11, BISS(ReadSens)(handle_, high, low)) << "a CRC the master finds wrong: 15 becomes 11";
}

} // namespace
