// SCD content items and channel labels through the exports.
#include <gtest/gtest.h>

#include <string>

#include "HandleFixtures.h"

namespace {

class ContentExportTest : public ferrolink_test::OpenHandleTest {
protected:
    BISS_U32 ContentCount(BISS_U32 channel)
    {
        BISS_U32 count = 0;
        EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, channel, eBISS_FP_CONTENT_COUNT, &count));
        return count;
    }
};

TEST_F(ContentExportTest, LabelsOfAnItemPastTheListGrowIt)
{
    ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 3, 5, "Position", "deg"));
    EXPECT_EQ(6u, ContentCount(3));

    char label[64] = "junk", unit[64] = "junk";
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, 3, 5, label, unit));
    EXPECT_STREQ("Position", label);
    EXPECT_STREQ("deg", unit);
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, 3, 0, label, unit));
    EXPECT_STREQ("", label);
    // An item past the list gives empty texts, not an error.
    strcpy(label, "junk");
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, 3, 6, label, unit));
    EXPECT_STREQ("", label);
    EXPECT_STREQ("", unit);
}

TEST_F(ContentExportTest, ParamsRoundTripThroughTheRecord)
{
    const BissScdContentParams in = {5, 12, 0, 77};
    ASSERT_EQ(0, BISS(BISS_SetScdContentParams)(handle_, 0, 1, &in));
    EXPECT_EQ(2u, ContentCount(0));
    BissScdContentParams out = {9, 9, 9, 9};
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(handle_, 0, 1, &out));
    EXPECT_EQ(1u, out.ulFlag);
    EXPECT_EQ(12u, out.ulBitLength);
    EXPECT_EQ(4096u, out.ulValue3);
    EXPECT_EQ(77u, out.ulValue4);

    out = {9, 9, 9, 9};
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(handle_, 0, 2, &out)) << "past the list";
    EXPECT_EQ(0u, out.ulFlag + out.ulBitLength + out.ulValue3 + out.ulValue4);

    // The split uses the widths given; the SCD is 0 until a frame was read.
    BISS_U32 values[2] = {5, 5};
    ASSERT_EQ(0, BISS(BISS_GetScdContent)(handle_, 0, values));
    EXPECT_EQ(0u, values[0]);
    EXPECT_EQ(0u, values[1]);
}

TEST_F(ContentExportTest, SlaveLabelsKeepWhatANullLeavesAndCutAtTheComma)
{
    ASSERT_EQ(0, BISS(BISS_SetSlaveLabel)(handle_, 2, "Maker", "Kelto,rev 3", "Maker / Kelto"));
    ASSERT_EQ(0, BISS(BISS_SetSlaveLabel)(handle_, 2, nullptr, nullptr, "complete"));
    char manufacturer[64], slave[64], complete[64];
    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, 2, manufacturer, slave, complete));
    EXPECT_STREQ("Maker", manufacturer);
    EXPECT_STREQ("Kelto", slave);
    EXPECT_STREQ("complete", complete);

    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, 1, manufacturer, slave, complete));
    EXPECT_STREQ("", manufacturer);
}

TEST_F(ContentExportTest, BadArgumentsGiveCodesAndClearOutputs)
{
    BISS_U32 values[4] = {};
    char a[64] = "junk", b[64] = "junk", c[64] = "junk";
    BissScdContentParams params = {1, 1, 1, 1};
    const BissScdContentParams in = {0, 8, 0, 0};

    // A handle that is not open.
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetScdContent)(0, 0, values));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetScdFrameContent)(257, 1, 0, 0, values));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetScdContentLabels)(0, 0, 0, "x", "y"));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetScdContentLabels)(0, 0, 0, a, b));
    EXPECT_STREQ("", a);
    EXPECT_STREQ("", b);
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetScdContentParams)(0, 0, 0, &in));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetScdContentParams)(0, 0, 0, &params));
    EXPECT_EQ(0u, params.ulFlag + params.ulBitLength + params.ulValue3 + params.ulValue4);
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SetSlaveLabel)(0, 0, "x", "y", "z"));
    strcpy(c, "junk");
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_GetSlaveLabel)(0, 0, a, b, c));
    EXPECT_STREQ("", c);

    // Channels, items and pointers.
    const struct {
        const char *what;
        int code;
    } cases[] = {
        {"content of channel 8", BISS(BISS_GetScdContent)(handle_, 8, values)},
        {"content into null", BISS(BISS_GetScdContent)(handle_, 0, nullptr)},
        {"frame content before a stream", BISS(BISS_GetScdFrameContent)(handle_, 1, 0, 0, values)},
        {"frame content of item 0x10000", BISS(BISS_GetScdFrameContent)(handle_, 1, 0, 0x10000, values)},
        {"labels of channel 8", BISS(BISS_SetScdContentLabels)(handle_, 8, 0, "x", "y")},
        {"labels of item 0x10000", BISS(BISS_SetScdContentLabels)(handle_, 0, 0x10000, "x", "y")},
        {"null label", BISS(BISS_SetScdContentLabels)(handle_, 0, 0, nullptr, "y")},
        {"null unit", BISS(BISS_SetScdContentLabels)(handle_, 0, 0, "x", nullptr)},
        {"labels into null", BISS(BISS_GetScdContentLabels)(handle_, 0, 0, nullptr, b)},
        {"get labels of item 0x10000", BISS(BISS_GetScdContentLabels)(handle_, 0, 0x10000, a, b)},
        {"params of channel 8", BISS(BISS_SetScdContentParams)(handle_, 8, 0, &in)},
        {"params of item 0x10000", BISS(BISS_SetScdContentParams)(handle_, 0, 0x10000, &in)},
        {"params from null", BISS(BISS_SetScdContentParams)(handle_, 0, 0, nullptr)},
        {"params into null", BISS(BISS_GetScdContentParams)(handle_, 0, 0, nullptr)},
        {"get params of channel 9", BISS(BISS_GetScdContentParams)(handle_, 9, 0, &params)},
        {"slave label of channel 8", BISS(BISS_SetSlaveLabel)(handle_, 8, "x", "y", "z")},
        {"slave labels into null", BISS(BISS_GetSlaveLabel)(handle_, 0, a, nullptr, c)},
        {"get slave label of channel 8", BISS(BISS_GetSlaveLabel)(handle_, 8, a, b, c)},
        {"content count above the item limit", BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CONTENT_COUNT, 0x10001)},
    };
    for (const auto &x : cases)
        EXPECT_NE(0, x.code) << x.what;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetScdContent)(handle_, 8, values));
    EXPECT_EQ(5u, LastCode());
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CONTENT_COUNT, 0x10001));
    EXPECT_EQ(7u, LastCode());
    EXPECT_EQ(0u, ContentCount(0)) << "no refused call grew a list";
}

} // namespace
