#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "ZeroShift.h"

using namespace calvista;

TEST(ZeroShiftTest, ShiftMovesTheOffsetAwayFromTheNeutralValue)
{
    struct Case {
        std::uint32_t offset;
        std::int32_t z;
        int resolution;
        std::uint32_t shifted;
        bool changed;
    };
    const Case cases[] = {
        {0x100, 10000, 1, 0x100, false},          // neutral at 1 µm
        {0x100, 9000, 1, 0x4E8, true},            // 256 + 1000
        {0x100, 11000, 1, 0xFFFFFD18, true},      // 256 - 1000 wraps below 0
        {0, 10009, 4, 0, false},                  // 10009 / 10 = 1000, neutral
        {0, 10020, 4, 0xFFFFFFFE, true},
        {7, 10001, 2, 7, false},                  // integer division: 5000
        {7, 9995, 3, 8, true},                    // 1999
        {0, 10001, 0, 0xFFFFFFFF, true},          // -1.024 truncated toward zero: -1
        {100, 10001, 0, 98, true},                // 98.976 truncated: 98
        {0xFFFFFFFF, 10001, 0, 0xFFFFFFFE, true}, // -1 - 1.024 = -2.024: -2
        {0, 10000, 0, 0, false},                  // 1.024 x 10000 is the neutral 10240
        {0, 9760, 0, 245, true},                  // 245.76
        {0x7FFFFFFF, 0, 0, 0x800027FF, true},     // beyond 2^31 - 1: wraps
        {0x80000000, std::numeric_limits<std::int32_t>::max(), 0, 0xFCEDB96A, true},
        {0x80000000, std::numeric_limits<std::int32_t>::max(), 1, 0x2711, true},
        {0x1234, 9000, 5, 0x1234, false},         // unknown resolution: nothing changes
        {0x1234, 9000, -1, 0x1234, false},
    };
    for (const Case &c : cases) {
        const ShiftedOffset result = ApplyZeroShift(c.offset, c.z, c.resolution);
        EXPECT_EQ(result.offset, c.shifted) << c.offset << " " << c.z << " " << c.resolution;
        EXPECT_EQ(result.changed, c.changed) << c.offset << " " << c.z << " " << c.resolution;
    }
    EXPECT_DOUBLE_EQ(ApplyZeroShift(0, 10001, 0).shift, 10241.024);
    EXPECT_EQ(ApplyZeroShift(0, 9000, 7).shift, 0.0);

    // The shift as the position display shows it.
    EXPECT_EQ(TruncatedCounts(10241.024), 10241);
    EXPECT_EQ(TruncatedCounts(-1.9), -1);
    EXPECT_EQ(TruncatedCounts(1.024 * std::numeric_limits<std::int32_t>::max()), -2095944042);  // wraps
    EXPECT_EQ(TruncatedCounts(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(TruncatedCounts(1e300), 0);
}

TEST(ZeroShiftTest, DegreesPickARowOfTheStartsetTable)
{
    struct Case {
        double degrees;
        int row;
    };
    const Case cases[] = {
        {0.0, 0}, {11.24, 0}, {11.25, 1}, {90.0, 8}, {348.75, 31},
        {359.9, 31}, {1e300, 31}, {-11.25, 0},
        {std::numeric_limits<double>::quiet_NaN(), 0},
        {std::numeric_limits<double>::infinity(), 31},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StartsetRowForDegrees(c.degrees), c.row) << c.degrees;
}
