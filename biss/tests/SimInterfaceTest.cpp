// Selecting the USB adapter, identifying the master and writing its parameters,
// against the simulated adapter.
#include <string>

#include "SimulatedAdapter.h"
#include "sim/dravio/DriverProtocol.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using sim::biss::AdapterIdentity;
using sim::biss::MasterChipProfile;

TEST_F(SimulatedAdapterTest, SelectionOpensIdentifiesAndVerifiesTheMaster)
{
    Plug();
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    BISS_U32 type = 0, value = 0;
    EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(5u, type);
    char info[128] = {};
    EXPECT_EQ(0, BISS(BISS_GetInterfaceInfo)(handle_, 0, info));
    EXPECT_STREQ("SN-0042", info);
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_MASTER_ID, &value));
    EXPECT_EQ(0x52u, value);
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_CHANNEL_LIMIT, &value));
    EXPECT_EQ(8u, value);
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_MAX_REGCNT, &value));
    EXPECT_EQ(64u, value);
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_NONE, ""));
    EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(0u, type);
}

struct ChipRow {
    const char *name;
    MasterChipProfile (*profile)();
    BISS_U32 id, revision, channels, registers;
};

class ChipIdentificationTest : public SimulatedAdapterTest, public ::testing::WithParamInterface<ChipRow> {};

TEST_P(ChipIdentificationTest, EachChipReportsItsLimits)
{
    const ChipRow &row = GetParam();
    Plug({"SN-7", true}, row.profile());
    const int selected = BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, "");
    EXPECT_EQ(0, selected);
    BISS_U32 value = 0;
    const BISS_U32 expected[] = {row.id, row.revision, row.channels, row.registers};
    const BISS_U32 indices[] = {eBISS_CP_MASTER_ID, eBISS_CP_MASTER_REVISION, eBISS_CP_CHANNEL_LIMIT,
                                eBISS_CP_MAX_REGCNT};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, indices[i], &value));
        EXPECT_EQ(expected[i], value) << "com parameter " << indices[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Chips, ChipIdentificationTest,
                         ::testing::Values(ChipRow{"Chip52", &MasterChipProfile::Chip52Rev4, 0x52, 4, 8, 64},
                                           ChipRow{"Chip83", &MasterChipProfile::Chip83Legacy, 0x83, 0, 3, 32},
                                           ChipRow{"Chip84", &MasterChipProfile::Chip84, 0x84, 0, 8, 32},
                                           ChipRow{"Chip48Rev3", &MasterChipProfile::Chip48Rev3, 0x48, 3, 6, 64},
                                           ChipRow{"Chip48Rev2", &MasterChipProfile::Chip48Rev2, 0x48, 2, 0, 64}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(SimulatedAdapterTest, RegisterArgumentsBeyondAByteAreRefusedNotCut)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    rig_->master.Trace().Clear();
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_WriteMasterRegister)(handle_, 0x1F4, 4));
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x104));
    BISS_U32 value = 0;
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_ReadMasterRegister)(handle_, 0x100, &value));
    EXPECT_TRUE(rig_->master.Trace().Select(sim::biss::TraceKind::RegisterWrite).empty());
}

TEST_F(SimulatedAdapterTest, OnlyAnAdapterWhoseSerialNumberEndsWithTheNameIsTaken)
{
    Plug({"BOX-17", true});
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, "18"));
    EXPECT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, "X-17"));
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_B, ""))
        << "the adapter offers only the first device-interface class";
}

TEST_F(SimulatedAdapterTest, AFullSpeedAdapterIsUsableWithAWarning)
{
    Plug({"SN-1", false});
    EXPECT_EQ(eBISS_USB_NOT_HIGH_SPEED, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    BISS_U32 type = 0, value = 0;
    EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(5u, type);
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0x5Au, value);
}

TEST_F(SimulatedAdapterTest, AMasterThatDoesNotHoldTheComplementFailsVerificationButStaysSelected)
{
    Plug();
    rig_->master.SetRegisterHolds(0xE2, false);
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    BISS_U32 type = 0;
    EXPECT_EQ(eBISS_NO_CONNECTION, BISS(BISS_GetInterface)(handle_, &type));
    EXPECT_EQ(5u, type);
}

TEST_F(SimulatedAdapterTest, MasterParametersReachTheChipRegisterByRegister)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 40));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_SCD, 9));
    EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(0x61, rig_->master.Peek(0xC0));
    EXPECT_EQ(0x21, rig_->master.Peek(0xC1));
    EXPECT_EQ(2 * 32 + 9, rig_->master.Peek(0xE6));
    EXPECT_EQ(0x55, rig_->master.Peek(0xED));
    EXPECT_EQ(1, rig_->master.Peek(0xE5)) << "chip 0x52 rev 4 behind the USB adapter";

    rig_->master.SetRegisterHolds(0xE6, false);
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_SCD, 10));
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(12u, LastCode());
}

TEST_F(SimulatedAdapterTest, AChannelWhoseDataBitsTheMasterCannotHoldIsRefusedBeforeAnyWrite)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    // 80 bits with a 6-bit CRC the master checks: 74 data bits, more than its 64.
    ConfigureChannel(0, 80, 0x43, 0, 0);
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_SCD, 9));
    rig_->master.Trace().Clear();
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(7u, LastCode());
    EXPECT_EQ(0u, rig_->master.Peek(0xE6)) << "nothing was written";
    EXPECT_EQ(0u, rig_->master.Peek(0xC0));
    BISS_U32 value = 99;
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_GetMasterRegister)(handle_, 0xC0, &value));

    // Within the split rule the same length is written.
    ConfigureChannel(0, 70, 0x43, 0, 1);
    EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(127u, rig_->master.Peek(0xC0));
    EXPECT_EQ(69u, rig_->master.Peek(0xC4));
    EXPECT_EQ(0, BISS(BISS_GetMasterRegister)(handle_, 0xC0, &value));
    EXPECT_EQ(127u, value);
}

// An adapter that answers every read with a response to some other request.
struct StrayAnswers {
    static uint32_t OnRequest(void *, dravio::sim::ISimController &, uint32_t, uint8_t, const uint8_t *, uint32_t)
    {
        return 0;  // taken, never answered
    }
    static uint32_t OnRead(void *context, dravio::sim::ISimController &sim, uint32_t device, uint8_t endpoint)
    {
        auto &self = *static_cast<StrayAnswers *>(context);
        // Each stray costs a millisecond of virtual time; past a bound the adapter goes quiet.
        if (++self.sent > 5000)
            return dravio::sim::wire::status::kTimeout;
        self.rig->clock.Advance(1000);
        const uint8_t stray[] = {0, 0, 0, 0, 0, 0x78, 0x00, 0x00};
        sim.Deliver(device, endpoint, stray, sizeof stray);
        return 0;
    }
    sim::biss::UsbAdapterRig *rig;
    uint32_t sent = 0;
};

TEST_F(SimulatedAdapterTest, AnAdapterThatOnlySendsStrayAnswersEndsTheAccessAtItsTimeOut)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    StrayAnswers strays{rig_.get()};
    dravio::sim::ISimController &driver = ferrolink_test::SimulatedDriver();
    const uint32_t device = rig_->link.DeviceNumber();
    ASSERT_EQ(0u, driver.SetWriteHandler(device, 0x02, &StrayAnswers::OnRequest, &strays));
    ASSERT_EQ(0u, driver.SetReadHandler(device, 0x81, &StrayAnswers::OnRead, &strays));

    BISS_U32 value = 0;
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_LE(strays.sent, 110u) << "the strays were read for the request's 100 ms, not until they stopped";
    EXPECT_GE(strays.sent, 100u);
    strays.sent = 0;
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 1));
    EXPECT_LE(strays.sent, 110u);
    driver.SetWriteHandler(device, 0x02, nullptr, nullptr);
    driver.SetReadHandler(device, 0x81, nullptr, nullptr);
}

TEST_F(SimulatedAdapterTest, StartUpRunsFifteenStepsAndNeedsAnsweringSlaves)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 24));
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, BISS(BISS_InitBissComm)(handle_)) << "nobody on the line: the start-up waits in vain";
    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0x43, 0}});
    rig_->master.Trace().Clear();
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(15u, rig_->master.Trace().Frames(sim::biss::FrameKind::StartUp).size());
    BISS_U32 length = 0;
    EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, &length));
    EXPECT_EQ(24u, length);
}

TEST_F(SimulatedAdapterTest, AMasterThatNeverEndsACycleTimesOutInVirtualTime)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0x43, 0}});
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    rig_->master.SetNeverEndsCycle(true);
    const DWORD begin = GetTickCount();
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(13u, LastCode());
    EXPECT_GE(rig_->clock.NowMilliseconds(), 1000u);
    (void)begin;
}

} // namespace

namespace {

using ferrolink_test::SimulatedAdapterTest;

TEST_F(SimulatedAdapterTest, OlderWriteMasterMergesUnderItsMask)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    ASSERT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0xA5));
    EXPECT_EQ(0, BISS(WriteMaster)(handle_, 0xE2, 0x3C, 0x0F));
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(ReadMaster)(handle_, 0xE2, &value));
    EXPECT_EQ(0xACu, value);
}

} // namespace
