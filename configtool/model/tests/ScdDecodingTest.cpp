// The single-cycle data layouts: golden words built bit by bit from the frame layouts.
#include <gtest/gtest.h>

#include "ScdDecoding.h"

using calvista::DecodeScd;
using calvista::GrayToBinary;
using calvista::ScdLayout;

namespace {

constexpr std::int32_t kBiss = 0;
constexpr std::int32_t kSsi = 2;

struct Case {
    const char *name;
    ScdLayout layout;
    std::uint32_t high;
    std::uint32_t low;
    bool known;
    std::int32_t position;
    std::uint32_t crc;
    bool error;
    int vef;  // -1: the shown value is kept
    std::uint8_t vefLow;
    std::uint8_t sample;
    int errorByte;  // -1: the live bits are shown as 0
    bool vefGraph;
};

} // namespace

TEST(ScdDecodingTest, LayoutsGiveTheirFields)
{
    const Case cases[] = {
        // X = 0x08000000 above 2^27 - 1 takes the sign bits; D[7] = 0 flags an error; CRC 0x2A.
        {"biss40 negative", {kBiss, 40, 0, false}, 0x08, 0x0000002A, true, -134217728, 0x2A, true, 0, 0, 0, -1, false},
        {"biss40 good", {kBiss, 40, 0, false}, 0, (1234U << 8) | 0x80, true, 1234, 0, false, 0, 0, 0, -1, false},
        // X = 1000, D[21] = 1, CRC 0x15, VEF 2, VEF_L 5.
        {"biss54 good", {kBiss, 54, 0, false}, 0, 0xFA254940, true, 1000, 0x15, false, 2, 5, 2, -1, true},
        {"biss54 negative", {kBiss, 54, 0, false}, 0x40000, 0, true, -268435456, 0, true, 0, 0, 0, -1, true},
        {"biss other length", {kBiss, 48, 0, false}, 0, 0xFFFFFFFF, false, 0, 0, false, -1, 0, 0, -1, false},
        // Bit 23 is the error flag of a 24-bit word: the position is not shown.
        {"ssi24 error", {kSsi, 24, 0, false}, 0, 0x800001, true, 0, 0, true, 0, 0, 0, -1, false},
        {"ssi24 negative", {kSsi, 24, 0, false}, 0, 0x200000, true, -2097152, 0, false, 0, 0, 0, -1, false},
        {"ssi24 gray", {kSsi, 24, 0, true}, 0, 0b110, true, 4, 0, false, 0, 0, 0, -1, false},
        // 255 / 6.66 = 38.3; X = 0x400000 is the top bit of 23; D[32] is the error flag.
        {"ssi25 type1", {kSsi, 25, 1, false}, 0, 0x400000FF, true, -4194304, 0, false, 38, 0, 38, -1, true},
        {"ssi25 type1 error", {kSsi, 25, 1, false}, 1, 0x400000FF, true, 0, 0, true, 38, 0, 38, -1, true},
        // 200 / 6.66 = 30.03.
        {"ssi32 type2", {kSsi, 32, 2, false}, 0, (77U << 16) | (200U << 8), true, 77, 0, false, 30, 0, 30, 0, true},
        {"ssi32 type2 error", {kSsi, 32, 2, false}, 0, (77U << 16) | (200U << 8) | 5, true, 0, 0, true, -1, 0, 0, 5,
         true},
        {"ssi26 type3", {kSsi, 26, 3, false}, 0x12, 0x34569300, true, 0x123456, 0, false, 9, 3, 9, 0, true},
        {"ssi26 type3 error", {kSsi, 26, 3, false}, 0x12, 0x34569381, true, 0, 0, true, 9, 3, 9, 0x81, true},
        {"ssi other length", {kSsi, 28, 1, false}, 0, 0xFF, false, 0, 0, false, -1, 0, 0, -1, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = DecodeScd(c.layout, c.high, c.low);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->layoutKnown, c.known);
        EXPECT_EQ(r->position, c.position);
        EXPECT_EQ(r->crc, c.crc);
        EXPECT_EQ(r->error, c.error);
        EXPECT_EQ(r->vef ? int{*r->vef} : -1, c.vef);
        EXPECT_EQ(r->vefLow, c.vefLow);
        EXPECT_EQ(r->sample, c.sample);
        EXPECT_EQ(r->errorByte ? int{*r->errorByte} : -1, c.errorByte);
        EXPECT_EQ(r->vefGraph, c.vefGraph);
    }
}

TEST(ScdDecodingTest, UnknownProtocolDecodesNothing)
{
    EXPECT_FALSE(DecodeScd({1, 40, 0, false}, 0, 0x80).has_value());
}

TEST(ScdDecodingTest, GrayToBinary)
{
    const std::pair<std::int32_t, std::int32_t> cases[] = {{0, 0}, {1, 1}, {0b110, 4}, {7, 5}, {-5, -5},
                                                           {0x40000000, 0x7FFFFFFF}};
    for (const auto &[gray, binary] : cases)
        EXPECT_EQ(GrayToBinary(gray), binary) << gray;
}
