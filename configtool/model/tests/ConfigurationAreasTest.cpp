// What a write sends and how the tool's modification marker moves.
#include "BlockCrc.h"
#include "ConfigurationAreas.h"
#include "FieldPacking.h"
#include "ModelStateFixture.h"

#include <vector>

using namespace calvista;

using ConfigurationWriteTest = ModelStateTest;

TEST_F(ConfigurationWriteTest, UnchangedFieldsWriteBackTheBytesTheyWereReadFrom)
{
    // Every bit pattern a read can bring, with a Dorvel CRC that fits its block.
    std::vector<std::uint16_t> read(0x40);
    for (std::size_t i = 0; i < read.size(); ++i)
        read[i] = static_cast<std::uint16_t>((i * 0x9D + 0x3B) & 0xFF);
    PutBytes(0, read);
    const std::span<const std::uint16_t> dorvel(RegisterImage().data() + 0x30, 15);
    read[0x3F] = CalculateSum(dorvel, kDorvelCrcInit, kDorvelCrcPolynomial);
    PutBytes(0x3F, {read[0x3F]});

    SysCfgvectorToRegfields();
    DorvelCfgvectorToRegfields();
    InitAllDatabuffers();
    SysRegfieldsToCfgvector();
    (void)DorvelRegfieldsToCfgvector();
    for (const AddressRange &range : kWrittenConfiguration) {
        for (std::uint16_t address = range.start; address < range.start + range.count; ++address)
            EXPECT_EQ(ImageByte(address), read[address]) << address;
    }
}

TEST(ConfigurationAreasTest, WrittenRangesSkipOnlyTheWorkTimeCounters)
{
    unsigned written = 0;
    for (std::uint16_t address = 0; address < kReadConfiguration.count; ++address) {
        bool inWrite = false;
        for (const AddressRange &range : kWrittenConfiguration)
            inWrite = inWrite || range.Contains(address);
        EXPECT_EQ(inWrite, address < 64 && (address < 8 || address > 13)) << address;
        written += inWrite ? 1 : 0;
    }
    EXPECT_EQ(written, 58U);
    // The factory copy lies 96 above what it restores.
    for (std::size_t i = 0; i < kFactoryCopy.size(); ++i) {
        EXPECT_EQ(kFactoryCopy[i].start, kWrittenConfiguration[i].start + 96);
        EXPECT_EQ(kFactoryCopy[i].count, kWrittenConfiguration[i].count);
    }
}

TEST(ConfigurationAreasTest, MarkerChangesOnlyWhenItSaysTheOtherState)
{
    struct Case {
        std::uint8_t marker;
        ParameterState state;
        int written;  // -1: nothing to write
    };
    const Case cases[] = {
        {0xFF, ParameterState::Modified, 0xFE}, {0x01, ParameterState::Modified, 0x00},
        {0xFE, ParameterState::Modified, -1},   {0xFE, ParameterState::Delivered, 0xFF},
        {0x42, ParameterState::Delivered, 0x43}, {0xFF, ParameterState::Delivered, -1},
    };
    for (const Case &c : cases) {
        const auto written = MarkerForState(c.marker, c.state);
        EXPECT_EQ(written ? int{*written} : -1, c.written) << int{c.marker};
    }
    EXPECT_TRUE(FactoryCopyValid(0x00));
    EXPECT_TRUE(FactoryCopyValid(0xFE));
    EXPECT_FALSE(FactoryCopyValid(0xFF));
    EXPECT_EQ(FrameTypeIdentifierCharacter(1), '1');
    EXPECT_EQ(FrameTypeIdentifierCharacter(0), '2');
}
