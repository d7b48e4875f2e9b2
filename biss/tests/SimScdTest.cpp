// Single-cycle data through BISS_ReadSCD against the simulated adapter: the
// master's CRC check, the check in software, the split slot and failures.
#include <cstdint>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using sim::biss::TraceKind;

struct Scd {
    BISS_U32 high[8] = {};
    BISS_U32 low[8] = {};
    BISS_U32 mask = 0;
    BISS_U32 done = 0;
    uint64_t Value(int channel) const { return (uint64_t{high[channel]} << 32) | low[channel]; }
};

class ScdTest : public SimulatedAdapterTest {
protected:
    int Read(Scd &scd, BISS_U32 withControl = 0)
    {
        return BISS(BISS_ReadSCD)(handle_, scd.high, scd.low, &scd.mask, withControl, &scd.done);
    }
    void WriteMaster() { ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_)); }
};

constexpr uint64_t kData34 = 0x2'3456'789AULL;

TEST_F(ScdTest, TheMasterChecksA6BitCrcWithStartValue0)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{34, kData34, 0x43, 0}});
    Select();
    ConfigureChannel(0, 40, 0x43);
    WriteMaster();
    Scd scd;
    EXPECT_EQ(0, Read(scd));
    EXPECT_EQ(kData34, scd.Value(0)) << "34 data bits, the CRC stays in the master";
    EXPECT_EQ(1u, scd.mask);

    // A master told that the CRC comes plain finds it wrong: the channel is invalid and reads 0.
    ConfigureChannel(0, 40, 0x43, 0);
    WriteMaster();
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(scd));
    EXPECT_EQ(0u, scd.mask);
    EXPECT_EQ(0u, scd.Value(0));
}

TEST_F(ScdTest, StartValue1DeliversAllBitsAndTheCrcIsCheckedHere)
{
    Plug();
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{34, kData34, 0x43, 1}});
    Select();
    ConfigureChannel(0, 40, 0x43, 1, 1);
    WriteMaster();
    EXPECT_EQ(103, rig_->master.Peek(0xC0)) << "all 40 bits read as data";
    Scd scd;
    EXPECT_EQ(0, Read(scd));
    EXPECT_EQ(kData34, scd.Value(0));
    EXPECT_EQ(1u, scd.mask);

    // The slave's CRC started from 0: the check fails, the data are still handed out.
    slave.SetChannels({{34, kData34, 0x43, 0}});
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(scd));
    EXPECT_EQ(0u, scd.mask);
    EXPECT_EQ(kData34, scd.Value(0));
    EXPECT_EQ(15u, LastCode());
}

TEST_F(ScdTest, ASixteenBitCrcIsAlwaysCheckedHere)
{
    Plug();
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{24, 0xC0FFEE, 0x11021, 0}});
    Select();
    ConfigureChannel(0, 40, 0x11021, 1, 0);
    WriteMaster();
    EXPECT_EQ(0, rig_->master.Peek(0xC1)) << "the master cannot check it";
    Scd scd;
    EXPECT_EQ(0, Read(scd));
    EXPECT_EQ(0xC0FFEEu, scd.Value(0));
    EXPECT_EQ(1u, scd.mask);

    slave.SetChannels({{24, 0xC0FFEE, 0x11021, 0x1D0F}});
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(scd));
    EXPECT_EQ(0xC0FFEEu, scd.Value(0));
}

TEST_F(ScdTest, ASeventyBitChannelDecodesAcrossTheSplitSlot)
{
    Plug();
    constexpr uint64_t kData64 = 0xFEDC'BA98'7654'3210ULL;
    sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
    slave.SetChannels({{64, kData64, 0x43, 1}});
    Select();
    ConfigureChannel(0, 70, 0x43, 1, 1);
    WriteMaster();
    EXPECT_EQ(127, rig_->master.Peek(0xC0));
    EXPECT_EQ(69, rig_->master.Peek(0xC4)) << "the CRC bits go to the split slot";
    Scd scd;
    scd.high[1] = scd.low[1] = 0xDEAD;
    EXPECT_EQ(0, Read(scd));
    EXPECT_EQ(kData64, scd.Value(0));
    EXPECT_EQ(0xDEADu, scd.low[1]) << "the split slot is not handed out";
    EXPECT_EQ(1u, scd.mask & 1);

    slave.SetChannels({{64, kData64, 0x43, 0}});
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(scd));
    EXPECT_EQ(0u, scd.mask & 1);
    EXPECT_EQ(kData64, scd.Value(0));
}

TEST_F(ScdTest, AnInvalidChannelGives15AndTheValidOnesAreStillRead)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{16, 0xABCD, 0x43, 0}, {16, 0x1234, 0x43, 0}});
    Select();
    ConfigureChannel(0, 22, 0x43, 0);  // the master expects the CRC plain: invalid
    ConfigureChannel(1, 22, 0x43, 1);
    WriteMaster();
    Scd scd;
    scd.low[0] = 0x5555;
    EXPECT_EQ(eBISS_FRAME_FAILED, Read(scd));
    EXPECT_EQ(0x08, rig_->master.Peek(0xF1));
    EXPECT_EQ(0x02u, scd.mask);
    EXPECT_EQ(0u, scd.Value(0));
    EXPECT_EQ(0x1234u, scd.Value(1));
}

TEST_F(ScdTest, AHungMasterGives13AfterAStartUp)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{34, kData34, 0x43, 0}});
    Select();
    ConfigureChannel(0, 40, 0x43);
    WriteMaster();
    rig_->master.SetNeverEndsCycle(true);
    rig_->master.Trace().Clear();
    Scd scd;
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Read(scd));
    EXPECT_EQ(13u, LastCode());
    // The frame request, then the start-up's 0x40 to 0xE5 and its step 0x10 to 0xF4.
    bool frameAsked = false, startUp = false, startStep = false;
    for (const auto &event : rig_->master.Trace().Events()) {
        if (event.kind != TraceKind::RegisterWrite)
            continue;
        if (event.address == 0xF4 && event.value == 4)
            frameAsked = true;
        else if (frameAsked && event.address == 0xE5 && event.value == 0x40)
            startUp = true;
        else if (startUp && event.address == 0xF4 && event.value == 0x10)
            startStep = true;
    }
    EXPECT_TRUE(frameAsked);
    EXPECT_TRUE(startStep) << "the start-up ran after the frame";
}

TEST_F(ScdTest, BadCallsGetACode)
{
    Plug();
    Scd scd;
    auto *read = BISS(BISS_ReadSCD);
    EXPECT_EQ(eBISS_NO_INTERFACE, read(handle_, scd.high, scd.low, &scd.mask, 0, nullptr));
    Select();
    EXPECT_EQ(eBISS_FRAME_FAILED, read(handle_, scd.high, scd.low, &scd.mask, 0, nullptr)) << "no channel";
    ConfigureChannel(0, 24, 0x43);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, read(handle_, nullptr, scd.low, &scd.mask, 0, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, read(handle_, scd.high, nullptr, &scd.mask, 0, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, read(handle_, scd.high, scd.low, nullptr, 0, nullptr));
    EXPECT_EQ(eBISS_INVALID_HANDLE, read(0, scd.high, scd.low, &scd.mask, 0, nullptr));
    scd.mask = 0xFF;
    EXPECT_EQ(eBISS_FRAME_FAILED, read(handle_, scd.high, scd.low, &scd.mask, 0, nullptr)) << "nobody answers";
    EXPECT_EQ(0u, scd.mask);
}

} // namespace
