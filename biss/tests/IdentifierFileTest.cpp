// The identifier file reader and the line-reading helpers it shares.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BissMaster.h"
#include "TextFileFixture.h"
#include "ferrolink.h"

using ferrolink::BissMasterClass;
using ferrolink::BissParamClass;
using ferrolink::ScdContentXmlClass;
using ferrolink_test::OpenedTextFile;
using ferrolink_test::ScratchFile;

namespace {

constexpr auto kDetected = BissParamClass::kDetectedTable;
// Device identifier 5A 2C 00 00 00 00, manufacturer 4B 56.
const BissMasterClass::IdentificationBytes kKelto = {0x5A, 0x2C, 0, 0, 0, 0, 0x4B, 0x56};

std::string Label(const BissMasterClass &master, uint32_t channel, uint32_t kind)
{
    return master.GetChannelLabel(channel, kind, kDetected);
}

uint32_t Detected(const BissMasterClass &master, uint32_t channel, uint32_t index)
{
    return master.Params().Frame(channel, index, kDetected);
}

bool ReadText(BissMasterClass &master, const std::string &text, const BissMasterClass::IdentificationBytes &id,
              uint8_t base = 0)
{
    ScratchFile scratch("case_idbiss.xml", text);
    OpenedTextFile file(scratch.Path());
    return master.ReadIdentifierFile(0, base, id, *file);
}

// One manufacturer with one device whose Id block is given.
std::string DeviceWithIds(const std::string &idLines)
{
    return "<?xml version=\"1.0\"?>\n<BiSS-Identifier>\n<Manufacturer Id=\"4B56\">\n<Label>Vantrel</Label>\n"
           "<Device>\n" + idLines + "<Label>Match</Label>\n</Device>\n</Manufacturer>\n</BiSS-Identifier>\n";
}

TEST(IdentifierFile, AFullDeviceDescriptionFillsTheDetectedChannels)
{
    BissMasterClass master;
    OpenedTextFile file("data/vantrel_idbiss.xml");
    ASSERT_TRUE(master.ReadIdentifierFile(0, 2, kKelto, *file));

    // The section with the higher position took the base channel; the other moved up.
    EXPECT_EQ(26u, Detected(master, 2, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(0x43u, Detected(master, 2, eBISS_FP_CRC_POLY));
    EXPECT_EQ(1u, Detected(master, 2, eBISS_FP_CRC_INVERT));
    EXPECT_EQ(5u, Detected(master, 2, eBISS_FP_CRC_START));
    EXPECT_EQ(16u, Detected(master, 3, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(0x43u, Detected(master, 3, eBISS_FP_CRC_POLY));
    EXPECT_EQ(1u, Detected(master, 3, eBISS_FP_CRC_INVERT));
    EXPECT_EQ(0u, Detected(master, 3, eBISS_FP_CRC_START));
    EXPECT_EQ(2u, master.DetectedIdCount(2));
    EXPECT_EQ(0u, master.Params().Com(eBISS_CP_PROTOCOL)) << "SCDS sections are BiSS";

    // The slave label joins its parts; append_id added byte 1 (0x2C) in decimal.
    EXPECT_EQ("Kelto-44", Label(master, 2, BissMasterClass::kSlaveLabel));
    EXPECT_EQ("Vantrel", Label(master, 2, BissMasterClass::kManufacturerLabel));
    EXPECT_EQ("Manufacturer: Vantrel / Device: Kelto-44!", Label(master, 3, BissMasterClass::kCompleteLabel));
    EXPECT_EQ("Vantrel", Label(master, 3, BissMasterClass::kManufacturerLabel));
    EXPECT_EQ("Kelto-44", Label(master, 3, BissMasterClass::kSlaveLabel));

    ASSERT_EQ(1u, master.FileContents(0).size());
    EXPECT_EQ("MT", master.FileContents(0)[0].label);
    EXPECT_EQ(15, master.FileContents(0)[0].topBit);
    EXPECT_EQ("turns", master.FileContents(0)[0].unit);
    const std::vector<ScdContentXmlClass> &single = master.FileContents(1);
    ASSERT_EQ(3u, single.size());
    EXPECT_EQ("ST", single[0].label);
    EXPECT_EQ(25, single[0].topBit);
    EXPECT_EQ(2, single[0].bottomBit);
    EXPECT_EQ(100u, single[0].offset);
    EXPECT_EQ("deg", single[0].unit);
    EXPECT_EQ("nE", single[1].label);
    EXPECT_EQ(0, single[1].skip);
    EXPECT_EQ("nW", single[2].label);
    EXPECT_EQ(1, single[2].skip);
    EXPECT_EQ(1, single[2].zero);
    EXPECT_TRUE(master.FileContents(2).empty());
}

TEST(IdentifierFile, IdLinesCompareTheBitsOfTheirRange)
{
    const struct {
        const char *ids;
        uint8_t byte0;
        bool matches;
    } cases[] = {
        {"<Id Range=\"47:40\">0x5A</Id>\n", 0x5A, true},
        {"<Id Range=\"47:40\">0x5A</Id>\n", 0x5B, false},
        {"<Id Range=\"47:40\">0x5A</Id>\n", 0xDA, false},
        {"<Id Range=\"47:44\">0b1-0-</Id>\n", 0x90, true},
        {"<Id Range=\"47:44\">0b1-0-</Id>\n", 0xD3, true},
        {"<Id Range=\"47:44\">0b1-0-</Id>\n", 0xE0, false},
        {"<Id Range=\"47:44\">0b1-0-</Id>\n", 0x20, false},
        {"<Id Range=\"45:40\">0x16</Id>\n", 0xD6, true},  // six bits 010110: the first digit holds two
        {"<Id Range=\"45:40\">0x16</Id>\n", 0xF6, false},
        {"<Id>12345</Id>\n", 0x00, true},  // no prefix: nothing is compared
        {"<Id Range=\"47:40\">0x77</Id>\n<Id Range=\"47:40\">0x5A</Id>\n", 0x5A, true},
        {"<Id Range=\"47:40\">0x5A</Id>\n<Id Range=\"47:40\" type=\"exclude\">0x5A</Id>\n", 0x5A, false},
        {"<Id Range=\"47:40\" type=\"exclude\">0x5A</Id>\n<Id Range=\"47:40\">0x5A</Id>\n", 0x5A, false},
        {"<Id Range=\"47:40\">0x5A</Id>\n<Id Range=\"47:40\" type=\"exclude\">0x77</Id>\n", 0x5A, true},
        // Bits outside the identification bytes, or a range upside down, match no slave.
        {"<Id Range=\"63:56\">0x00</Id>\n", 0x5A, false},
        {"<Id Range=\"300:296\">0x0</Id>\n", 0x5A, false},
        {"<Id Range=\"40:47\">0x5A</Id>\n", 0x5A, false},
        {"<Id>0x5A2C000000004B56</Id>\n", 0x5A, true},  // all eight bytes, the manufacturer's included
        {"<Id>0x5A2C000000004B5600</Id>\n", 0x5A, false},
        {"<Id>0b01011010001011000000000000000000000000000000000001001011010101100</Id>\n", 0x5A, false},
    };
    for (const auto &c : cases) {
        BissMasterClass master;
        BissMasterClass::IdentificationBytes id = kKelto;
        id[0] = c.byte0;
        EXPECT_EQ(c.matches, ReadText(master, DeviceWithIds(c.ids), id)) << c.ids << " on " << int(c.byte0);
        EXPECT_EQ(c.matches ? "Manufacturer: Vantrel / Device: Match!" : "Manufacturer: Vantrel / Device unknown!",
                  Label(master, 0, BissMasterClass::kCompleteLabel));
    }
}

TEST(IdentifierFile, EverySectionOfADeviceKeepsItsOwnChannel)
{
    // Section position n lands on base + highest position - n, whatever order the file lists them in.
    const struct {
        const char *order;
        std::vector<int> positions;
    } orders[] = {{"rising", {0, 1, 2}}, {"falling", {2, 1, 0}}, {"mixed", {1, 0, 2}}, {"mixed", {0, 2, 1}}};
    for (uint8_t base : {0, 3}) {
        for (const auto &o : orders) {
            std::string sections;
            for (int position : o.positions) {
                char section[160];
                std::snprintf(section, sizeof section,
                              "<SCDS Pos=\"%d\">\n<Length>%d</Length>\n<CrcPoly>%d</CrcPoly>\n"
                              "<Label Pos=\"0\">S%d(7:0)</Label>\n</SCDS>\n",
                              position, 10 + position, 0x13 + position, position);
                sections += section;
            }
            BissMasterClass master;
            ASSERT_TRUE(ReadText(master, DeviceWithIds("<Id>0</Id>\n" + sections), kKelto, base)) << o.order;
            for (uint32_t position = 0; position < 3; ++position) {
                const uint32_t channel = base + 2 - position;
                EXPECT_EQ(10 + position, Detected(master, channel, eBISS_FP_SCD_LENGTH))
                    << o.order << " from base " << int(base) << ", position " << position;
                EXPECT_EQ(0x13 + position, Detected(master, channel, eBISS_FP_CRC_POLY)) << o.order;
                ASSERT_EQ(1u, master.FileContents(position).size());
                EXPECT_EQ("S" + std::to_string(position), master.FileContents(position)[0].label);
            }
            EXPECT_EQ(0u, Detected(master, base + 3u, eBISS_FP_SCD_LENGTH)) << o.order;
            EXPECT_EQ("Manufacturer: Vantrel / Device: Match!", Label(master, base + 2u, BissMasterClass::kCompleteLabel));
        }
    }
}

TEST(IdentifierFile, UnknownSlavesAreNamedByWhatMatched)
{
    BissMasterClass master;
    BissMasterClass::IdentificationBytes id = kKelto;
    id[6] = 0x12;
    id[7] = 0x34;
    OpenedTextFile other("data/two_devices_idbiss.xml");
    EXPECT_FALSE(master.ReadIdentifierFile(0, 1, id, *other));
    EXPECT_EQ("Unknown Manufacturer 0x1234!", Label(master, 1, BissMasterClass::kCompleteLabel));
    EXPECT_EQ("Unknown Manufacturer", Label(master, 1, BissMasterClass::kManufacturerLabel));
    EXPECT_EQ("Unknown Device", Label(master, 1, BissMasterClass::kSlaveLabel));
    EXPECT_EQ(0u, master.Params().Com(eBISS_CP_PROTOCOL));

    // A matching manufacturer without devices.
    EXPECT_FALSE(ReadText(master,
                          "<?xml?>\n<BiSS-Identifier>\n<Manufacturer Id=\"4B56\">\n<Label>Vantrel</Label>\n"
                          "</Manufacturer>\n</BiSS-Identifier>\n",
                          kKelto, 1));
    EXPECT_EQ("Manufacturer: Vantrel / Device unknown!", Label(master, 1, BissMasterClass::kCompleteLabel));
    EXPECT_EQ("Vantrel", Label(master, 1, BissMasterClass::kManufacturerLabel));
    EXPECT_EQ("Unknown Device", Label(master, 1, BissMasterClass::kSlaveLabel));
}

TEST(IdentifierFile, TheLastMatchingDeviceWinsAndLaterManufacturersStayOut)
{
    BissMasterClass master;
    OpenedTextFile file("data/two_devices_idbiss.xml");
    ASSERT_TRUE(master.ReadIdentifierFile(0, 0, kKelto, *file));
    EXPECT_EQ("Second", Label(master, 0, BissMasterClass::kSlaveLabel));
    EXPECT_EQ("Manufacturer: Vantrel / Device: Second!", Label(master, 0, BissMasterClass::kCompleteLabel));
}

TEST(IdentifierFile, LinesAreReadAsTheFormatSays)
{
    BissMasterClass master;
    // The first line is never examined: a root element there is not seen.
    EXPECT_FALSE(ReadText(master, "<BiSS-Identifier>\n<Manufacturer Id=\"4B56\">\n</BiSS-Identifier>\n", kKelto));
    EXPECT_EQ("", Label(master, 0, BissMasterClass::kCompleteLabel)) << "no root element: no labels";

    // Comments and blank lines vanish; parts join in position order; a section
    // without a Length leaves items without bits at the running length 0.
    ASSERT_TRUE(ReadText(master,
                         "<?xml?>\n<!-- a comment line -->\n\n<BiSS-Identifier>\n<Manufacturer Id=\"4B56\">\n"
                         "<Label>Vantrel</Label>\n<Device>\n<Id>0</Id>\n<Label Pos=\"1\">B</Label>\n"
                         "<Label Pos=\"0\">A</Label>   <!-- trailing -->\n<Sens>\n<Label Pos=\"0\">Pos</Label>\n"
                         "<Label Pos=\"1\" type=\"unused\"></Label>\n</Sens>\n</Device>\n</Manufacturer>\n"
                         "</BiSS-Identifier>\n",
                         kKelto));
    EXPECT_EQ("AB", Label(master, 0, BissMasterClass::kSlaveLabel));
    ASSERT_EQ(2u, master.FileContents(0).size());
    EXPECT_EQ(-1, master.FileContents(0)[0].topBit);
    EXPECT_EQ(0, master.FileContents(0)[0].bottomBit);
    EXPECT_EQ("unused", master.FileContents(0)[1].label);
    EXPECT_EQ(1u, master.Params().Com(eBISS_CP_PROTOCOL)) << "Sens sections leave the third protocol kind";
}

TEST(IdentifierFile, GarbledLinesAbandonTheReadWithoutNaming)
{
    const char *devices[] = {
        "<Sens>\n<Length>16\n</Sens>\n",                          // closing tag missing
        "<Sens>\n<Length>0b102</Length>\n</Sens>\n",              // not a binary number
        "<Sens>\n<Label Pos=\"0\">MT(15</Label>\n</Sens>\n",      // no colon in the bit range
        "<Sens>\n<Label Pos=\"0>MT(15:0)</Label>\n</Sens>\n",     // attribute without its closing quote
        "<Sens Pos=\"8\">\n</Sens>\n",                            // a section beyond the channels
        "<Sens>\n<Label Pos=\"4000000000\">MT(1:0)</Label>\n</Sens>\n",  // an item position beyond any list
        "<Reg>\n<CrcPoly Adr=\"0x40>0x13</CrcPoly>\n</Reg>\n",
        "<Sens>\n<Label Pos=\"0\">MT(0:15)</Label>\n</Sens>\n",     // top bit below the bottom bit
    };
    for (const char *device : devices) {
        BissMasterClass master;
        EXPECT_FALSE(ReadText(master,
                              "<?xml?>\n<BiSS-Identifier>\n<Manufacturer Id=\"4B56\">\n<Label>Vantrel</Label>\n"
                              "<Device>\n<Id>0</Id>\n" + std::string(device) +
                                  "</Device>\n</Manufacturer>\n</BiSS-Identifier>\n",
                              kKelto))
            << device;
        EXPECT_EQ("", Label(master, 0, BissMasterClass::kCompleteLabel)) << device;
        EXPECT_EQ("Vantrel", Label(master, 0, BissMasterClass::kManufacturerLabel)) << "what was read stays";
    }

    // A base channel of 7 has no room for a second section.
    BissMasterClass master;
    OpenedTextFile file("data/vantrel_idbiss.xml");
    EXPECT_FALSE(master.ReadIdentifierFile(0, 7, kKelto, *file));
}

TEST(IdentifierFile, EmptyAndMissingFilesReadFalse)
{
    BissMasterClass master;
    EXPECT_FALSE(ReadText(master, "", kKelto));
    EXPECT_FALSE(ReadText(master, "\n", kKelto));
    OpenedTextFile missing("data/no_such_idbiss.xml");
    EXPECT_FALSE(master.ReadIdentifierFile(0, 0, kKelto, *missing));
    // A file cut inside a device that is skipped.
    EXPECT_FALSE(ReadText(master, DeviceWithIds("<Id Range=\"47:40\">0x77</Id>\n").substr(0, 110), kKelto));
}

TEST(LineReading, NumbersBitFieldsAndTheLastLine)
{
    const struct {
        const wchar_t *text;
        bool fails;
        uint32_t value;
    } numbers[] = {
        {L"42", false, 42},       {L"  17xyz", false, 17}, {L"", false, 0},          {L"0x7C", false, 0x7C},
        {L"0xfffffffff", false, 0xFFFFFFFF}, {L"0b1011", false, 11}, {L"0b1x1", false, 5},
        {L"0b12", true, 0},       {L"0X10", false, 0},     {L"-1", false, 0xFFFFFFFF},
    };
    for (const auto &n : numbers) {
        uint32_t value = 0;
        EXPECT_EQ(n.fails, BissMasterClass::ParseNumberText(n.text, &value)) << n.text;
        if (!n.fails) {
            EXPECT_EQ(n.value, value) << n.text;
        }
    }

    const BissMasterClass::IdentificationBytes id = {0x5A, 0x2C, 0x80, 0, 0, 0, 0x4B, 0x56};
    using Form = BissMasterClass::IdBitForm;
    EXPECT_EQ(0x5A, BissMasterClass::ExtractIdBits(id, 0, 8, Form::kPosition));
    EXPECT_EQ(0xA2, BissMasterClass::ExtractIdBits(id, 4, 8, Form::kPosition));
    EXPECT_EQ(0x2C, BissMasterClass::ExtractIdBits(id, 0, 16, Form::kPosition)) << "only the low 8 bits are kept";
    EXPECT_EQ(0x56, BissMasterClass::ExtractIdBits(id, 56, 8, Form::kPosition));
    EXPECT_EQ(0x00, BissMasterClass::ExtractIdBits(id, 64, 8, Form::kPosition));
    EXPECT_EQ(0x08, BissMasterClass::ExtractIdBits(id, 62, 4, Form::kPosition)) << "bits past the bytes read 0";
    EXPECT_EQ(0x5A, BissMasterClass::ExtractIdBits(id, 15, 8, Form::kBitNumber));
    EXPECT_EQ(0x2C, BissMasterClass::ExtractIdBits(id, 7, 8, Form::kBitNumber));
    EXPECT_EQ(0xC0, BissMasterClass::ExtractIdBits(id, 3, 8, Form::kBitNumber)) << "bits below bit 0 read 0";

    ScratchFile three("three.txt", "a\nb\nc\n");
    OpenedTextFile file(three.Path());
    ASSERT_EQ(3u, file->GetLineCount());
    file->GoToLine(0);
    EXPECT_FALSE(BissMasterClass::IsAtLastLine(*file));
    file->GoToLine(1);
    EXPECT_FALSE(BissMasterClass::IsAtLastLine(*file));
    file->GoToLine(2);
    EXPECT_TRUE(BissMasterClass::IsAtLastLine(*file));
    EXPECT_EQ(wxString(), BissMasterClass::NextContentLine(*file)) << "nothing past the last line";
    EXPECT_EQ(2u, file->GetCurrentLine());
    ScratchFile empty("empty.txt", "");
    OpenedTextFile none(empty.Path());
    EXPECT_TRUE(BissMasterClass::IsAtLastLine(*none));
}

} // namespace
