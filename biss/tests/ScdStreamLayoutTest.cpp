// The layout of the USB adapter's stream: the SCD bytes each channel adds to a
// frame record, the record size, records per packet, and the packet buffers
// and data block a run of frames needs.
#include <gtest/gtest.h>

#include "ScdStreamLayout.h"

using ferrolink::BissParamClass;
using ferrolink::ScdStreamLayout;

namespace {

BissParamClass Channel0(uint32_t length, uint32_t poly, uint32_t start)
{
    BissParamClass params;
    params.SetFrameParam(0, eBISS_FP_SCD_LENGTH, length, BissParamClass::kUserTable);
    params.SetFrameParam(0, eBISS_FP_CRC_POLY, poly, BissParamClass::kUserTable);
    params.SetFrameParam(0, eBISS_FP_CRC_START, start, BissParamClass::kUserTable);
    return params;
}

TEST(ScdStreamLayout, A24BitChannelFillsTwentyOneRecordsAPacket)
{
    const ScdStreamLayout layout = ScdStreamLayout::Compute(Channel0(24, 0, 0), -1, 0);
    EXPECT_EQ(4u, layout.channels[0].bytes);
    EXPECT_EQ(4u, layout.scdBytes);
    EXPECT_EQ(24u, layout.recordSize);
    EXPECT_EQ(21u, layout.recordsPerPacket);
    EXPECT_EQ(504u, layout.PacketBytes());
    uint32_t packets = 0, block = 0;
    ASSERT_TRUE(layout.PlanBuffers(100, &packets, &block));
    EXPECT_EQ(6u, packets);
    EXPECT_EQ(24576u, block);
    for (uint32_t c = 1; c < ScdStreamLayout::kChannels; ++c)
        EXPECT_EQ(0u, layout.channels[c].bytes) << "channel " << c;
}

TEST(ScdStreamLayout, TheCrcBitsComeOnlyWhenTheyAreCheckedHere)
{
    const struct {
        uint32_t length, poly, start;
        uint32_t dataBits, bytes;
        bool checkedHere;
    } rows[] = {
        {32, 0x43, 0, 26, 4, false},    // the master checks and keeps the CRC
        {32, 0x43, 1, 32, 5, true},     // start value: all bits come, checked here
        {40, 0x11021, 0, 40, 6, true},  // a 16-bit CRC is always checked here
        {64, 0, 0, 64, 8, false},       // 64 bits fill one slot, no ninth byte
        {16, 0, 0, 16, 3, false},
    };
    for (const auto &row : rows) {
        const ScdStreamLayout layout = ScdStreamLayout::Compute(Channel0(row.length, row.poly, row.start), -1, 0);
        EXPECT_EQ(row.dataBits, layout.channels[0].dataBits) << row.length << "/" << row.poly;
        EXPECT_EQ(row.bytes, layout.channels[0].bytes) << row.length << "/" << row.poly;
        EXPECT_EQ(row.checkedHere, layout.channels[0].checkedHere) << row.length << "/" << row.poly;
    }
}

TEST(ScdStreamLayout, ALongChannelAndItsPartnerSlot)
{
    BissParamClass params = Channel0(70, 0x43, 1);
    // A channel after the split slot keeps its own layout.
    params.SetFrameParam(2, eBISS_FP_SCD_LENGTH, 20, BissParamClass::kUserTable);
    const ScdStreamLayout layout = ScdStreamLayout::Compute(params, 1, 6);
    EXPECT_EQ(0, layout.longChannel);
    EXPECT_EQ(1, layout.partnerSlot);
    EXPECT_EQ(64u, layout.channels[0].dataBits);
    EXPECT_EQ(8u, layout.channels[0].bytes);
    EXPECT_EQ(6u, layout.channels[1].dataBits);
    EXPECT_EQ(1u, layout.channels[1].bytes);
    EXPECT_EQ(8u, layout.channels[1].firstByte);
    EXPECT_EQ(3u, layout.channels[2].bytes);
    EXPECT_EQ(9u, layout.channels[2].firstByte);
    EXPECT_EQ(12u, layout.scdBytes);
}

TEST(ScdStreamLayout, ADataBlockPast32BitsIsRefused)
{
    const ScdStreamLayout layout = ScdStreamLayout::Compute(Channel0(24, 0, 0), -1, 0);
    uint32_t packets = 0, block = 0;
    // 1048575 packets of 4096 bytes are the most 32 bits can size.
    ASSERT_TRUE(layout.PlanBuffers(1048573 * 21 + 20, &packets, &block));
    EXPECT_EQ(1048575u, packets);
    EXPECT_EQ(0xFFFFF000u, block);
    EXPECT_FALSE(layout.PlanBuffers(1048574 * 21, &packets, &block));
    EXPECT_FALSE(layout.PlanBuffers(0xFFFFFFFF, &packets, &block));
}

} // namespace
