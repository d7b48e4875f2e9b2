// The split of SCD values and stored frames into content items, at the class
// level: the values are set here as the frame cycle and the streaming leave them.
#include <gtest/gtest.h>

#include <vector>

#include "BissMaster.h"
#include "ferrolink.h"

using ferrolink::BissMasterClass;
using ferrolink::BitValueClass;

namespace {

// Channel items of the given widths, labelled by index.
void Describe(BissMasterClass &master, uint32_t channel, const std::vector<uint32_t> &widths)
{
    for (uint32_t k = 0; k < widths.size(); ++k)
        ASSERT_EQ(0, master.SetScdContentParams(channel, k, 0, widths[k], 0, 0));
}

TEST(ScdContentSplit, ItemsAreCutFromTheTopOfTheSplitWidth)
{
    BissMasterClass master;
    Describe(master, 1, {16, 1, 7});
    master.SetScdValue(1, BitValueClass(0, 0xABCDE5));  // 1010101111001101 1 1100101
    BISS_U32 values[3] = {9, 9, 9};
    ASSERT_EQ(0, master.GetScdContent(1, values));
    EXPECT_EQ(0xABCDu, values[0]);
    EXPECT_EQ(1u, values[1]);
    EXPECT_EQ(0x65u, values[2]);

    // A skipped item reads 0 and still takes its bits.
    ferrolink::ScdContentClass item = master.GetScdContentItem(1, 1, ferrolink::BissParamClass::kUserTable);
    item.skip = 1;
    master.SetScdContentItem(1, 1, item, ferrolink::BissParamClass::kUserTable);
    ASSERT_EQ(0, master.GetScdContent(1, values));
    EXPECT_EQ(0xABCDu, values[0]);
    EXPECT_EQ(0u, values[1]);
    EXPECT_EQ(0x65u, values[2]);
}

TEST(ScdContentSplit, WideItemsAndWidthsBeyond64Bits)
{
    BissMasterClass master;
    // 40 + 24 bits fill the 64-bit value; items report their low 32 bits.
    Describe(master, 0, {40, 24});
    master.SetScdValue(0, BitValueClass(0x12345678, 0x9ABCDEF0));
    BISS_U32 values[3] = {};
    ASSERT_EQ(0, master.GetScdContent(0, values));
    EXPECT_EQ(0x3456789Au, values[0]);
    EXPECT_EQ(0xBCDEF0u, values[1]);

    // A split wider than the value, or absurdly wide, is refused.
    Describe(master, 2, {8, 64});
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdContent(2, values));
    Describe(master, 3, {0xFFFFFFFF, 4});
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdContent(3, values));
}

TEST(ScdContentSplit, StoredFramesGiveOneValuePerFrame)
{
    BissMasterClass master;
    Describe(master, 4, {12, 4, 8});
    BISS_U32 values[3] = {7, 7, 7};
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(0, 4, 0, values)) << "before any stream";

    master.ResizeStoredFrames(3);
    master.StoreFrameValue(0, 4, BitValueClass(0, 0x123456));
    master.StoreFrameValue(1, 4, BitValueClass(0, 0xABCDEF));
    master.StoreFrameValue(2, 4, BitValueClass(0, 0xFFF0FF));
    ASSERT_EQ(0, master.GetScdFrameContent(3, 4, 0, values));
    EXPECT_EQ((std::vector<BISS_U32>{0x123, 0xABC, 0xFFF}), std::vector<BISS_U32>(values, values + 3));
    ASSERT_EQ(0, master.GetScdFrameContent(3, 4, 1, values));
    EXPECT_EQ((std::vector<BISS_U32>{0x4, 0xD, 0x0}), std::vector<BISS_U32>(values, values + 3));
    ASSERT_EQ(0, master.GetScdFrameContent(3, 4, 2, values));
    EXPECT_EQ((std::vector<BISS_U32>{0x56, 0xEF, 0xFF}), std::vector<BISS_U32>(values, values + 3));

    // The count must be the stored one; an item past the list is refused and leaves the values alone.
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(2, 4, 0, values));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(4, 4, 0, values));
    BISS_U32 untouched[3] = {7, 7, 7};
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 4, 3, untouched));
    EXPECT_EQ(7u, untouched[0]);
    // Items wider than a stored value together cannot be split.
    Describe(master, 5, {40, 25});
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 5, 1, untouched));
    Describe(master, 6, {0xFFFFFFFF, 0xFFFFFFFF, 4});
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 6, 2, untouched));
    EXPECT_EQ(7u, untouched[0]);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 4, 0x10000, untouched));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 8, 0, untouched));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetScdFrameContent(3, 4, 0, nullptr));
}

TEST(ScdContentSplit, ContentParamsKeepTheFlagAsOneAndReportTheRangeWithoutAScale)
{
    BissMasterClass master;
    BissScdContentParams params{};
    ASSERT_EQ(0, master.SetScdContentParams(0, 0, 7, 12, 0, 99));
    ASSERT_EQ(0, master.GetScdContentParams(0, 0, &params));
    EXPECT_EQ(1u, params.ulFlag);
    EXPECT_EQ(12u, params.ulBitLength);
    EXPECT_EQ(4096u, params.ulValue3);
    EXPECT_EQ(99u, params.ulValue4);

    const struct { uint32_t bits, scale, reported; } cases[] = {
        {0, 0, 0}, {1, 0, 2}, {31, 0, 0x80000000u}, {32, 0, 0xFFFFFFFFu}, {200, 0, 0xFFFFFFFFu}, {12, 5, 5},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(0, master.SetScdContentParams(0, 1, 0, c.bits, c.scale, 0));
        ASSERT_EQ(0, master.GetScdContentParams(0, 1, &params));
        EXPECT_EQ(c.reported, params.ulValue3) << c.bits << " bits, scale " << c.scale;
    }
}

} // namespace
