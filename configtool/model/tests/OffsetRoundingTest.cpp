#include "AmplitudeList.h"
#include "FieldPacking.h"
#include "ModelStateFixture.h"
#include "OffsetRounding.h"

#include <cmath>
#include <limits>
#include <string>

using namespace calvista;

TEST(OffsetRoundingTest, ValuesSnapToTheOffsetStep)
{
    const double step = kOffsetStep;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case { double value; double rounded; };
    const Case cases[] = {
        {0.1, 0.1015625},                       // 12.8 steps
        {-0.05, -0.046875},                     // -6.4 steps
        {0.00390625, 0.0078125},                // exactly half a step rounds away from zero
        {-0.00390625, -0.0078125},
        {step * 0.4999999999999996, step},      // within 1e-15 of half a step
        {step * 0.499999999999998, 0.0},
        {0.0, 0.0},
        {0.5, 0.5},                             // already on the grid
        {-0.9921875, -0.9921875},
        {step * 40.2, step * 40},
        {step * -40.7, step * -41},
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(RoundToStep(c.value, step), c.rounded) << c.value;

    EXPECT_EQ(RoundToStep(0.3, 0.0), 0.3);
    EXPECT_EQ(RoundToStep(0.3, -step), 0.3);
    EXPECT_TRUE(std::isnan(RoundToStep(nan, step)));
    EXPECT_EQ(RoundToStep(0.3, nan), 0.3);
}

TEST(OffsetRoundingTest, OffsetBytesAreSignAndMagnitude)
{
    struct Case { double value; std::uint8_t byte; double readBack; };
    const Case cases[] = {
        {0.5, 192, 0.5},
        {-0.5, 64, -0.5},
        {0.0, 0, 0.0},
        {-0.0, 0, 0.0},
        {0.004, 128, 0.0},          // less than a step
        {0.9921875, 255, 0.9921875},
        {-0.9921875, 127, -0.9921875},
        {1.5, 255, 0.9921875},      // beyond the chip's range: the largest magnitude
        {-3.0, 127, -0.9921875},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(OffsetValueToByte(c.value), c.byte) << c.value;
        EXPECT_DOUBLE_EQ(OffsetByteToValue(c.byte), c.readBack) << c.value;
    }
    EXPECT_EQ(Sgn(-0.25), -1);
    EXPECT_EQ(Sgn(0.0), 0);
    EXPECT_EQ(Sgn(1e-300), 1);
}

TEST(AmplitudeListTest, ItemsFollowTheAmplitudeMode)
{
    const auto sinMinusCos = AmplitudeListItems(kSelamplSinMinusCos);
    ASSERT_EQ(sinMinusCos.size(), 4u);
    EXPECT_STREQ(sinMinusCos[0], "0.60*Vdda");
    EXPECT_STREQ(sinMinusCos[3], "0.72*Vdda");

    const auto squares = AmplitudeListItems(kSelamplSinSquarePlusCosSquare);
    ASSERT_EQ(squares.size(), 4u);
    EXPECT_STREQ(squares[1], "0.3<->0.9 *Vdda");
    EXPECT_STREQ(squares[2], "0.4<->0.9 *Vdda");

    EXPECT_TRUE(AmplitudeListItems(2).empty());
    EXPECT_TRUE(AmplitudeListItems(-1).empty());
}

using ChipOffsetFieldsTest = ModelStateTest;

// The chip page's offsets and amplitude settings reach the register image through their fields.
TEST_F(ChipOffsetFieldsTest, RoundedOffsetsAndAmplitudeLandInTheChipBlock)
{
    ClearDorvelRegs();
    DorvelRegField(DorvelField::DORVEL_SINOFFS).value = OffsetValueToByte(RoundToStep(0.1, kOffsetStep));
    DorvelRegField(DorvelField::DORVEL_COSOFFS).value = OffsetValueToByte(RoundToStep(-0.05, kOffsetStep));
    DorvelRegField(DorvelField::DORVEL_SELAMPL).value = kSelamplSinSquarePlusCosSquare;
    DorvelRegField(DorvelField::DORVEL_AMPL).value = 2;
    const CrcReport report = DorvelRegfieldsToCfgvector();

    EXPECT_EQ(ImageByte(0x39), 0x8D);  // +13 steps
    EXPECT_EQ(ImageByte(0x3A), 0x06);  // -6 steps
    EXPECT_EQ(ImageByte(0x3C), 0x06);
    ASSERT_TRUE(report.dorvel);
    EXPECT_EQ(ImageByte(0x3F), report.dorvel->computed);

    DorvelCfgvectorToRegfields();
    EXPECT_DOUBLE_EQ(OffsetByteToValue(static_cast<std::uint8_t>(DorvelRegField(DorvelField::DORVEL_SINOFFS).value)),
                     0.1015625);
    EXPECT_DOUBLE_EQ(OffsetByteToValue(static_cast<std::uint8_t>(DorvelRegField(DorvelField::DORVEL_COSOFFS).value)),
                     -0.046875);
}
