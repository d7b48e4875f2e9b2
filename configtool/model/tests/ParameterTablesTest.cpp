#include "ParameterTables.h"

#include <gtest/gtest.h>

using namespace calvista;

TEST(ParameterTablesTest, StartsetOffsetsFollowTheRevolutionWithTwoFieldValues)
{
    using Row = std::array<std::uint32_t, kResolutionCount>;
    EXPECT_EQ(StartsetOffsetTable[0], (Row{1024, 1000, 500, 200, 100}));
    EXPECT_EQ(StartsetOffsetTable[1], (Row{1088, 1063, 531, 213, 106}));
    EXPECT_EQ(StartsetOffsetTable[8], (Row{1536, 1500, 750, 300, 150}));
    EXPECT_EQ(StartsetOffsetTable[16], (Row{0, 0, 0, 0, 0}));
    EXPECT_EQ(StartsetOffsetTable[17], (Row{64, 63, 31, 13, 6}));
    EXPECT_EQ(StartsetOffsetTable[31], (Row{960, 938, 469, 188, 94}));
    // The two cells encoders in the field hold.
    EXPECT_EQ(StartsetOffsetTable[6][3], 375u);  // the rule gives 275
    EXPECT_EQ(StartsetOffsetTable[9][4], 150u);  // the rule gives 156
    EXPECT_EQ(StartsetOffsetTable[6][2], 688u);
    EXPECT_EQ(StartsetOffsetTable[9][3], 313u);
}

TEST(ParameterTablesTest, StartsetRowIsTheFirstMatchInTheResolutionColumn)
{
    struct Case {
        std::uint32_t offset;
        int resolution;
        std::optional<int> row;
    };
    const Case cases[] = {
        {375, 3, 6},
        {150, 4, 8},             // row 9 holds 150 too, row 8 comes first
        {1500, 1, 8},
        {0, 0, 16},
        {1024, 0, 0},
        {275, 3, std::nullopt},  // what the rule would have given
        {151, 4, std::nullopt},
        {150, 5, std::nullopt},
        {150, -1, std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(StartsetRowFor(c.offset, c.resolution), c.row) << c.offset << " at " << c.resolution;
}

TEST(ParameterTablesTest, ResolutionAndChipSettings)
{
    struct Case {
        int index;
        std::int32_t selres, ssiRes, fctr;
    };
    const Case cases[] = {
        {0, 5, 255, 0x4702}, {1, 16, 1, 0x4304}, {2, 18, 2, 0x4304}, {3, 21, 5, 0x4304}, {4, 28, 10, 0x4304},
    };
    for (const Case &c : cases) {
        const auto setting = ResolutionSettingFor(c.index);
        ASSERT_TRUE(setting) << c.index;
        EXPECT_EQ(setting->selres, c.selres);
        EXPECT_EQ(setting->ssiRes, c.ssiRes);
        EXPECT_EQ(setting->fixedEdgeFctr, c.fctr);
        EXPECT_EQ(ResolutionIndexFor(c.selres, c.ssiRes), c.index);
    }
    EXPECT_FALSE(ResolutionSettingFor(5));
    EXPECT_FALSE(ResolutionSettingFor(-1));
    // Only a matching pair counts; anything else reads as "1 µm/inc".
    EXPECT_EQ(ResolutionIndexFor(18, 1), 1);
    EXPECT_EQ(ResolutionIndexFor(5, 10), 1);
    EXPECT_EQ(ResolutionIndexFor(0, 0), 1);
}

TEST(ParameterTablesTest, EdgeTimesAndTheirChipValues)
{
    const std::int32_t fctr[] = {0x4304, 0x4102, 4, 10, 20, 40, 81, 163, 245};
    for (int index = 0; index < kEdgeTimeCount; ++index) {
        EXPECT_EQ(EdgeTimeFctrFor(index), fctr[index]);
        EXPECT_EQ(EdgeTimeIndexFor(fctr[index]), index);
    }
    EXPECT_FALSE(EdgeTimeFctrFor(kEdgeTimeUnset));
    EXPECT_FALSE(EdgeTimeFctrFor(9));
    EXPECT_EQ(EdgeTimeIndexFor(0x4702), kEdgeTimeUnset);
    EXPECT_EQ(EdgeTimeIndexFor(0), kEdgeTimeUnset);
}

TEST(ParameterTablesTest, SmallTables)
{
    EXPECT_EQ(ZeroShiftStep(4), 10);
    EXPECT_EQ(ZeroShiftStep(3), 5);
    EXPECT_EQ(ZeroShiftStep(2), 2);
    EXPECT_EQ(ZeroShiftStep(1), 1);
    EXPECT_EQ(ZeroShiftStep(0), 1);

    struct Ssi {
        int index;
        std::uint16_t length, divider;
    };
    for (const Ssi &c : {Ssi{0, 24, 15}, Ssi{1, 25, 15}, Ssi{2, 26, 15}, Ssi{3, 32, 9}}) {
        const auto settings = SsiScdSettingsFor(c.index);
        ASSERT_TRUE(settings) << c.index;
        EXPECT_EQ(settings->frameLength, c.length);
        EXPECT_EQ(settings->clockDivider, c.divider);
    }
    EXPECT_FALSE(SsiScdSettingsFor(4));
    EXPECT_FALSE(SsiScdSettingsFor(-1));

    EXPECT_EQ(InterfaceVariantFor(0, 0), InterfaceVariant::Standard);
    EXPECT_EQ(InterfaceVariantFor(1, 0), InterfaceVariant::Sarvik);
    EXPECT_EQ(InterfaceVariantFor(0, 1), InterfaceVariant::AbsoluteQuadrature);
    EXPECT_EQ(InterfaceVariantFor(1, 1), InterfaceVariant::Sarvik);

    EXPECT_EQ(RatioFromFields({0x0F, 1}), 31);
    EXPECT_EQ(RatioFromFields({0x03, 0}), 3);
    EXPECT_EQ(RatioToFields(17).low, 1);
    EXPECT_EQ(RatioToFields(17).high, 1);
    EXPECT_EQ(RatioToFields(15).high, 0);
}
