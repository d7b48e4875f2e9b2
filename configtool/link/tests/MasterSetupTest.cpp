// Bringing the link up through ferrolink and the simulated adapter: opening and selecting the
// adapter, the master configuration for each protocol, the two start-up attempts and closing.
#include "LinkRig.h"

#include <string>

#include "LinkVersions.h"
#include "MasterSetup.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"

namespace {

using link_test::LinkRigTest;
using link_test::Services;

TEST_F(LinkRigTest, ConfigInterfaceOpensSelectsConfiguresAndStartsTheLink)
{
    Plug();
    EXPECT_EQ(0, ConfigInterface());
    EXPECT_NE(0u, g_link.handle);
    EXPECT_EQ(1, g_link.connected);
    EXPECT_EQ(1, g_link.communicationReady);
    EXPECT_EQ(0, g_link.lastError);
    // Two start-up attempts, each followed by a second's pause that keeps processing events.
    EXPECT_EQ((std::vector<double>{1.0, 1.0}), Services().delays);
    EXPECT_GE(Services().eventRounds, 2);

    BISS_U32 type = 0;
    EXPECT_EQ(0, BISS_GetInterface(g_link.handle, &type));
    EXPECT_EQ(BISS_U32{eBISS_IF_DRAVIO_A}, type);
    EXPECT_EQ(0u, ComParam(eBISS_CP_CTRL_SLAVE));
    EXPECT_EQ(0u, ComParam(eBISS_CP_PROTOCOL));
    EXPECT_EQ(1u, ComParam(eBISS_CP_CLKENI));
    EXPECT_EQ(1u, ComParam(eBISS_CP_FREQ_SCD));
    EXPECT_EQ(8u, ComParam(eBISS_CP_FREQ_REG));
    EXPECT_EQ(124u, ComParam(eBISS_CP_FREQ_AGS));
    EXPECT_EQ(40u, FrameParam(eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(0u, FrameParam(eBISS_FP_CRC_POLY));
    EXPECT_EQ(0u, FrameParam(eBISS_FP_CRC_INVERT));
}

TEST_F(LinkRigTest, AConnectedLinkIsOnlyReconfigured)
{
    PlugAndConnect();
    const BISS_U32 handle = g_link.handle;
    Services().delays.clear();

    g_link.frameLength = 54;
    g_link.scdClockDivider = 3;
    EXPECT_EQ(0, ConfigInterface());
    EXPECT_EQ(handle, g_link.handle);
    EXPECT_TRUE(Services().delays.empty()) << "no start-up on a connected link";
    EXPECT_EQ(54u, FrameParam(eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(3u, ComParam(eBISS_CP_FREQ_SCD));
}

// A full-speed adapter makes the interface selection answer 18; it is open and usable.
TEST_F(LinkRigTest, AFullSpeedAdapterConnects)
{
    Plug({"KELTO-FS01", false});
    EXPECT_EQ(0, ConnectInterface(&g_link.handle, g_link.interfaceType, g_link.scdClockDivider));
    EXPECT_EQ(0, g_link.lastError);
    BISS_U32 recorded = 0;
    BISS_U32 level = 0;
    char text[BISS_ERROR_TEXT_SIZE] = {};
    EXPECT_EQ(0, BISS_GetLastError(g_link.handle, &recorded, &level, text));
    EXPECT_EQ(BISS_U32{eBISS_USB_NOT_HIGH_SPEED}, recorded) << "what the selection answered";
    EXPECT_EQ(0, ConfigInterface());
    EXPECT_EQ(1, g_link.connected);
    EXPECT_EQ(0, OperateSlaveRegByAddress(196, 0, 2));
    EXPECT_EQ(std::uint32_t{'H'}, MailboxResult());
}

TEST_F(LinkRigTest, AFailedStartUpKeepsTheHandleAndTheNextAttemptReusesIt)
{
    Plug();
    encoder_->SetLost(true);
    rig_->line.SetStuckLow(true);
    const int code = ConfigInterface();
    EXPECT_NE(0, code);
    EXPECT_EQ(code, g_link.lastError);
    EXPECT_EQ(0, g_link.connected);
    EXPECT_EQ(0, g_link.communicationReady);
    const BISS_U32 handle = g_link.handle;
    EXPECT_NE(0u, handle);

    encoder_->SetLost(false);
    rig_->line.SetStuckLow(false);
    EXPECT_EQ(0, ConfigInterface());
    EXPECT_EQ(handle, g_link.handle);
    EXPECT_EQ(1, g_link.connected);
}

struct ProtocolRow {
    const char *name;
    std::int32_t protocol;
    std::uint8_t ssiFrameType;
    std::uint8_t switched;
    std::int32_t savedProtocol;
    BISS_U32 masterProtocol;  // what the master holds afterwards
    BISS_U32 masterLength;
    std::int32_t savedAfter;
};

class ProtocolTest : public LinkRigTest, public ::testing::WithParamInterface<ProtocolRow> {};

// The frame length of the link is 25; before each case the master holds BiSS with 40 bits.
TEST_P(ProtocolTest, ConfigInterfaceWritesTheProtocolAndFrameLength)
{
    const ProtocolRow &row = GetParam();
    PlugAndConnect();
    g_link.frameLength = 25;
    g_link.protocol = row.protocol;
    g_link.ssiFrameType = row.ssiFrameType;
    g_link.switchedToBiss = row.switched;
    g_link.savedProtocol = row.savedProtocol;
    EXPECT_EQ(0, ConfigInterface());
    EXPECT_EQ(row.masterProtocol, ComParam(eBISS_CP_PROTOCOL));
    EXPECT_EQ(row.masterLength, FrameParam(eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(row.savedAfter, g_link.savedProtocol);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProtocolTest,
    ::testing::Values(ProtocolRow{"Biss", 0, 0, 0, 0, 0, 25, 0},
                      ProtocolRow{"SsiType0", 2, 0, 0, 0, 2, 25, 0},
                      ProtocolRow{"SsiType1", 2, 1, 0, 0, 2, 33, 0},
                      ProtocolRow{"SsiType2", 2, 2, 0, 0, 2, 41, 0},
                      ProtocolRow{"SsiType3", 2, 3, 0, 0, 2, 41, 0},
                      ProtocolRow{"SsiUnknownTypeLeavesTheMaster", 2, 4, 0, 0, 0, 40, 0},
                      ProtocolRow{"OtherProtocolLeavesTheMaster", 1, 0, 0, 0, 0, 40, 0},
                      // Switched: the master gets the previous configuration's protocol.
                      ProtocolRow{"SwitchedTakesTheSavedProtocol", 0, 1, 1, 2, 2, 25, 0},
                      ProtocolRow{"SwitchedBackToSsi", 2, 0, 1, 0, 0, 25, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(LinkRigTest, CloseInterfaceClosesOnce)
{
    PlugAndConnect();
    EXPECT_EQ(0, CloseInterface(&g_link.handle));
    EXPECT_EQ(0u, g_link.handle);
    g_link.lastError = 13;
    EXPECT_EQ(0, CloseInterface(&g_link.handle));
    EXPECT_EQ(0, g_link.lastError);
}

TEST_F(LinkRigTest, VersionsOfTheLibraryAndTheMasterChip)
{
    PlugAndConnect();
    g_link.lastError = 7;
    EXPECT_DOUBLE_EQ(6.4, GetDLLVersion());
    EXPECT_EQ(7, g_link.lastError);

    char text[kMasterVersionTextSize] = {};
    EXPECT_EQ(0, GetMasterVersion(text));
    EXPECT_STREQ("BiSS-Master V82-R4", text);

    const BISS_U32 handle = g_link.handle;
    g_link.handle = 0;
    char untouched[kMasterVersionTextSize] = "unchanged";
    EXPECT_EQ(eBISS_INVALID_HANDLE, GetMasterVersion(untouched));
    EXPECT_EQ(eBISS_INVALID_HANDLE, g_link.lastError);
    EXPECT_STREQ("unchanged", untouched);
    g_link.handle = handle;
}

} // namespace
