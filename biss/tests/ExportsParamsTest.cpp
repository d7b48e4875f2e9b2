// Parameters and the register image through the exports.
#include <gtest/gtest.h>

#include "HandleFixtures.h"

namespace {

class ParamsExportTest : public ferrolink_test::OpenHandleTest {
protected:
};

TEST_F(ParamsExportTest, SetGetAndRefusals)
{
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_FREQ_AGS, &value));
    EXPECT_EQ(124u, value);
    EXPECT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_AGS, 50));
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_FREQ_AGS, &value));
    EXPECT_EQ(50u, value);

    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetComParam)(handle_, eBISS_CP_CHANNEL_LIMIT, 3));
    EXPECT_EQ(5u, LastCode());
    value = 9;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetComParam)(handle_, 21, &value));
    EXPECT_EQ(0u, value);

    EXPECT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 7, eBISS_FP_SCD_LENGTH, 32));
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_CHANNEL_COUNT, &value));
    EXPECT_EQ(8u, value);
    EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, 7, eBISS_FP_SCD_LENGTH, &value));
    EXPECT_EQ(32u, value);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetFrameParam)(handle_, 8, eBISS_FP_SCD_LENGTH, 32));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_ID_COUNT, 1));
    value = 9;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetFrameParam)(handle_, 0xFFFFFFFF, 0, &value));
    EXPECT_EQ(0u, value);
}

TEST_F(ParamsExportTest, MasterRegisterImageWithoutAChip)
{
    BISS_U32 value = 0;
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_SCD, 7));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_REG, 3));
    EXPECT_EQ(0, BISS(BISS_GetMasterRegister)(handle_, 0xE6, &value));
    EXPECT_EQ(3u * 32 + 7, value);
    EXPECT_EQ(0, BISS(BISS_GetMasterRegister)(handle_, 0xE8, &value));
    EXPECT_EQ(124u, value);
    EXPECT_EQ(0, BISS(BISS_GetMasterRegister)(handle_, 0xC0, &value));
    EXPECT_EQ(0u, value) << "no chip identified: no channel registers";
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_GetMasterRegister)(handle_, 256, &value));
    EXPECT_EQ(0u, value);
}

} // namespace
