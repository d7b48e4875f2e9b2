// Golden CRCs worked out by hand with the bit-text procedure (register loaded
// with the start value, data from the most significant bit, no final
// inversion).
#include "BissCrc.h"

#include <gtest/gtest.h>

using namespace sim::biss;

TEST(BissCrc, WidthIsTheDegree)
{
    EXPECT_EQ(CrcWidth(0x43), 6u);
    EXPECT_EQ(CrcWidth(0x13), 4u);
    EXPECT_EQ(CrcWidth(0x25), 5u);
    EXPECT_EQ(CrcWidth(0x18005), 16u);
    EXPECT_EQ(CrcWidth(0), 0u);
}

TEST(BissCrc, MatchesTheBitTextProcedure)
{
    struct Case {
        uint64_t data;
        unsigned bits;
        uint32_t polynomial;
        uint32_t start;
        uint32_t crc;
    };
    const Case cases[] = {
        {0x448, 11, 0x13, 0, 0x5}, // request of a read of slave 0, register 0x48
        {0xA5, 8, 0x13, 0, 0xB},
        {0x00, 8, 0x13, 0, 0x0},
        {0x3C, 8, 0x13, 0, 0x8},
        {0x2AAAAAAAAull, 34, 0x43, 0, 0x07},
        {0x123456789ull, 34, 0x43, 1, 0x06},
        {0x0123456789ABCDEFull, 64, 0x43, 0, 0x09},
        {0x0123456789ABCDEFull, 64, 0x43, 1, 0x0B},
        {0x12345678, 32, 0x18005, 0, 0x1E83},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ComputeCrc(c.data, c.bits, c.polynomial, c.start), c.crc) << std::hex << c.data;
    EXPECT_EQ(ControlCrc(0x448, 11), 0x5u);
}
