#include "FieldPacking.h"
#include "ModelStateFixture.h"
#include "SensorMemoryMap.h"

#include <vector>

using namespace calvista;

using FieldPackingTest = ModelStateTest;

namespace {

std::vector<std::uint8_t> ImageBytes(std::uint16_t address, std::size_t count)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < count; ++i)
        bytes.push_back(ImageByte(address + i));
    return bytes;
}

std::uint32_t LowBits(std::uint32_t value, unsigned bitlen)
{
    return bitlen >= 32 ? value : value & ((1u << bitlen) - 1);
}

// A different value for every field, spread over its full width.
std::uint32_t PatternValue(std::size_t index)
{
    return 0x9E3779B9u * static_cast<std::uint32_t>(index + 1);
}

template <std::size_t N>
void FillWithPattern(std::span<RegField, N> table, std::size_t seed)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i].value = static_cast<std::int32_t>(LowBits(PatternValue(seed + i), table[i].bitlen));
}

} // namespace

TEST(ChangeByteOrderTest, SwapsTwoOrFourBytesOnly)
{
    struct Case { std::uint32_t value; std::uint8_t size; std::uint32_t result; };
    const Case cases[] = {
        {0x1234, 2, 0x3412}, {0xABCD1234, 2, 0x3412}, {0x12345678, 4, 0x78563412},
        {0x12345678, 1, 0}, {0x12345678, 3, 0}, {0x12345678, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ChangeByteOrder(c.value, c.size), c.result) << std::hex << c.value << " size " << int(c.size);
}

TEST_F(FieldPackingTest, WideSystemFieldsGoMostSignificantByteFirst)
{
    ClearSysRegs();
    SysRegField(SysField::STARTSET_OFFSET).value = 0x1234;
    SysRegField(SysField::OFFSET).value = 0x12345678;
    SysRegField(SysField::WRK_TIME_REG2).value = 0xBEEF;
    SysRegField(SysField::SYS_RESERVED_29).value = static_cast<std::int32_t>(0xCAFEF00D);
    SysRegfieldsToCfgvector();

    EXPECT_EQ(ImageBytes(0x13, 6), (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78, 0x12, 0x34}));
    EXPECT_EQ(ImageBytes(0x0C, 2), (std::vector<std::uint8_t>{0xBE, 0xEF}));
    EXPECT_EQ(ImageBytes(0x2C, 4), (std::vector<std::uint8_t>{0xCA, 0xFE, 0xF0, 0x0D}));
    EXPECT_EQ(ImageByte(0x12), 0);
    EXPECT_EQ(ImageByte(0x19), 0);
}

TEST_F(FieldPackingTest, BitFieldsShareTheirByteLeastSignificantBitFirst)
{
    // Start values alone: SYS_RESERVED_7 and SYS_RESERVED_21 are the top bits of 0x10 and 0x26.
    SysRegfieldsToCfgvector();
    std::vector<std::uint8_t> expected(kSystemBlockSize, 0);
    expected[0x10] = 0x80;
    expected[0x26] = 0x80;
    EXPECT_EQ(ImageBytes(0, kSystemBlockSize), expected);

    SysRegField(SysField::BISS_SSI).value = 1;
    SysRegField(SysField::SSI_LENGTH).value = 3;
    SysRegField(SysField::POS_VALUE).value = 5;
    SysRegField(SysField::ENH_STARTSET).value = 1;
    SysRegField(SysField::ZERO_SET).value = 1;
    SysRegfieldsToCfgvector();
    EXPECT_EQ(ImageByte(0x0E), 0x02);
    EXPECT_EQ(ImageByte(0x10), 0xB1);
    EXPECT_EQ(ImageByte(0x11), 0xA8);
}

TEST_F(FieldPackingTest, ValuesWiderThanTheirFieldContributeOnlyTheirLowBits)
{
    ClearSysRegs();
    SysRegField(SysField::SSI_LENGTH).value = 0xFF;
    SysRegField(SysField::STARTSET_OFFSET).value = 0x12345;
    SysRegfieldsToCfgvector();
    EXPECT_EQ(ImageByte(0x10), 0x30);
    EXPECT_EQ(ImageBytes(0x16, 4), (std::vector<std::uint8_t>{0x00, 0x23, 0x45, 0x00}));

    ClearDorvelRegs();
    DorvelRegField(DorvelField::DORVEL_FCTR).value = 0xFFFF;
    (void)DorvelRegfieldsToCfgvector();
    EXPECT_EQ(ImageBytes(0x34, 2), (std::vector<std::uint8_t>{0xFF, 0x7F}));  // DORVEL_GRAY stays 0
}

TEST_F(FieldPackingTest, ChipBlockKeepsItsWideFieldLeastSignificantByteFirst)
{
    ClearDorvelRegs();
    DorvelRegField(DorvelField::DORVEL_FCTR).value = 0x4304;
    DorvelRegField(DorvelField::DORVEL_GRAY).value = 1;
    DorvelRegField(DorvelField::DORVEL_ROT).value = 1;
    DorvelRegField(DorvelField::DORVEL_SELRES).value = 16;
    DorvelRegField(DorvelField::DORVEL_M2S).value = 3;
    DorvelRegField(DorvelField::DORVEL_RESERVED_4).value = 0x1FFFFF;
    (void)DorvelRegfieldsToCfgvector();

    EXPECT_EQ(ImageBytes(0x30, 15), (std::vector<std::uint8_t>{
        0x70, 0x00, 0x20, 0x00, 0x04, 0xC3, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF8, 0xFF, 0xFF}));
}

TEST_F(FieldPackingTest, PackingThenUnpackingReproducesEveryField)
{
    FillWithPattern(SysFieldTable(), 0);
    FillWithPattern(DorvelFieldTable(), 100);
    const std::vector<RegField> sysBefore(SysFieldTable().begin(), SysFieldTable().end());
    const std::vector<RegField> dorvelBefore(DorvelFieldTable().begin(), DorvelFieldTable().end());

    SysRegfieldsToCfgvector();
    const CrcReport report = DorvelRegfieldsToCfgvector();
    ClearSysRegs();
    ClearDorvelRegs();
    SysCfgvectorToRegfields();
    DorvelCfgvectorToRegfields();

    for (std::size_t i = 0; i < sysBefore.size(); ++i)
        EXPECT_EQ(SysFieldTable()[i].value, sysBefore[i].value) << sysBefore[i].name;
    // The chip block's last byte is its checksum, not the packed DORVEL_CRC_EP2.
    for (std::size_t i = 0; i + 1 < dorvelBefore.size(); ++i)
        EXPECT_EQ(DorvelFieldTable()[i].value, dorvelBefore[i].value) << dorvelBefore[i].name;
    ASSERT_TRUE(report.dorvel);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_CRC_EP2).value, report.dorvel->computed);
    EXPECT_EQ(ImageByte(kDorvelCrcAddress), report.dorvel->computed);
}

TEST_F(FieldPackingTest, NeverReadCellsUnpackAsAllOnes)
{
    SysCfgvectorToRegfields();
    DorvelCfgvectorToRegfields();
    for (const RegField &field : SysFieldTable())
        EXPECT_EQ(static_cast<std::uint32_t>(field.value), LowBits(0xFFFFFFFFu, field.bitlen)) << field.name;
    for (const RegField &field : DorvelFieldTable())
        EXPECT_EQ(static_cast<std::uint32_t>(field.value), LowBits(0xFFFFFFFFu, field.bitlen)) << field.name;
}

TEST_F(FieldPackingTest, UnpackingDecodesTheImageBytes)
{
    PutBytes(0x00, {0x01, 0x2C, 0x01, 0x31, 0x09});
    PutBytes(0x13, {0x00, 0x00, 0x04, 0xE8});
    PutBytes(0x1A, {0x05});
    PutBytes(0x30, {0x10, 0x00, 0x20, 0x00, 0x02, 0x47});
    SysCfgvectorToRegfields();
    DorvelCfgvectorToRegfields();

    EXPECT_EQ(SysRegField(SysField::NUM_OF_POLES_REG_L).value, 0x2C);
    EXPECT_EQ(SysRegField(SysField::START_PRC_REG_L).value, 0x31);
    EXPECT_EQ(SysRegField(SysField::PRC_BIT_NUM_REG).value, 9);
    EXPECT_EQ(SysRegField(SysField::OFFSET).value, 0x4E8);
    EXPECT_EQ(SysRegField(SysField::VANTREL_RDY).value, 1);
    EXPECT_EQ(SysRegField(SysField::SSI_OVERCLK).value, 1);
    EXPECT_EQ(SysRegField(SysField::LO_VOLTAGE).value, 0);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_SELRES).value, 16);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_ROT).value, 1);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_FCTR).value, 0x4702);
    EXPECT_EQ(DorvelRegField(DorvelField::DORVEL_GRAY).value, 0);
}
