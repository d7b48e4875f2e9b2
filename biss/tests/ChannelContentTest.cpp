// Content lists and labels of both descriptions, at the class level.
#include <gtest/gtest.h>

#include "BissMaster.h"
#include "ferrolink.h"

using ferrolink::BissMasterClass;
using ferrolink::BissParamClass;
using ferrolink::ScdContentClass;

namespace {

constexpr auto kUser = BissParamClass::kUserTable;
constexpr auto kDetected = BissParamClass::kDetectedTable;

ScdContentClass Item(const char *label, uint32_t bits)
{
    return ScdContentClass{label, 0, 0, bits, 3, 4, "u"};
}

TEST(ChannelContent, DetectedSlaveLabelIsJoinedFromItsParts)
{
    BissMasterClass master;
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "C", 2, kDetected);
    EXPECT_EQ("C", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));
    // Parts 0 and 1 exist (empty) and are filled in any order.
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "B", 1, kDetected);
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "A", 0, kDetected);
    EXPECT_EQ("ABC", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "Z", 0, kDetected);
    EXPECT_EQ("ZBC", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));

    // Clearing the parts keeps the label until the next part is set.
    master.ClearSlaveLabelParts(1);
    EXPECT_EQ("ZBC", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "N", 0, kDetected);
    EXPECT_EQ("N", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));

    // The user table takes whole texts; the part position means nothing there.
    master.SetChannelLabel(1, BissMasterClass::kSlaveLabel, "user", 3, kUser);
    EXPECT_EQ("user", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kUser));
    EXPECT_EQ("N", master.GetChannelLabel(1, BissMasterClass::kSlaveLabel, kDetected));
    master.SetChannelLabel(1, BissMasterClass::kManufacturerLabel, "maker", 0, kDetected);
    EXPECT_EQ("maker", master.GetChannelLabel(1, BissMasterClass::kManufacturerLabel, kDetected));
    EXPECT_EQ("", master.GetChannelLabel(1, BissMasterClass::kManufacturerLabel, kUser));
}

TEST(ChannelContent, LabelsOutsideTheChannelsAndKindsAreEmptyAndIgnored)
{
    BissMasterClass master;
    master.SetChannelLabel(8, BissMasterClass::kCompleteLabel, "x", 0, kUser);
    master.SetChannelLabel(0, 3, "x", 0, kUser);
    master.SetChannelLabel(1000, BissMasterClass::kSlaveLabel, "x", 0, kDetected);
    EXPECT_EQ("", master.GetChannelLabel(8, BissMasterClass::kCompleteLabel, kUser));
    EXPECT_EQ("", master.GetChannelLabel(0, 3, kUser));
    for (uint32_t channel = 0; channel < 8; ++channel)
        for (uint32_t kind = 0; kind < 3; ++kind)
            EXPECT_EQ("", master.GetChannelLabel(channel, kind, kUser)) << channel << "/" << kind;
}

TEST(ChannelContent, GrowingTheUserListInsertsDefaultItemsBehindTheCount)
{
    BissMasterClass master;
    master.ResizeScdContent(2, 4, kUser);
    EXPECT_EQ(4u, master.ContentCount(2, kUser));
    const char *labels[] = {"a", "b", "c", "d"};
    for (uint32_t k = 0; k < 4; ++k)
        ASSERT_TRUE(master.SetScdContentItem(2, k, Item(labels[k], k + 1), kUser));

    master.ResizeScdContent(2, 2, kUser);
    EXPECT_EQ(2u, master.ContentCount(2, kUser));
    master.ResizeScdContent(2, 4, kUser);
    EXPECT_EQ("a", master.GetScdContentItem(2, 0, kUser).label);
    EXPECT_EQ("b", master.GetScdContentItem(2, 1, kUser).label);
    for (uint32_t k : {2u, 3u}) {
        const ScdContentClass item = master.GetScdContentItem(2, k, kUser);
        EXPECT_EQ("", item.label) << k;
        EXPECT_EQ(0u, item.bitLength) << k;
        EXPECT_EQ(0u, item.value3) << k;
    }

    // The frame parameter is the same count.
    uint32_t count = 0;
    ASSERT_EQ(0, master.GetFrameParam(2, eBISS_FP_CONTENT_COUNT, &count));
    EXPECT_EQ(4u, count);
    ASSERT_EQ(0, master.SetFrameParam(2, eBISS_FP_CONTENT_COUNT, 1));
    EXPECT_EQ(1u, master.ContentCount(2, kUser));
    EXPECT_EQ("a", master.GetScdContentItem(2, 0, kUser).label);

    master.ClearScdContent(2, kUser);
    EXPECT_EQ(0u, master.ContentCount(2, kUser));
    EXPECT_FALSE(master.SetScdContentItem(2, 0, Item("x", 1), kUser));
}

TEST(ChannelContent, TheDetectedListIsReplacedWhole)
{
    BissMasterClass master;
    master.ResizeScdContent(5, 3, kDetected);
    ASSERT_TRUE(master.SetScdContentItem(5, 2, Item("top", 7), kDetected));
    EXPECT_EQ(3u, master.ContentCount(5, kDetected));
    EXPECT_EQ(0u, master.ContentCount(5, kUser));
    EXPECT_FALSE(master.SetScdContentItem(5, 3, Item("beyond", 1), kDetected));

    master.ResizeScdContent(5, 3, kDetected);
    EXPECT_EQ("", master.GetScdContentItem(5, 2, kDetected).label) << "a resize starts from default items";

    master.ResizeScdContent(5, 0, kDetected);
    EXPECT_EQ(0u, master.ContentCount(5, kDetected));
    EXPECT_FALSE(master.SetScdContentItem(5, 0, Item("x", 1), kDetected));
    EXPECT_EQ("", master.GetScdContentItem(5, 0, kDetected).label);
    EXPECT_EQ("", master.GetScdContentItem(9, 0, kDetected).label);
}

TEST(ChannelContent, ContentCountsAboveTheItemLimitAreRefused)
{
    BissMasterClass master;
    EXPECT_EQ(eBISS_VALUE_RANGE, master.SetFrameParam(0, eBISS_FP_CONTENT_COUNT, 0x10001));
    EXPECT_EQ(eBISS_VALUE_RANGE, master.SetFrameParam(0, eBISS_FP_CONTENT_COUNT, 0xFFFFFFFF));
    EXPECT_EQ(0u, master.ContentCount(0, kUser));
    EXPECT_EQ(0, master.SetFrameParam(0, eBISS_FP_CONTENT_COUNT, 0x10000));
    EXPECT_EQ(0x10000u, master.ContentCount(0, kUser));
}

TEST(ChannelContent, CopyDetectedContentWithAndWithoutTheLeadingZeroItem)
{
    BissMasterClass master;
    master.ResizeScdContent(3, 2, kDetected);
    master.SetScdContentItem(3, 0, Item("pos", 24), kDetected);
    master.SetScdContentItem(3, 1, Item("err", 1), kDetected);
    master.ResizeScdContent(4, 1, kDetected);
    ScdContentClass zero = Item("zero", 2);
    zero.flag = 1;
    master.SetScdContentItem(4, 0, zero, kDetected);

    master.ResizeScdContent(0, 5, kUser);
    master.CopyDetectedContent(3, 0, false);
    EXPECT_EQ(2u, master.ContentCount(0, kUser));
    EXPECT_EQ("pos", master.GetScdContentItem(0, 0, kUser).label);
    EXPECT_EQ(24u, master.GetScdContentItem(0, 0, kUser).bitLength);
    EXPECT_EQ("u", master.GetScdContentItem(0, 1, kUser).unit);

    master.CopyDetectedContent(3, 1, true);
    ASSERT_EQ(3u, master.ContentCount(1, kUser));
    EXPECT_EQ("zero", master.GetScdContentItem(1, 0, kUser).label);
    EXPECT_EQ(1u, master.GetScdContentItem(1, 0, kUser).flag);
    EXPECT_EQ("pos", master.GetScdContentItem(1, 1, kUser).label);
    EXPECT_EQ("err", master.GetScdContentItem(1, 2, kUser).label);

    // Nothing lies above channel 7: the leading item is a default one.
    master.ResizeScdContent(7, 1, kDetected);
    master.SetScdContentItem(7, 0, Item("last", 5), kDetected);
    master.CopyDetectedContent(7, 2, true);
    ASSERT_EQ(2u, master.ContentCount(2, kUser));
    EXPECT_EQ("", master.GetScdContentItem(2, 0, kUser).label);
    EXPECT_EQ("last", master.GetScdContentItem(2, 1, kUser).label);
}

} // namespace
