// The configuration XML file through the exports, with real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "HandleFixtures.h"

namespace {

namespace fs = std::filesystem;

class ConfigFileTest : public ferrolink_test::ScratchFolderTest {
protected:
    int Save(BISS_U32 handle, const char *name) { return BISS(BISS_SaveDLLConfig)(handle, PathOf(name).c_str()); }
    int Load(BISS_U32 handle, const char *name) { return BISS(BISS_LoadDLLConfig)(handle, PathOf(name).c_str()); }

    // The document a new master saves, to be varied by the cases.
    std::string FreshDocument()
    {
        BISS_U32 fresh = 0;
        EXPECT_EQ(0, BISS(BISS_Open)(&fresh));
        EXPECT_EQ(0, Save(fresh, "fresh.xml"));
        BISS(BISS_Close)(fresh);
        return ReadText("fresh.xml");
    }

    BISS_U32 Com(BISS_U32 handle, BISS_U32 index)
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetComParam)(handle, index, &value));
        return value;
    }

    BISS_U32 Frame(BISS_U32 handle, BISS_U32 channel, BISS_U32 index)
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle, channel, index, &value));
        return value;
    }
};

std::string Replace(std::string text, const std::string &from, const std::string &to)
{
    const size_t at = text.find(from);
    EXPECT_NE(std::string::npos, at) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

TEST_F(ConfigFileTest, ANewMasterSavesTheFixedLayout)
{
    ASSERT_EQ(0, Save(handle_, "new.xml"));
    const std::string text = ReadText("new.xml");
    EXPECT_EQ(147, std::count(text.begin(), text.end(), '\n'));
    EXPECT_EQ(std::string::npos, text.find('\r')) << "line feeds only";

    const std::string head = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                             "<!DOCTYPE BiSS-Configuration SYSTEM \"bisscfg.dtd\">\n"
                             "<BiSS-Configuration Version=\"1.0\">\n"
                             " <BISS_ComParamEnum>\n"
                             "  <Value>0x00</Value>\n"
                             "  <Value>0x00</Value>\n"
                             "  <Value>0x00</Value>\n"
                             "  <Value>0x00</Value>\n"
                             "  <Value>0x04</Value>\n"
                             "  <Value>0x02</Value>\n"
                             "  <Value>0x7C</Value>\n";
    EXPECT_EQ(head, text.substr(0, head.size()));
    const std::string channel = " </BISS_ComParamEnum>\n"
                                " <Datachannel>\n"
                                "  <SlaveLabel></SlaveLabel>\n"
                                "  <ManufacturerLabel></ManufacturerLabel>\n"
                                "  <BISS_FrameParamEnum>\n"
                                "   <Value>0x00</Value>\n";
    EXPECT_NE(std::string::npos, text.find(channel));
    EXPECT_EQ(" </Datachannel>\n</BiSS-Configuration>\n", text.substr(text.size() - 38));
}

TEST_F(ConfigFileTest, ALoadRestoresWhatWasSaved)
{
    const struct { BISS_U32 index, value; } coms[] = {
        {2, 2}, {3, 1}, {4, 7}, {5, 3}, {6, 1000}, {7, 1}, {8, 0x42}, {9, 1}, {10, 0x5A},
        {11, 1}, {12, 9}, {15, 1}, {16, 40}, {17, 2}, {18, 1}, {19, 1},
    };
    for (const auto &c : coms)
        ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, c.index, c.value));
    for (BISS_U32 index = 0; index < 9; ++index) {
        if (index != eBISS_FP_CONTENT_COUNT) {
            ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 1, index, 10 + index));
        }
    }
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 6, eBISS_FP_SCD_LENGTH, 24));
    ASSERT_EQ(0, BISS(BISS_SetSlaveLabel)(handle_, 1, "Vantrel M\xFCller", "Kelto,serial 7", "gone on save"));
    ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 1, 0, "Position", "deg"));
    ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 1, 1, "Error", ""));
    const BissScdContentParams position = {0, 22, 0, 0}, error = {1, 1, 0, 0};
    ASSERT_EQ(0, BISS(BISS_SetScdContentParams)(handle_, 1, 0, &position));
    ASSERT_EQ(0, BISS(BISS_SetScdContentParams)(handle_, 1, 1, &error));
    ASSERT_EQ(0, Save(handle_, "full.xml"));
    EXPECT_NE(std::string::npos, ReadText("full.xml").find("  <Value>0x3E8</Value>\n"));
    EXPECT_NE(std::string::npos, ReadText("full.xml").find("  <ContentLabel Len=\"22\">Position</ContentLabel>\n"));

    BISS_U32 other = 0;
    ASSERT_EQ(0, BISS(BISS_Open)(&other));
    ASSERT_EQ(0, Load(other, "full.xml"));
    for (const auto &c : coms)
        EXPECT_EQ(c.value, Com(other, c.index)) << "com " << c.index;
    EXPECT_EQ(7u, Com(other, eBISS_CP_CHANNEL_COUNT));
    for (BISS_U32 index = 0; index < 9; ++index)
        EXPECT_EQ(index == eBISS_FP_CONTENT_COUNT ? 2u : 10 + index, Frame(other, 1, index)) << "frame " << index;
    EXPECT_EQ(24u, Frame(other, 6, eBISS_FP_SCD_LENGTH));

    char manufacturer[64], slave[64], complete[64];
    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(other, 1, manufacturer, slave, complete));
    EXPECT_STREQ("Vantrel M\xFCller", manufacturer) << "single-byte texts come back as they were";
    EXPECT_STREQ("Kelto", slave);
    EXPECT_STREQ("", complete);

    char label[64], unit[64];
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(other, 1, 0, label, unit));
    EXPECT_STREQ("Position", label);
    EXPECT_STREQ("", unit) << "units are not saved";
    BissScdContentParams params{};
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(other, 1, 0, &params));
    EXPECT_EQ(22u, params.ulBitLength);
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(other, 1, 1, &params));
    EXPECT_EQ(1u, params.ulBitLength);
    EXPECT_EQ(0u, params.ulFlag) << "only the bit length comes from the file";
    BISS(BISS_Close)(other);

    // Loading into the master that saved keeps what the file does not hold.
    ASSERT_EQ(0, Load(handle_, "full.xml"));
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(handle_, 1, 1, &params));
    EXPECT_EQ(1u, params.ulFlag);
}

TEST_F(ConfigFileTest, TheReaderToleratesWhatTheLayoutLeavesOpen)
{
    const std::string fresh = FreshDocument();
    const struct {
        const char *what;
        std::string text;
    } cases[] = {
        {"comments and blank lines",
         Replace(Replace(fresh, " <BISS_ComParamEnum>\n", "\n <BISS_ComParamEnum> <!-- parameters -->\n\n"),
                 "  <SlaveLabel></SlaveLabel>\n", "<!--\n  <SlaveLabel></SlaveLabel>\n")},
        {"another version", Replace(fresh, "Version=\"1.0\"", "Version=\"7.3\"")},
        {"a 22nd parameter", Replace(fresh, " </BISS_ComParamEnum>", "  <Value>0x01</Value>\n </BISS_ComParamEnum>")},
        {"a 10th frame parameter",
         Replace(fresh, "  </BISS_FrameParamEnum>", "   <Value>0x01</Value>\n  </BISS_FrameParamEnum>")},
        {"a content label without Len",
         Replace(fresh, "  </BISS_FrameParamEnum>\n", "  </BISS_FrameParamEnum>\n  <ContentLabel>Bare</ContentLabel>\n")},
        {"a ninth channel",
         Replace(fresh, "</BiSS-Configuration>", " <Datachannel>\n  <BISS_FrameParamEnum>\n   <Value>0x10</Value>\n"
                                                 "  </BISS_FrameParamEnum>\n  <ContentLabel Len=\"3\">x</ContentLabel>\n"
                                                 " </Datachannel>\n</BiSS-Configuration>")},
        {"a root end line with a comment", Replace(fresh, "</BiSS-Configuration>\n", "</BiSS-Configuration> <!-- end -->")},
    };
    for (const auto &c : cases) {
        WriteText("case.xml", c.text);
        EXPECT_EQ(0, Load(handle_, "case.xml")) << c.what;
    }
    char label[64], unit[64];
    BissScdContentParams params{};
    WriteText("bare.xml", cases[4].text);
    ASSERT_EQ(0, Load(handle_, "bare.xml"));
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, 0, 0, label, unit));
    EXPECT_STREQ("Bare", label);
    ASSERT_EQ(0, BISS(BISS_GetScdContentParams)(handle_, 0, 0, &params));
    EXPECT_EQ(0u, params.ulBitLength);
}

TEST_F(ConfigFileTest, GarbledDocumentsGiveFormatErrors)
{
    const std::string fresh = FreshDocument();
    const size_t lastChannel = fresh.rfind("</Datachannel>\n") + 15;
    const struct {
        const char *what;
        std::string text;
    } cases[] = {
        {"empty file", ""},
        {"no root element", "<?xml?>\n<Other>\n</Other>\n"},
        {"root element on the first line, never examined", fresh.substr(fresh.find("<BiSS-Configuration"))},
        {"no parameter block", "<?xml?>\n<BiSS-Configuration>\n</BiSS-Configuration>\n"},
        {"last line a closing Datachannel", fresh.substr(0, lastChannel)},
        {"empty line after the root end", fresh + "\n"},
        {"text after the root end", fresh + "<Extra/>\n"},
        {"a last line that opens a channel", fresh.substr(0, lastChannel) + " <Datachannel>\n"},
        {"a value that does not parse", Replace(fresh, "<Value>0x7C</Value>", "<Value>0b12</Value>")},
        {"a value without its closing tag", Replace(fresh, "<Value>0x7C</Value>", "<Value>0x7C")},
        {"a label without its closing tag", Replace(fresh, "<SlaveLabel></SlaveLabel>", "<SlaveLabel>")},
        {"a last channel without frame parameters",
         fresh.substr(0, fresh.rfind("  <BISS_FrameParamEnum>\n")) + " </Datachannel>\n</BiSS-Configuration>\n"},
    };
    for (const auto &c : cases) {
        WriteText("bad.xml", c.text);
        EXPECT_EQ(eBISS_FILE_FORMAT, Load(handle_, "bad.xml")) << c.what;
    }

}

TEST_F(ConfigFileTest, AFailedLoadLeavesTheMasterAsItWas)
{
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_AGS, 0x55));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 2, eBISS_FP_SCD_LENGTH, 30));
    ASSERT_EQ(0, BISS(BISS_SetSlaveLabel)(handle_, 0, "Before", "Kept", ""));
    ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 0, 0, "Item", "mm"));

    // A document that sets parameters, labels and content of channel 0 before it breaks in channel 1.
    const std::string fresh = FreshDocument();
    std::string broken = Replace(fresh, "<Value>0x7C</Value>", "<Value>0x33</Value>");
    broken = Replace(broken, "  <SlaveLabel></SlaveLabel>\n  <ManufacturerLabel></ManufacturerLabel>",
                     "  <SlaveLabel>Loaded</SlaveLabel>\n  <ManufacturerLabel>Half</ManufacturerLabel>");
    broken = Replace(broken, "  </BISS_FrameParamEnum>\n",
                     "  </BISS_FrameParamEnum>\n  <ContentLabel Len=\"9\">New</ContentLabel>\n");
    const size_t second = broken.find("<SlaveLabel></SlaveLabel>");
    ASSERT_NE(std::string::npos, second);
    broken.replace(second, 25, "<SlaveLabel>");
    WriteText("partial.xml", broken);
    EXPECT_EQ(eBISS_FILE_FORMAT, Load(handle_, "partial.xml"));

    EXPECT_EQ(0x55u, Com(handle_, eBISS_CP_FREQ_AGS));
    EXPECT_EQ(3u, Com(handle_, eBISS_CP_CHANNEL_COUNT));
    EXPECT_EQ(30u, Frame(handle_, 2, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(1u, Frame(handle_, 0, eBISS_FP_CONTENT_COUNT));
    char manufacturer[64], slave[64], complete[64], label[64], unit[64];
    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, 0, manufacturer, slave, complete));
    EXPECT_STREQ("Before", manufacturer);
    EXPECT_STREQ("Kept", slave);
    ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, 0, 0, label, unit));
    EXPECT_STREQ("Item", label);
    EXPECT_STREQ("mm", unit);

    // The same document without the break loads whole.
    WriteText("whole.xml", Replace(broken, "<SlaveLabel>\n", "<SlaveLabel></SlaveLabel>\n"));
    ASSERT_EQ(0, Load(handle_, "whole.xml"));
    EXPECT_EQ(0x33u, Com(handle_, eBISS_CP_FREQ_AGS));
    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, 0, manufacturer, slave, complete));
    EXPECT_STREQ("Loaded", slave);
}

TEST_F(ConfigFileTest, EveryLabelComesBackAsItWasSaved)
{
    // Texts the line reader would take for markup, comments or line ends.
    const std::string hostile[] = {
        "a<!--b",
        "line\nfeed",
        "carriage\rreturn",
        "x</BiSS-Configuration>",
        "p</ContentLabel>q",
        "<Datachannel>",
        "s</SlaveLabel>t</ManufacturerLabel>",
        "&lt; stays &amp; as typed &#65;",
        "tab\tand trailing blanks  ",
        "\xC3\xA9 and \xE9 and \x7F\x01",
    };
    BISS_U32 other = 0;
    ASSERT_EQ(0, BISS(BISS_Open)(&other));
    for (const std::string &text : hostile) {
        SCOPED_TRACE(text);
        ASSERT_EQ(0, BISS(BISS_SetSlaveLabel)(handle_, 3, text.c_str(), text.c_str(), ""));
        ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 3, 1, text.c_str(), ""));
        ASSERT_EQ(0, Save(handle_, "labels.xml"));
        ASSERT_EQ(0, Load(other, "labels.xml"));
        char manufacturer[128], slave[128], complete[128], label[128], unit[128];
        ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(other, 3, manufacturer, slave, complete));
        EXPECT_EQ(text, manufacturer);
        EXPECT_EQ(text, slave);
        ASSERT_EQ(0, BISS(BISS_GetScdContentLabels)(other, 3, 1, label, unit));
        EXPECT_EQ(text, label);
        EXPECT_EQ(2u, Frame(other, 3, eBISS_FP_CONTENT_COUNT));
    }
    BISS(BISS_Close)(other);

    // Files with plain labels, as earlier versions wrote them, read the same as before.
    WriteText("plain.xml",
              Replace(FreshDocument(), "<SlaveLabel></SlaveLabel>", "<SlaveLabel>A & B > C</SlaveLabel>"));
    ASSERT_EQ(0, Load(handle_, "plain.xml"));
    char manufacturer[64], slave[64], complete[64];
    ASSERT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, 0, manufacturer, slave, complete));
    EXPECT_STREQ("A & B > C", slave);
}

TEST_F(ConfigFileTest, BadArgumentsAndMissingFilesGiveCodes)
{
    EXPECT_EQ(eBISS_FILE_NOT_FOUND, Load(handle_, "missing.xml"));
    EXPECT_EQ(eBISS_FILE_NOT_FOUND, BISS(BISS_LoadDLLConfig)(handle_, ""));
    EXPECT_EQ(eBISS_FILE_NOT_FOUND, BISS(BISS_LoadDLLConfig)(handle_, folder_.string().c_str())) << "a folder";
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_LoadDLLConfig)(handle_, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SaveDLLConfig)(handle_, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SaveDLLConfig)(handle_, (folder_ / "no" / "x.xml").string().c_str()));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SaveDLLConfig)(0, PathOf("x.xml").c_str()));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_LoadDLLConfig)(257, PathOf("x.xml").c_str()));
    EXPECT_FALSE(fs::exists(PathOf("x.xml")));

    BISS_U32 code = 0, level = 0;
    char text[BISS_ERROR_TEXT_SIZE];
    BISS(BISS_GetLastError)(handle_, &code, &level, text);
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_INVALID_PARAMETER), code);
}

} // namespace
