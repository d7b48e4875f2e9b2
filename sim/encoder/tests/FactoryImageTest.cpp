// The factory image and its checksums, against values worked out by hand
// from the memory map and the CRC-8 definition.
#include "KeltoCrc.h"
#include "KeltoFactoryImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace sim::kelto;

namespace {

std::string Text(const EepromImage &image, uint16_t at, size_t length)
{
    return std::string(image.begin() + at, image.begin() + at + length);
}

std::vector<std::string> Tokens(const std::string &text)
{
    std::vector<std::string> tokens;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('-', start);
        const std::string token = text.substr(start, end - start);
        if (!token.empty())
            tokens.push_back(token);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return tokens;
}

} // namespace

TEST(KeltoCrc, CheckValuesOfBothBlocks)
{
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc8(digits, 9, 0x00, 0x27), 0x96);
    EXPECT_EQ(Crc8(digits, 9, 0x01, 0x1D), 0x52);

    uint8_t zeros[31] = {};
    EXPECT_EQ(DorvelBlockCrc(zeros), 0x00);
    EXPECT_EQ(PellinBlockCrc(zeros), 0x1B);
    uint8_t erased[15];
    std::fill(std::begin(erased), std::end(erased), uint8_t{0xFF});
    EXPECT_EQ(DorvelBlockCrc(erased), 0xFC);
}

TEST(KeltoFactoryImage, ChipBlocksCarryTheirSettingsAndCrcs)
{
    const EepromImage image = BuildFactoryImage(KeltoModel{});
    // 1 um: SELRES 16; FCTR 0x4304 least significant byte first; ZPOS 8 with HYS 2.
    EXPECT_EQ(image[0x30], 0x10);
    EXPECT_EQ(image[0x31], 0x48);
    EXPECT_EQ(image[0x34], 0x04);
    EXPECT_EQ(image[0x35], 0x43);
    EXPECT_EQ(image[0x3F], 0xF2);
    EXPECT_EQ(image[0x5F], 0xE6);
    EXPECT_EQ(image[0x3F], DorvelBlockCrc(&image[0x30]));
    EXPECT_EQ(image[0x5F], PellinBlockCrc(&image[0x40]));

    KeltoModel fine;
    fine.ssiResolution = 255;
    const EepromImage fineImage = BuildFactoryImage(fine);
    EXPECT_EQ(fineImage[0x12], 255);
    EXPECT_EQ(fineImage[0x30], 0x05);
    EXPECT_EQ(fineImage[0x34], 0x02);
    EXPECT_EQ(fineImage[0x35], 0x47);
    EXPECT_EQ(fineImage[0x3F], DorvelBlockCrc(&fineImage[0x30]));
}

TEST(KeltoFactoryImage, SystemBlockMirrorAndReservedBits)
{
    const EepromImage image = BuildFactoryImage(KeltoModel{});
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 96, image.begin() + 96));
    EXPECT_EQ(image[16] & 0xC0, 0);
    EXPECT_EQ(image[38] & 0xF8, 0);
    EXPECT_EQ(image[39] & 0xFC, 0);
    EXPECT_EQ(image[16], 0x00); // BiSS
    EXPECT_EQ(image[18], 1);    // 1 um
    // Work time counters, most significant byte first: 412, 96, 3.
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 8, image.begin() + 14),
              std::vector<uint8_t>({0x01, 0x9C, 0x00, 0x60, 0x00, 0x03}));
    // Ring parameters empty: a linear encoder.
    EXPECT_EQ(std::vector<uint8_t>(image.begin(), image.begin() + 5), std::vector<uint8_t>(5, 0));
}

TEST(KeltoFactoryImage, IdentificationAndProductInformation)
{
    const EepromImage image = BuildFactoryImage(KeltoModel{});
    EXPECT_EQ(Text(image, 196, 8), "HX2648QP");
    EXPECT_EQ(Text(image, 208, 6), "604117");
    EXPECT_EQ(Text(image, 214, 13), "308012_R01.07");
    EXPECT_EQ(Text(image, 227, 4), "0102");
    EXPECT_EQ(Text(image, 371, 8), "00012345");
    EXPECT_EQ(Text(image, 401, 6), "230321");
    EXPECT_EQ(Text(image, 397, 4), "K1PA");
    EXPECT_EQ(Text(image, 447, 7), "D000815");
    EXPECT_EQ(image[0x150], 'P'); // production number

    const std::vector<std::string> tokens = Tokens(Text(image, 407, 40));
    ASSERT_GE(tokens.size(), 6u);
    EXPECT_EQ(tokens[3], "B00D");
    EXPECT_EQ(tokens[4], "M5EQ");
    EXPECT_EQ(Text(image, 407, 40).back(), ' ');

    EXPECT_EQ(image[460] & 1, 0);    // the mirror holds a valid factory copy
    EXPECT_EQ(image[659], 0xFF);     // parameters as delivered
    EXPECT_EQ(Text(image, 473, 8), std::string(8, ' '));
    EXPECT_EQ(image[192], 0xFF);     // unused addresses are erased
    EXPECT_EQ(image[660], 0xFF);
    EXPECT_EQ(image[2047], 0xFF);
}

TEST(KeltoScenarios, NamedVariantsOfTheFactoryImage)
{
    for (std::string_view name : KeltoScenarioNames())
        EXPECT_TRUE(KeltoScenario(name).has_value()) << name;
    EXPECT_FALSE(KeltoScenario("no-such-encoder").has_value());

    const EepromImage old = BuildFactoryImage(*KeltoScenario("fw141000"));
    EXPECT_EQ(Text(old, 214, 7), "141000_");
    const EepromImage edge = BuildFactoryImage(*KeltoScenario("mat604229"));
    EXPECT_EQ(Text(edge, 208, 6), "604229");
    const EepromImage standard = BuildFactoryImage(*KeltoScenario("standard-frame"));
    EXPECT_EQ(Text(standard, 196, 8), "HX1648QP");
    EXPECT_EQ(standard[16], 0x08);
    EXPECT_EQ(BuildFactoryImage(*KeltoScenario("modified"))[659], 0xFE);
    EXPECT_EQ(BuildFactoryImage(*KeltoScenario("mirror-invalid"))[460] & 1, 1);
    EXPECT_EQ(BuildFactoryImage(*KeltoScenario("ssi-output"))[16], 0x01);
}
