// Selecting the USB adapter, identifying the master and writing its parameters,
// against the simulated adapter.
#include <string>

#include "SimulatedAdapter.h"

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

TEST_F(SimulatedAdapterTest, StartUpNeedsAnsweringSlaves)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    EXPECT_EQ(eBISS_FRAME_FAILED, BISS(BISS_InitBissComm)(handle_)) << "nobody on the line";
    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0x43, 0}});
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));
}

} // namespace
