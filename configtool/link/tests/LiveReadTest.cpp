// One cycle of the live read at a time: single-cycle data, and in BiSS mode the encoder's error
// byte fetched over the control channel alongside.
#include "LinkRig.h"

#include "LiveRead.h"
#include "MasterSetup.h"
#include "SensorLinkState.h"

namespace {

using link_test::LinkRigTest;

struct Shown {
    bool reading = true;
    int scdPrints = 0;
    std::vector<std::uint16_t> errorBytes;  // selectors
};
Shown g_shown;

class LiveReadTest : public LinkRigTest {
protected:
    void SetUp() override
    {
        LinkRigTest::SetUp();
        g_shown = {};
        LiveReadDisplay display;
        display.readingOn = [] { return g_shown.reading; };
        display.printScdData = [] { ++g_shown.scdPrints; };
        display.printErrorByte = [](std::uint16_t which) { g_shown.errorBytes.push_back(which); };
        SetLiveReadDisplay(display);
        PlugAndConnect();
    }
};

TEST_F(LiveReadTest, WithReadingOffNothingIsRead)
{
    g_shown.reading = false;
    g_link.lastError = 13;
    ClearTrace();
    EXPECT_EQ(0, StartSensorRead());
    EXPECT_EQ(0, g_link.lastError);
    EXPECT_EQ(0u, AdapterRequests());
    EXPECT_EQ(0, g_shown.scdPrints);
}

TEST_F(LiveReadTest, BissCyclesCarryTheErrorByteReadAndShowItWhenDone)
{
    encoder_->SetErrors(0x20);
    const std::uint8_t live = encoder_->LiveErrors();
    ASSERT_NE(0, live);

    // The first cycle starts the control read; its frame is not shown.
    EXPECT_EQ(0, StartSensorRead());
    EXPECT_EQ(1, g_scd.errorReadPending);
    EXPECT_EQ(0, g_shown.scdPrints);

    int cycles = 1;
    while (g_shown.errorBytes.empty() && cycles < 64) {
        ASSERT_EQ(0, StartSensorRead()) << "cycle " << cycles;
        ++cycles;
    }
    ASSERT_EQ((std::vector<std::uint16_t>{26}), g_shown.errorBytes);
    EXPECT_EQ(live, g_scd.errorByte & 0xFF);
    EXPECT_EQ(0, g_scd.errorReadPending);
    EXPECT_EQ(cycles - 1, g_shown.scdPrints) << "every cycle after the first shows its frame";
    EXPECT_NE(0u, g_scd.high[0] | g_scd.low[0]);

    // The cycle after the byte was shown starts the next read and shows no frame.
    const int prints = g_shown.scdPrints;
    EXPECT_EQ(0, StartSensorRead());
    EXPECT_EQ(prints, g_shown.scdPrints);
    EXPECT_EQ(1, g_scd.errorReadPending);
}

TEST_F(LiveReadTest, SsiCyclesShowEveryFrameWithoutControlAccess)
{
    encoder_->SetRam(0x10, 0x01);  // the encoder outputs SSI
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 24;
    ASSERT_EQ(0, ConfigInterface());
    for (int cycle = 1; cycle <= 3; ++cycle) {
        EXPECT_EQ(0, StartSensorRead());
        EXPECT_EQ(cycle, g_shown.scdPrints);
    }
    EXPECT_TRUE(g_shown.errorBytes.empty());
    EXPECT_EQ(0, g_scd.errorReadPending);
}

TEST_F(LiveReadTest, AFailedReadEndsTheCycleWithItsCode)
{
    encoder_->SetLost(true);
    const int code = StartSensorRead();
    EXPECT_NE(0, code);
    EXPECT_EQ(code, g_link.lastError);
    EXPECT_EQ(0, g_scd.errorReadPending);
    EXPECT_EQ(0, g_shown.scdPrints);
}

} // namespace
