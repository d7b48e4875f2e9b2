#include "BlockCrc.h"
#include "FieldPacking.h"
#include "ModelStateFixture.h"
#include "SensorMemoryMap.h"

#include <string_view>
#include <vector>

using namespace calvista;

using BlockCrcTest = ModelStateTest;

namespace {

std::vector<std::uint16_t> Cells(std::string_view text)
{
    return std::vector<std::uint16_t>(text.begin(), text.end());
}

} // namespace

TEST(CalculateSumTest, KnownVectors)
{
    struct Case { const char *what; std::vector<std::uint16_t> cells; std::uint8_t init; std::uint16_t poly; std::uint8_t crc; };
    const Case cases[] = {
        {"15 zero bytes, Dorvel", std::vector<std::uint16_t>(15, 0), kDorvelCrcInit, kDorvelCrcPolynomial, 0x00},
        {"31 zero bytes, Pellin", std::vector<std::uint16_t>(31, 0), kPellinCrcInit, kPellinCrcPolynomial, 0x1B},
        {"123456789, Dorvel", Cells("123456789"), kDorvelCrcInit, kDorvelCrcPolynomial, 0x96},
        {"123456789, Pellin", Cells("123456789"), kPellinCrcInit, kPellinCrcPolynomial, 0x52},
        {"15 never-read cells", std::vector<std::uint16_t>(15, 0x1FF), kDorvelCrcInit, kDorvelCrcPolynomial, 0xFC},
        {"15 bytes 0xFF", std::vector<std::uint16_t>(15, 0xFF), kDorvelCrcInit, kDorvelCrcPolynomial, 0xFC},
        {"truncated polynomial", Cells("123456789"), kDorvelCrcInit, 0x27, 0x96},
        {"no cells", {}, 0x5A, kDorvelCrcPolynomial, 0x5A},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CalculateSum(c.cells, c.init, c.poly), c.crc) << c.what;
}

TEST_F(BlockCrcTest, PackingTheChipBlockStoresItsChecksum)
{
    DorvelRegField(DorvelField::DORVEL_CRC_EP2).value = 0x77;
    DorvelRegField(DorvelField::DORVEL_GAIN).value = 9;
    const CrcReport report = DorvelRegfieldsToCfgvector();

    ASSERT_TRUE(report.dorvel);
    EXPECT_FALSE(report.pellin);
    std::vector<std::uint16_t> block(RegisterImage().begin() + 0x30, RegisterImage().begin() + 0x3F);
    EXPECT_EQ(report.dorvel->computed, CalculateSum(block, kDorvelCrcInit, kDorvelCrcPolynomial));
    EXPECT_EQ(report.dorvel->stored, report.dorvel->computed);
    EXPECT_EQ(ImageByte(kDorvelCrcAddress), report.dorvel->computed);
    EXPECT_FALSE(report.dorvel->Mismatch());
}

TEST_F(BlockCrcTest, CheckingWithoutStoringReportsAMismatchAndLeavesTheImage)
{
    PutBytes(0x30, std::vector<std::uint16_t>(15, 0x00));
    PutBytes(kDorvelCrcAddress, {0x01});
    PutBytes(0x40, std::vector<std::uint16_t>(31, 0x00));
    PutBytes(kPellinCrcAddress, {0x1B});

    const CrcReport report = CalculateCRCs(false, true, true);

    // A checksum that comes out 0 is still checked against the stored byte.
    ASSERT_TRUE(report.dorvel);
    EXPECT_EQ(report.dorvel->computed, 0x00);
    EXPECT_EQ(report.dorvel->stored, 0x01);
    EXPECT_TRUE(report.dorvel->Mismatch());
    ASSERT_TRUE(report.pellin);
    EXPECT_EQ(report.pellin->computed, 0x1B);
    EXPECT_FALSE(report.pellin->Mismatch());
    EXPECT_EQ(RegisterImage()[kDorvelCrcAddress], 0x01);

    const CrcReport none = CalculateCRCs(true, false, false);
    EXPECT_FALSE(none.dorvel);
    EXPECT_FALSE(none.pellin);
}

TEST_F(BlockCrcTest, PellinBlockChecksumIsStoredOnlyWhenAsked)
{
    PutText(0x40, "123456789");
    PutBytes(0x49, std::vector<std::uint16_t>(22, 0x1FF));

    std::vector<std::uint16_t> block = Cells("123456789");
    block.resize(31, 0xFF);
    const std::uint8_t expected = CalculateSum(block, kPellinCrcInit, kPellinCrcPolynomial);

    const CrcReport checked = PellinFillBuffer(false);
    ASSERT_TRUE(checked.pellin);
    EXPECT_FALSE(checked.dorvel);
    EXPECT_EQ(checked.pellin->computed, expected);
    EXPECT_EQ(checked.pellin->stored, 0xFF);
    EXPECT_EQ(RegisterImage()[kPellinCrcAddress], 0x1FF);

    const CrcReport stored = PellinFillBuffer(true);
    EXPECT_EQ(stored.pellin->stored, expected);
    EXPECT_EQ(RegisterImage()[kPellinCrcAddress], expected);
    EXPECT_EQ(RegisterImage()[kDorvelCrcAddress], 0x1FF);
}
