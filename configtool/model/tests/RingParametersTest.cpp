#include "ModelStateFixture.h"
#include "RingParameters.h"

#include <array>
#include <vector>

using namespace calvista;

namespace {

// The start value search step by step, as the encoder's code is described: one register step of
// n bits (bit 31 newest), the taps of each length, the walk round the cycle for every candidate.
constexpr std::array<std::array<int, 4>, 10> kTaps{{
    {26, 27, -1, -1}, {25, 26, -1, -1}, {24, 26, 27, 28}, {23, 27, -1, -1}, {22, 25, -1, -1},
    {21, 23, -1, -1}, {20, 26, 28, 31}, {19, 28, 29, 31}, {18, 27, 29, 31}, {17, 18, -1, -1},
}};

std::uint32_t ReferenceStep(int n, std::uint32_t s, bool inverted)
{
    std::uint32_t t = s >> 1;
    t &= ~(1u << 31);
    t &= ~(1u << (31 - n));
    std::uint32_t f = 0;
    for (int tap : kTaps[static_cast<std::size_t>(n - 6)])
        if (tap >= 0) f ^= (s >> tap) & 1u;
    if (inverted) f ^= 1u;
    return t | (f << 31);
}

std::uint32_t ReferenceStartValue(int n, std::uint32_t count)
{
    std::uint32_t d = 0;
    if (count != 0) {
        for (std::uint32_t k = 1;; ++k) {
            d = 0;
            for (int i = 0; i < 32; ++i)
                if ((k >> i) & 1u) d |= 1u << (31 - i);
            std::uint32_t s = ReferenceStep(n, d, true);
            if (s == 0) s = 0x80000000u;
            std::uint32_t length = 1;
            while (s != d) {
                s = ReferenceStep(n, s, false);
                if (s == 0) s = 0x80000000u;
                ++length;
            }
            if (length == count) break;
        }
    }
    return ReferenceStep(n, d, true) >> (32 - n);
}

// States on the shortened cycle that starts at the start value: plain steps until a state whose
// inverted step leads back to the start.
std::uint32_t CycleLengthFrom(int n, std::uint32_t startValue)
{
    const std::uint32_t first = startValue << (32 - n);
    std::uint32_t s = first;
    std::uint32_t length = 1;
    while (ReferenceStep(n, s, true) != first && length <= (1u << n)) {
        s = ReferenceStep(n, s, false);
        ++length;
    }
    return length;
}

} // namespace

TEST(RingParametersTest, StartValuesOfKnownRings)
{
    struct Case { int n; std::uint32_t count; std::uint32_t start; };
    const Case cases[] = {
        {6, 10, 8}, {6, 62, 31}, {7, 100, 99}, {8, 200, 177},
        {6, 0, 32}, {7, 0, 64}, {10, 0, 512}, {15, 0, 16384},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Calc_PRC_Startval(c.n, c.count), c.start) << c.n << "/" << c.count;
}

TEST(RingParametersTest, SearchMatchesTheStepByStepWalkForEveryCount)
{
    for (int n = 6; n <= 8; ++n) {
        for (std::uint32_t count = 0; count < (1u << n); ++count)
            ASSERT_EQ(Calc_PRC_Startval(n, count), ReferenceStartValue(n, count)) << n << "/" << count;
    }
}

TEST(RingParametersTest, EveryCodeLengthRunsTheRequestedCycle)
{
    for (int n = 6; n <= 15; ++n) {
        const std::uint32_t longest = (1u << n) - 2;
        for (std::uint32_t count : {2u, longest / 2 & ~1u, longest}) {
            const auto start = Calc_PRC_Startval(n, count);
            ASSERT_TRUE(start) << n << "/" << count;
            EXPECT_LT(*start, 1u << n);
            EXPECT_EQ(CycleLengthFrom(n, *start), count) << n << "/" << count;
        }
    }
}

TEST(RingParametersTest, NoStartValueForLengthsOrCountsNoRegisterRuns)
{
    EXPECT_FALSE(Calc_PRC_Startval(5, 10));
    EXPECT_FALSE(Calc_PRC_Startval(16, 10));
    EXPECT_FALSE(Calc_PRC_Startval(6, 64));
    EXPECT_FALSE(Calc_PRC_Startval(15, 40000));
    EXPECT_TRUE(Calc_PRC_Startval(6, 63));
}

TEST(RingParametersTest, BitHelpers)
{
    EXPECT_EQ(ReverseArray(1), 0x80000000u);
    EXPECT_EQ(ReverseArray(0x80000000u), 1u);
    EXPECT_EQ(ReverseArray(0x0000F00Du), 0xB00F0000u);
    EXPECT_EQ(RotateArrayRight(2), 1u);
    EXPECT_EQ(RotateArrayRight(0x80000001u), 0xC0000000u);
}

TEST(RingParametersTest, CodeLengthAndRegisterValueFromThePoleCount)
{
    struct Case { std::uint32_t poleNum; std::int32_t firmware; std::uint16_t poles; std::uint8_t bits; std::uint8_t reg; };
    const Case cases[] = {
        {0, 300000, 0, 6, 6},
        {62, 0, 62, 6, 0},
        {63, 0, 62, 6, 0},        // odd counts are taken one lower
        {64, 0, 64, 7, 8},
        {126, 0, 126, 7, 8},
        {128, 0, 128, 8, 4},
        {300, 299999, 300, 9, 0},
        {300, 300000, 300, 9, 9},
        {1000, 0, 1000, 10, 2},
        {2046, 0, 2046, 11, 0},
        {4094, 0, 4094, 12, 0},
        {8190, 0, 8190, 13, 0},
        {16382, 0, 16382, 14, 0},
        {32766, 0, 32766, 15, 1},
        {32767, 400000, 32766, 15, 15},
    };
    for (const Case &c : cases) {
        const auto params = ComputeRingParams(c.poleNum, c.firmware);
        ASSERT_TRUE(params) << c.poleNum;
        EXPECT_EQ(params->poles, c.poles) << c.poleNum;
        EXPECT_EQ(params->codeBits, c.bits) << c.poleNum;
        EXPECT_EQ(params->prcBitNumReg, c.reg) << c.poleNum;
        EXPECT_EQ(params->startValue, Calc_PRC_Startval(c.bits, c.poles)) << c.poleNum;
    }
    EXPECT_FALSE(ComputeRingParams(32768, 300000));
    EXPECT_FALSE(ComputeRingParams(65535, 300000));
}

using RingParamFieldsTest = ModelStateTest;

TEST_F(RingParamFieldsTest, RingParametersFillTheFirstFiveCellsOfTheSystemBlock)
{
    const auto params = ComputeRingParams(300, 300000);
    ASSERT_TRUE(params);
    SetRingParamFields(*params);

    EXPECT_EQ(ImageByte(0), 0x01);
    EXPECT_EQ(ImageByte(1), 0x2C);
    EXPECT_EQ(ImageByte(2), (params->startValue >> 8) & 0xFF);
    EXPECT_EQ(ImageByte(3), params->startValue & 0xFF);
    EXPECT_EQ(ImageByte(4), 9);
    EXPECT_EQ(ImageByte(0x10), 0x80);  // the rest of the block packed from its fields
    EXPECT_EQ(ImageByte(0x30), 0xFF);  // the chip block is not touched
}

TEST(CalibrationFormatTest, PositionFormatBecomesRawAndOtherBitsStay)
{
    EXPECT_EQ(WithCalibrationPositionFormat(0x00), 0x38);
    EXPECT_EQ(WithCalibrationPositionFormat(0xC5), 0xFD);
    EXPECT_EQ(WithCalibrationPositionFormat(0x38), 0x38);
}
