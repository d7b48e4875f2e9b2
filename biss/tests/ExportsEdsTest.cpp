// The electronic data sheet image through the exports, without a slave: image
// bytes, parameters as bit fields of them, and the bank checksums.
#include "HandleFixtures.h"

namespace {

class EdsImageTest : public ferrolink_test::OpenHandleTest {
protected:
    BISS_U32 Byte(BISS_U32 index)
    {
        BISS_U32 value = 0xDEAD;
        EXPECT_EQ(0, BISS(BISS_GetEdsRegister)(handle_, index, &value));
        return value;
    }
    BISS_U32 Param(BISS_U32 number)
    {
        BISS_U32 value = 0xDEAD;
        EXPECT_EQ(0, BISS(BISS_GetEdsParam)(handle_, number, &value));
        return value;
    }
    int SetParam(BISS_U32 number, BISS_U32 value) { return BISS(BISS_SetEdsParam)(handle_, number, value); }
    // EDS bank 5 and version 1 let the checksums follow every change.
    void UseBank5()
    {
        ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_EDS_BANK, 5));
        ASSERT_EQ(0, SetParam(1, 1));
    }
};

TEST_F(EdsImageTest, ImageBytesAndTheirLimits)
{
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_SetEdsRegister)(handle_, 256, 1));
    EXPECT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 255, 0x17));
    EXPECT_EQ(0x17u, Byte(255));
    BISS_U32 value = 9;
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_GetEdsRegister)(handle_, 256, &value));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetEdsRegister)(handle_, 0, nullptr));
    value = 9;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetEdsParam)(handle_, 97, &value));
    EXPECT_EQ(0u, value);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, SetParam(97, 0));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetEdsParam)(0, 0, 0));
}

TEST_F(EdsImageTest, ParameterFieldsSitWhereTheTableSays)
{
    UseBank5();
    EXPECT_EQ(0, SetParam(14, 0x1234));
    EXPECT_EQ(0x12u, Byte(14)) << "most significant byte first";
    EXPECT_EQ(0x34u, Byte(15));
    EXPECT_EQ((1u + 0x12 + 0x34) & 0xFF, Byte(63)) << "bank 0's checksum follows";
    EXPECT_EQ(0x1234u, Param(14));

    EXPECT_EQ(0, SetParam(20, 1));
    EXPECT_EQ(0x08u, Byte(22)) << "parameter 20 is bit 3 of byte 22 alone";
    EXPECT_EQ(0, SetParam(22, 1));
    EXPECT_EQ(0x09u, Byte(22));
    EXPECT_EQ(eBISS_VALUE_RANGE, SetParam(20, 2));
    EXPECT_EQ(eBISS_VALUE_RANGE, SetParam(14, 0x10000));
    EXPECT_EQ(0x09u, Byte(22));
}

TEST_F(EdsImageTest, TheSecondPartNeedsABankBeyondTheFirst)
{
    UseBank5();
    EXPECT_EQ(0, SetParam(18, 5));
    BISS_U32 value = 0;
    EXPECT_EQ(eBISS_EDS_INVALID, BISS(BISS_GetEdsParam)(handle_, 81, &value)) << "bank 5 is not above bank 5";
    EXPECT_EQ(eBISS_EDS_INVALID, SetParam(67, 1));
    EXPECT_EQ(0, SetParam(18, 255));
    EXPECT_EQ(eBISS_EDS_INVALID, BISS(BISS_GetEdsParam)(handle_, 67, &value));

    EXPECT_EQ(0, SetParam(18, 6));
    const BISS_U32 bytes[] = {0x12, 0x34, 0x56, 0x78};
    for (BISS_U32 i = 0; i < 4; ++i)
        ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 80 + i, bytes[i]));
    EXPECT_EQ(0x12345678u, Param(81)) << "image bytes 80-83, byte 80 most significant";
    EXPECT_EQ(0, SetParam(68, 1));
    EXPECT_EQ(0, SetParam(96, 0xBEEF));
    EXPECT_EQ(0xBEu, Byte(64 + 56));
    EXPECT_EQ(0xEFu, Byte(64 + 57));
    EXPECT_EQ((0x12u + 0x34 + 0x56 + 0x78 + 1 + 0xBE + 0xEF) & 0xFF, Byte(127)) << "bank 1's checksum follows";
}

TEST_F(EdsImageTest, ChecksumsWaitForAUsableBank)
{
    ASSERT_EQ(0, SetParam(1, 1));
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 63, 0x44));
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 3, 0x10));
    EXPECT_EQ(0x44u, Byte(63)) << "EDS bank 0: nothing is updated";
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_EDS_BANK, 255));
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 3, 0x11));
    EXPECT_EQ(0x44u, Byte(63));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_EDS_BANK, 5));
    ASSERT_EQ(0, SetParam(1, 5));
    EXPECT_EQ(0x44u, Byte(63)) << "version 5 is not one the library knows";
    ASSERT_EQ(0, SetParam(1, 4));
    EXPECT_EQ((4u + 0x11) & 0xFF, Byte(63));
}

} // namespace
