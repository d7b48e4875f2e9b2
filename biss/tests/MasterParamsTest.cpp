// The parameter store and the target register image built from it.
#include <gtest/gtest.h>

#include "BissMaster.h"
#include "ferrolink.h"

using ferrolink::BissMasterClass;
using ferrolink::CrcLength;
using ferrolink::MasterChipInfo;

namespace {

TEST(Params, DefaultsAndRefusals)
{
    BissMasterClass master;
    for (uint32_t index = 0; index < 21; ++index) {
        uint32_t value = 99;
        ASSERT_EQ(0, master.GetComParam(index, &value));
        const uint32_t expected = index == 4 ? 4 : index == 5 ? 2 : index == 6 || index == 16 ? 124 : 0;
        EXPECT_EQ(expected, value) << "com parameter " << index;
    }
    for (uint32_t index : {0u, 1u, 13u, 14u, 20u, 21u, 1000u})
        EXPECT_EQ(eBISS_INVALID_PARAMETER, master.SetComParam(index, 1)) << index;
    EXPECT_EQ(eBISS_VALUE_RANGE, master.SetComParam(eBISS_CP_PROTOCOL, 3));
    uint32_t protocol = 99;
    master.GetComParam(eBISS_CP_PROTOCOL, &protocol);
    EXPECT_EQ(0u, protocol) << "a refused value keeps the old one";
    EXPECT_EQ(0, master.SetComParam(eBISS_CP_PROTOCOL, 2));

    uint32_t value = 99;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetFrameParam(8, 0, &value));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.GetFrameParam(0, 9, &value));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.SetFrameParam(8, 0, 1));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, master.SetFrameParam(0, eBISS_FP_ID_COUNT, 1));
}

TEST(Params, ConfiguredChannelsFollowTheHighestUsedChannel)
{
    BissMasterClass master;
    ASSERT_EQ(0, master.SetFrameParam(2, eBISS_FP_SCD_LENGTH, 40));
    uint32_t count = 0;
    master.GetComParam(eBISS_CP_CHANNEL_COUNT, &count);
    EXPECT_EQ(3u, count);
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 20));
    ASSERT_EQ(0, master.SetFrameParam(2, eBISS_FP_SCD_LENGTH, 0));
    master.GetComParam(eBISS_CP_CHANNEL_COUNT, &count);
    EXPECT_EQ(1u, count);
    ASSERT_EQ(0, master.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 0));
    master.GetComParam(eBISS_CP_CHANNEL_COUNT, &count);
    EXPECT_EQ(0u, count);
}

TEST(Params, CrcLengthIsTheDegreeOfAPolynomialWithItsTopBit)
{
    const struct { uint32_t poly, length; } cases[] = {
        {0, 0}, {1, 0}, {2, 0}, {3, 1}, {0x13, 4}, {0x25, 5}, {0x43, 6}, {0x40, 5}, {0x100, 7}, {0x107, 8},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.length, CrcLength(c.poly)) << std::hex << c.poly;
}

struct ChannelSetup {
    uint32_t length, poly, invert, start, gray;
};

struct ImageRow {
    const char *name;
    uint32_t interfaceType;
    MasterChipInfo chip;
    uint32_t protocol;
    ChannelSetup ch0;
    ChannelSetup ch1;
    // expected registers: address, value
    std::vector<std::pair<uint32_t, uint32_t>> registers;
    int32_t splitSlot;
};

const MasterChipInfo kChip6{6, 64, 0x52, 4};
const MasterChipInfo kLegacy{3, 32, 0x83, 0};

class ImageTest : public ::testing::TestWithParam<ImageRow> {};

TEST_P(ImageTest, RegistersFollowTheParameters)
{
    const ImageRow &row = GetParam();
    BissMasterClass master;
    ASSERT_EQ(0, master.SetComParam(eBISS_CP_PROTOCOL, row.protocol));
    const ChannelSetup *channels[] = {&row.ch0, &row.ch1};
    for (uint32_t n = 0; n < 2; ++n) {
        master.SetFrameParam(n, eBISS_FP_SCD_LENGTH, channels[n]->length);
        master.SetFrameParam(n, eBISS_FP_CRC_POLY, channels[n]->poly);
        master.SetFrameParam(n, eBISS_FP_CRC_INVERT, channels[n]->invert);
        master.SetFrameParam(n, eBISS_FP_CRC_START, channels[n]->start);
        master.SetFrameParam(n, eBISS_FP_EN_GRAY, channels[n]->gray);
    }
    master.BuildRegisterImage(row.chip, row.interfaceType);
    for (const auto &[address, value] : row.registers)
        EXPECT_EQ(value, master.TargetRegister(address)) << "register 0x" << std::hex << address;
    EXPECT_EQ(row.splitSlot, master.SplitSlot());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ImageTest,
    ::testing::Values(
        ImageRow{"Crc43", 0, kChip6, 0, {40, 0x43, 0, 0, 0}, {},
                 {{0xC0, 0x61}, {0xC1, 0x21}, {0xC2, 0}, {0xC3, 0}, {0xC4, 0}, {0xE6, 0x44}, {0xE8, 124},
                  {0xEC, 1}, {0xED, 0x55}, {0xEE, 0x55}, {0xF5, 0}},
                 -1},
        ImageRow{"Crc43Inverted", 0, kChip6, 0, {40, 0x43, 1, 0, 0}, {}, {{0xC0, 0x61}, {0xC1, 0xA1}}, -1},
        ImageRow{"Crc43MasterOfTypeSixInverts", eBISS_IF_DRAVIO_B, kChip6, 0, {40, 0x43, 0, 0, 0}, {},
                 {{0xC1, 0xA1}, {0xE5, 1}, {0xE9, 0}}, -1},
        ImageRow{"CrcStartValueLeavesTheCrcToSoftware", 0, kChip6, 0, {40, 0x43, 0, 1, 0}, {},
                 {{0xC0, 103}, {0xC1, 0}}, -1},
        ImageRow{"SeventyBitsSplitIntoTheNextSlot", 0, kChip6, 0, {70, 0x43, 0, 1, 0}, {},
                 {{0xC0, 127}, {0xC4, 69}}, 1},
        ImageRow{"SsiOnAModernChip", 0, kChip6, 2, {13, 0, 0, 0, 0}, {}, {{0xED, 0xAA}, {0xEE, 0xAA}, {0xC0, 13 + 63}}, -1},
        ImageRow{"GrayOnTheUsbAdapterIsBitSevenOfC0", eBISS_IF_DRAVIO_A, kChip6, 0, {24, 0, 0, 0, 1}, {},
                 {{0xC0, 24 + 63 + 0x80}, {0xC2, 0}}, -1},
        ImageRow{"GrayElsewhereIsBitSevenOfC2", eBISS_IF_NONE, kChip6, 0, {24, 0, 0, 0, 1}, {},
                 {{0xC0, 24 + 63}, {0xC2, 0x80}}, -1},
        ImageRow{"LegacyChipSsi", 0, kLegacy, 2, {40, 0x43, 0, 0, 0}, {}, {{0xC0, 97 + 0x80}, {0xC2, 0}, {0xEC, 0}},
                 -1},
        ImageRow{"LegacyChipBiss", 0, kLegacy, 0, {40, 0x43, 0, 0, 0}, {}, {{0xC0, 97}, {0xC2, 0x80}}, -1},
        ImageRow{"OnlyChannelsTheChipHasAreBuilt", 0, MasterChipInfo{1, 64, 0x52, 4}, 0, {20, 0, 0, 0, 0},
                 {20, 0, 0, 0, 0}, {{0xC0, 20 + 63}, {0xC4, 0}}, -1}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(Params, DataBitsTheMasterCannotHoldAreRefused)
{
    const struct {
        const char *what;
        MasterChipInfo chip;
        ChannelSetup channel;
        int result;
    } cases[] = {
        {"64 plain bits", kChip6, {64, 0, 0, 0, 0}, 0},
        {"65 plain bits", kChip6, {65, 0, 0, 0, 0}, eBISS_VALUE_RANGE},
        {"70 checked by the master", kChip6, {70, 0x43, 0, 0, 0}, 0},
        {"80 checked by the master: 74 data bits", kChip6, {80, 0x43, 0, 0, 0}, eBISS_VALUE_RANGE},
        {"70 split: 64 data bits", kChip6, {70, 0x43, 0, 1, 0}, 0},
        {"80 split: 74 data bits", kChip6, {80, 0x43, 0, 1, 0}, eBISS_VALUE_RANGE},
        {"a length no longer than its CRC", kChip6, {6, 0x43, 0, 0, 0}, eBISS_VALUE_RANGE},
        {"legacy chip, 70 bits", kLegacy, {70, 0x43, 0, 0, 0}, 0},
        {"legacy chip, 80 bits", kLegacy, {80, 0x43, 0, 0, 0}, eBISS_VALUE_RANGE},
    };
    for (const auto &c : cases) {
        BissMasterClass master;
        master.SetFrameParam(1, eBISS_FP_SCD_LENGTH, c.channel.length);
        master.SetFrameParam(1, eBISS_FP_CRC_POLY, c.channel.poly);
        master.SetFrameParam(1, eBISS_FP_CRC_START, c.channel.start);
        EXPECT_EQ(c.result, master.BuildRegisterImage(c.chip, 0)) << c.what;
        if (c.result == 0) {
            const uint32_t config = master.TargetRegister(0xC4);
            EXPECT_EQ(0x40u, config & 0xC0) << c.what << ": in use, no conversion bit";
        }
    }
}

} // namespace
