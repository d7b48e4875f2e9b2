// The profile file reader.
#include <gtest/gtest.h>

#include <string>

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
// Profile identifier 0x010E: profile byte 1 holds the single-turn resolution 14.
const BissMasterClass::IdentificationBytes kProfile = {0x01, 0x0E};

std::string Label(const BissMasterClass &master, uint32_t channel, uint32_t kind)
{
    return master.GetChannelLabel(channel, kind, kDetected);
}

bool ReadText(BissMasterClass &master, const std::string &text, const BissMasterClass::IdentificationBytes &id)
{
    ScratchFile scratch("case_profile.xml", text);
    OpenedTextFile file(scratch.Path());
    return master.ReadProfileFile(0, 0, id, *file);
}

std::string OneDevice(const std::string &content)
{
    return "<?xml?>\n<BiSS-Identifier>\n<Profile>\n<Device>\n" + content + "</Device>\n</Profile>\n</BiSS-Identifier>\n";
}

TEST(ProfileFile, TheMatchingProfileDescribesTheBaseChannel)
{
    BissMasterClass master;
    master.Params().SetFrameParam(4, eBISS_FP_CRC_INVERT, 0, kDetected);
    OpenedTextFile file("data/kelto_profile.xml");
    ASSERT_TRUE(master.ReadProfileFile(0, 4, kProfile, *file)) << "the second profile matches; a comment follows the end";

    EXPECT_EQ(26u, master.Params().Frame(4, eBISS_FP_SCD_LENGTH, kDetected)) << "24, then 2 more";
    EXPECT_EQ(0x43u, master.Params().Frame(4, eBISS_FP_CRC_POLY, kDetected));
    EXPECT_EQ(1u, master.Params().Frame(4, eBISS_FP_CRC_INVERT, kDetected));
    EXPECT_EQ(0u, master.Params().Com(eBISS_CP_PROTOCOL));
    EXPECT_EQ("BP1-1", Label(master, 4, BissMasterClass::kSlaveLabel)) << "append_id: bits 15..8 of the profile";
    EXPECT_EQ("Device: BP1-1!", Label(master, 4, BissMasterClass::kCompleteLabel));

    const std::vector<ScdContentXmlClass> &items = master.FileContents(0);
    ASSERT_EQ(3u, items.size());
    EXPECT_EQ("ST", items[0].label);
    EXPECT_EQ(23, items[0].topBit);
    EXPECT_EQ(10, items[0].bottomBit);
    EXPECT_EQ(16384u, items[0].scale);
    EXPECT_EQ("nE", items[1].label);
    EXPECT_EQ(16384u, items[1].scale) << "the scale stays for the items that follow";
    EXPECT_EQ("nW", items[2].label);
    EXPECT_EQ(1, items[2].topBit) << "placed by the running length of the incremental Length";
    EXPECT_EQ(0, items[2].bottomBit);
}

TEST(ProfileFile, IdLinesCompareTheSixteenBitProfile)
{
    const struct {
        BissMasterClass::IdentificationBytes id;
        bool matches;
    } cases[] = {
        {{0x01, 0x23}, true}, {{0x01, 0x22}, false}, {{0x11, 0x23}, false}, {{0x01, 0x23, 0xFF}, true},
    };
    for (const auto &c : cases) {
        BissMasterClass master;
        EXPECT_EQ(c.matches, ReadText(master, OneDevice("<Id Range=\"15:0\">0x0123</Id>\n<Label>P</Label>\n"), c.id))
            << std::hex << int(c.id[0]) << " " << int(c.id[1]);
        EXPECT_EQ(c.matches ? "Device: P!" : "Manufacturer:  / Device unknown!",
                  Label(master, 0, BissMasterClass::kCompleteLabel));
    }
}

TEST(ProfileFile, ARangeBeyondTheSixteenBitsMatchesNoSlave)
{
    for (const char *id : {"<Id Range=\"23:16\">0x00</Id>\n", "<Id Range=\"0:15\">0x0123</Id>\n",
                           "<Id>0x012300</Id>\n"}) {
        BissMasterClass master;
        EXPECT_FALSE(ReadText(master, OneDevice(std::string(id) + "<Label>P</Label>\n"), {0x01, 0x23})) << id;
    }
}

TEST(ProfileFile, AnItemNamedAgainContinuesTheOneBefore)
{
    BissMasterClass master;
    ASSERT_TRUE(ReadText(master,
                         OneDevice("<Id>0</Id>\n<SCDS>\n<Length>16</Length>\n<Label Pos=\"0\">A(15:8)</Label>\n"
                                   "<Label Pos=\"0\">A</Label>\n<Length type=\"decremental\">4</Length>\n"
                                   "<Label Pos=\"1\" type=\"unused\"></Label>\n</SCDS>\n"),
                         kProfile));
    const std::vector<ScdContentXmlClass> &items = master.FileContents(0);
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(31, items[0].topBit);
    EXPECT_EQ(8, items[0].bottomBit);
    // Decremental: the running length falls by the value (16 - 4), the length too.
    EXPECT_EQ(12u, master.Params().Frame(0, eBISS_FP_SCD_LENGTH, kDetected));
    EXPECT_EQ("unused", items[1].label);
    EXPECT_EQ(11, items[1].topBit);
    EXPECT_EQ(1, items[1].skip);
}

TEST(ProfileFile, FilesWithoutAMatchingDescription)
{
    BissMasterClass master;
    EXPECT_FALSE(ReadText(master, "<?xml?>\n<Profile>\n</Profile>\n", kProfile)) << "no root element";
    EXPECT_EQ("", Label(master, 0, BissMasterClass::kCompleteLabel));

    EXPECT_FALSE(ReadText(master, "<?xml?>\n<BiSS-Identifier>\n</BiSS-Identifier>\n", kProfile));
    EXPECT_EQ("Unknown Manufacturer 0x0000!", Label(master, 0, BissMasterClass::kCompleteLabel));
    EXPECT_EQ("Unknown Device", Label(master, 0, BissMasterClass::kSlaveLabel));

    // A profile without devices, and a file that ends before the description does.
    EXPECT_FALSE(ReadText(master, "<?xml?>\n<BiSS-Identifier>\n<Profile>\n</Profile>\n</BiSS-Identifier>\n",
                          kProfile));
    EXPECT_EQ("Manufacturer: Unknown Manufacturer / Device unknown!", Label(master, 0, BissMasterClass::kCompleteLabel));
    EXPECT_FALSE(ReadText(master, "<?xml?>\n<BiSS-Identifier>\n<Profile>\n<Device>\n<Id>0</Id>\n", kProfile));

    // Garbled lines abandon the read.
    EXPECT_FALSE(ReadText(master, OneDevice("<Id>0</Id>\n<SCDS>\n<Length>0b2</Length>\n</SCDS>\n"), kProfile));
    EXPECT_FALSE(ReadText(master, OneDevice("<Id>0</Id>\n<SCDS>\n<Label>ST(23</Label>\n</SCDS>\n"), kProfile));
    EXPECT_FALSE(ReadText(master, OneDevice("<Id Range=\"15\">0x01</Id>\n"), kProfile));
    EXPECT_FALSE(ReadText(master, "", kProfile));
}

} // namespace
