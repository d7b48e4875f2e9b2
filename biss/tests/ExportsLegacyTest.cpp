// The older exported names and their older code set.
#include "HandleFixtures.h"

namespace {

using ferrolink_test::OpenHandleTest;

class LegacyExportTest : public OpenHandleTest {
protected:
    BISS_U32 Frame(BISS_U32 channel, BISS_U32 index)
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, channel, index, &value));
        return value;
    }
    BISS_U32 Protocol()
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_PROTOCOL, &value));
        return value;
    }
};

TEST_F(LegacyExportTest, OpenInterfaceKeepsTheHandleWhenTheSelectionFails)
{
    BISS_U32 handle = 0;
    EXPECT_EQ(2, BISS(OpenInterface)(8, "", 0, 0, &handle));
    EXPECT_NE(0u, handle);
    EXPECT_EQ(0, BISS(CloseInterface)(handle));
    EXPECT_EQ(1, BISS(CloseInterface)(handle));
}

TEST_F(LegacyExportTest, ConfigurationItemsReachParametersAndTheChannelTable)
{
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 1, eBISS_FP_CRC_POLY, 0x43));
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 1, 3, 24));
    EXPECT_EQ(30u, Frame(1, eBISS_FP_SCD_LENGTH)) << "24 data bits and a 6-bit CRC";
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 1, 4, 0x40));
    EXPECT_EQ(29u, Frame(1, eBISS_FP_SCD_LENGTH)) << "0x40 gives 5 CRC bits";

    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 0, 10, 1));
    EXPECT_EQ(2u, Protocol());
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 0, 11, 1));
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 0, 10, 0));
    EXPECT_EQ(0u, Protocol());
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 0, 11, 0));
    EXPECT_EQ(1u, Protocol());

    BISS_U32 value = 77;
    EXPECT_EQ(0, BISS(GetMasterConfig)(handle_, 1, 3, &value));
    EXPECT_EQ(24u, value);
    EXPECT_EQ(0, BISS(GetMasterConfig)(handle_, 2, 12, &value));
    EXPECT_EQ(1u, value) << "frame parameter 4 is 0";
    value = 77;
    EXPECT_EQ(0, BISS(GetMasterConfig)(handle_, 0, 7, &value));
    EXPECT_EQ(77u, value) << "an item without meaning leaves the value alone";
    EXPECT_EQ(0, BISS(SetMasterConfig)(handle_, 0, 22, 99));
    EXPECT_EQ(0, BISS(GetMasterConfig)(handle_, 0, 22, &value));
    EXPECT_EQ(99u, value);

    EXPECT_EQ(7, BISS(SetMasterConfig)(handle_, 8, 0, 1));
    EXPECT_EQ(5u, LastCode());
    EXPECT_EQ(1, BISS(SetMasterConfig)(0, 0, 0, 1));
    EXPECT_EQ(1, BISS(GetMasterConfig)(257, 0, 0, &value));
    EXPECT_EQ(7, BISS(GetMasterConfig)(handle_, 0, 0, nullptr));
}

TEST_F(LegacyExportTest, WrappersTranslateTheirCodes)
{
    BISS_U32 version[2] = {};
    EXPECT_EQ(0, BISS(GetBissinterfaceLibraryVersion)(version));
    EXPECT_EQ(6u, version[1]);
    BISS_U32 value = 0;
    EXPECT_EQ(2, BISS(ReadMaster)(handle_, 0xF0, &value)) << "no interface: 4 becomes 2";
    EXPECT_EQ(2, BISS(WriteMaster)(handle_, 0xF4, 0x80, 0xFFFFFFFF));
    EXPECT_EQ(2, BISS(WriteMaster)(handle_, 0xF4, 0x80, 0x0F));
    EXPECT_EQ(2, BISS(InitBissComm)(handle_));
    EXPECT_EQ(BISS(BISS_SendCommand)(handle_, 0x02, 0x00) == eBISS_NO_INTERFACE ? 2 : 12,
              BISS(SendBissCommand)(handle_, 0x102, 0x100))
        << "the older name passes the low bytes and translates the code";
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(ReadMasterConfig)(handle_)) << "the library's own code";
    EXPECT_EQ(1, BISS(ReadMasterConfig)(0));
    unsigned char id = 9, revision = 9;
    EXPECT_EQ(0, BISS(GetBissMasterVersion)(handle_, &id, &revision));
    EXPECT_EQ(0, id);
    EXPECT_EQ(1, BISS(GetBissMasterVersion)(0, &id, &revision));
    EXPECT_EQ(0, BISS(GetMasterRegister)(handle_, 0xE8, &value));
    EXPECT_EQ(124u, value);
    EXPECT_EQ(3, BISS(SetBissInterface)(handle_, eBISS_IF_FTDI, "")) << "no ftd2xx.dll: 2 becomes 3";
    EXPECT_EQ(0, BISS(GetBissInterface)(handle_, &value));
}

TEST_F(LegacyExportTest, SlaveRegisterWrappersRefuseBadCountsAndArraysWithCodes)
{
    unsigned char bytes[4] = {1, 2, 3, 4};
    BISS_U32 count = 1;
    EXPECT_EQ(1, BISS(ReadSlaveRegister)(0, 0, 0, 0, &count, bytes));
    EXPECT_EQ(1, BISS(WriteSlaveRegister)(257, 0, 0, 0, &count, bytes, 0));
    EXPECT_EQ(1, BISS(ReadSens)(0, nullptr, nullptr));

    // A count no access can move is refused before anything is made for it.
    count = 0xFFFFFFFF;
    EXPECT_EQ(12, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, bytes));
    EXPECT_EQ(16u, LastCode());
    count = 129;
    EXPECT_EQ(12, BISS(WriteSlaveRegister)(handle_, 0, 0, 0, &count, bytes, 0));
    EXPECT_EQ(16u, LastCode());
    count = 0;
    EXPECT_EQ(12, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, bytes)) << "the export's own refusal of 0";

    count = 1;
    EXPECT_EQ(7, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, nullptr));
    EXPECT_EQ(7, BISS(WriteSlaveRegister)(handle_, 0, 0, 0, nullptr, bytes, 0));
    EXPECT_EQ(5u, LastCode());
    count = 1;
    EXPECT_EQ(2, BISS(ReadSlaveRegister)(handle_, 0, 0, 0, &count, bytes)) << "no interface: 4 becomes 2";
    EXPECT_EQ(1, bytes[0]) << "nothing arrived";
    BISS_U32 high[8] = {}, low[8] = {};
    EXPECT_EQ(7, BISS(ReadSens)(handle_, nullptr, low));
    EXPECT_NE(0, BISS(ReadSens)(handle_, high, low));
}

} // namespace
