// Intel HEX register images and the CRC, through the exports, with real files.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "HandleFixtures.h"

namespace {

namespace fs = std::filesystem;

const std::string kEnd = ":00000001FF\r\n";

class FilesTest : public ferrolink_test::ScratchFolderTest {
protected:
    int Save(const char *name, BISS_U32 start, const std::vector<BISS_U32> &data)
    {
        const std::string path = PathOf(name);
        return BISS(BISS_SaveRegister)(handle_, path.c_str(), start, static_cast<BISS_U32>(data.size()),
                                       data.data());
    }

    // Loads count bytes into elements that start as 0xEEEE, so untouched ones show.
    int Load(const char *name, BISS_U32 start, BISS_U32 count, std::vector<BISS_U32> *data)
    {
        data->assign(count, 0xEEEE);
        const std::string path = PathOf(name);
        return BISS(BISS_LoadRegister)(handle_, path.c_str(), start, count, data->data());
    }


};

TEST_F(FilesTest, SavedFilesHoldTheDocumentedRecords)
{
    ASSERT_EQ(0, Save("three.hex", 0, {0x01, 0x02, 0x03}));
    EXPECT_EQ(":03000000010203F7\r\n" + kEnd, ReadText("three.hex"));

    // Values are written as their low 8 bits.
    ASSERT_EQ(0, Save("low.hex", 0, {0x1FF}));
    EXPECT_EQ(":01000000FF00\r\n" + kEnd, ReadText("low.hex"));

    std::vector<BISS_U32> twenty;
    for (BISS_U32 i = 0; i < 20; ++i)
        twenty.push_back(i);
    ASSERT_EQ(0, Save("twenty.hex", 0, twenty));
    EXPECT_EQ(":10000000000102030405060708090A0B0C0D0E0F78\r\n"
              ":0400100010111213A6\r\n" + kEnd,
              ReadText("twenty.hex"));
}

TEST_F(FilesTest, ASaveFillsGapsWithFFAndKeepsTheBytesOfTheFileItReplaces)
{
    ASSERT_EQ(0, Save("merge.hex", 4, {0xAA, 0xBB}));
    EXPECT_EQ(":06000000FFFFFFFFAABB99\r\n" + kEnd, ReadText("merge.hex"));
    ASSERT_EQ(0, Save("merge.hex", 0, {0x11}));
    EXPECT_EQ(":0600000011FFFFFFAABB87\r\n" + kEnd, ReadText("merge.hex"));

    // A file that does not read is replaced, not refused.
    WriteText("broken.hex", "not a hex file\r\n");
    ASSERT_EQ(0, Save("broken.hex", 1, {0x42}));
    EXPECT_EQ(":02000000FF42BD\r\n" + kEnd, ReadText("broken.hex"));
}

TEST_F(FilesTest, WhatWasSavedLoadsBackAtAnyOffset)
{
    std::vector<BISS_U32> bytes;
    for (BISS_U32 i = 0; i < 100; ++i)
        bytes.push_back((i * 37 + 5) & 0xFF);
    ASSERT_EQ(0, Save("round.hex", 300, bytes));

    std::vector<BISS_U32> back;
    ASSERT_EQ(0, Load("round.hex", 300, 100, &back));
    EXPECT_EQ(bytes, back);
    ASSERT_EQ(0, Load("round.hex", 350, 10, &back));
    EXPECT_EQ(std::vector<BISS_U32>(bytes.begin() + 50, bytes.begin() + 60), back);
    ASSERT_EQ(0, Load("round.hex", 0, 3, &back));
    EXPECT_EQ((std::vector<BISS_U32>{0xFF, 0xFF, 0xFF}), back);

    // The last addresses of the image.
    ASSERT_EQ(0, Save("top.hex", 39998, {0x12, 0x34}));
    ASSERT_EQ(0, Load("top.hex", 39998, 2, &back));
    EXPECT_EQ((std::vector<BISS_U32>{0x12, 0x34}), back);
}

TEST_F(FilesTest, ALoadStopsAtTheFirstAddressTheFileLacks)
{
    WriteText("short.hex", ":0400000001020304F2\r\n" + kEnd);
    std::vector<BISS_U32> data;
    EXPECT_EQ(eBISS_FILE_FORMAT, Load("short.hex", 0, 8, &data));
    EXPECT_EQ((std::vector<BISS_U32>{1, 2, 3, 4, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE}), data);
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_FILE_FORMAT), LastCode());
}

// Records of any size, in any order, at any address: each lands at its own address.
TEST_F(FilesTest, RecordsOfOtherSizesAndOrderLoadWhole)
{
    WriteText("foreign.hex",
              ":0800080008090A0B0C0D0E0F94\n"  // second half first, line end without CR
              ":080000000001020304050607DC\n"
              ":20001000101112131415161718191A1B1C1D1E1F202122232425262728292A2B2C2D2E2FE0\n"
              ":00000001FF\n");
    std::vector<BISS_U32> data;
    ASSERT_EQ(0, Load("foreign.hex", 0, 0x30, &data));
    for (BISS_U32 i = 0; i < 0x30; ++i)
        EXPECT_EQ(i, data[i]) << i;

    WriteText("lower.hex", ":03000000abcdef96\r\n:00000001FF\r\n");
    ASSERT_EQ(0, Load("lower.hex", 0, 3, &data));
    EXPECT_EQ((std::vector<BISS_U32>{0xAB, 0xCD, 0xEF}), data);
}

TEST_F(FilesTest, FilesThatAreNotImagesGiveFormatErrors)
{
    const struct {
        const char *what;
        std::string text;
    } cases[] = {
        {"only the end record", kEnd},
        {"empty file", ""},
        {"checksum wrong", ":03000000010203F8\r\n" + kEnd},
        {"record type 04", ":020000040000FA\r\n" + kEnd},
        {"line without colon", "03000000010203F7\r\n" + kEnd},
        {"empty line", ":03000000010203F7\r\n\r\n" + kEnd},
        {"no end record", ":03000000010203F7\r\n"},
        {"record shorter than its count", ":05000000010203F7\r\n" + kEnd},
        {"not hexadecimal", ":0300000001G203F7\r\n" + kEnd},
        {"record reaching address 40000", ":029C3F00010220\r\n" + kEnd},
        {"line longer than 255 characters", ":7F000000" + std::string(254, '0') + "81\r\n" + kEnd},
    };
    for (const auto &c : cases) {
        WriteText("bad.hex", c.text);
        std::vector<BISS_U32> data;
        EXPECT_EQ(eBISS_FILE_FORMAT, Load("bad.hex", 0, 1, &data)) << c.what;
    }

    // The first byte of the image lies at 39999 and is accepted there.
    WriteText("edge.hex", ":019C3F00AA7A\r\n" + kEnd);
    std::vector<BISS_U32> data;
    EXPECT_EQ(0, Load("edge.hex", 39999, 1, &data));
    EXPECT_EQ(0xAAu, data[0]);
}

TEST_F(FilesTest, BadArgumentsAndMissingFilesGiveCodes)
{
    std::vector<BISS_U32> data;
    EXPECT_EQ(eBISS_FILE_NOT_FOUND, Load("missing.hex", 0, 1, &data));
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_FILE_NOT_FOUND), LastCode());

    ASSERT_EQ(0, Save("ok.hex", 0, {1, 2}));
    const std::string path = PathOf("ok.hex");
    const BISS_U32 one = 1;
    BISS_U32 out = 0;
    auto save = BISS(BISS_SaveRegister);
    auto load = BISS(BISS_LoadRegister);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, save(handle_, nullptr, 0, 1, &one));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, save(handle_, path.c_str(), 0, 1, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, save(handle_, path.c_str(), 39999, 2, &one));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, save(handle_, path.c_str(), 0xFFFFFFFF, 2, &one)) << "start + count wraps";
    EXPECT_EQ(eBISS_INVALID_PARAMETER, load(handle_, nullptr, 0, 1, &out));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, load(handle_, path.c_str(), 0, 1, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, load(handle_, path.c_str(), 39999, 2, &out));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, load(handle_, path.c_str(), 0xFFFFFFFF, 2, &out));
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_INVALID_PARAMETER), LastCode());
    EXPECT_EQ(":020000000102FB\r\n" + kEnd, ReadText("ok.hex")) << "refused saves leave the file alone";

    // A folder in place of the file, and a folder that does not exist.
    fs::create_directories(folder_ / "folder.hex");
    EXPECT_EQ(eBISS_FILE_PERMISSION, Save("folder.hex", 0, {1}));
    EXPECT_EQ(eBISS_FILE_PERMISSION, Save("no such folder\\x.hex", 0, {1}));
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_FILE_PERMISSION), LastCode());

    for (BISS_U32 bad : {0ul, 257ul}) {
        EXPECT_EQ(eBISS_INVALID_HANDLE, save(bad, path.c_str(), 0, 1, &one));
        EXPECT_EQ(eBISS_INVALID_HANDLE, load(bad, path.c_str(), 0, 1, &out));
        EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_CalculateCRC)(bad, 0x43, &one, 1, &out));
    }
}

BISS_U32 Crc(BISS_U32 handle, BISS_U32 polynomial, const std::string &text)
{
    const std::vector<BISS_U32> data(text.begin(), text.end());
    BISS_U32 crc = 0xDEAD;
    EXPECT_EQ(0, BISS(BISS_CalculateCRC)(handle, polynomial, data.data(), static_cast<BISS_U32>(data.size()), &crc));
    return crc;
}

TEST_F(FilesTest, CrcOfKnownInputs)
{
    EXPECT_EQ(0x0Eu, Crc(handle_, 0x43, "abc"));
    EXPECT_EQ(0x5Fu, Crc(handle_, 0x107, "abc"));
    EXPECT_EQ(0u, Crc(handle_, 0x43, ""));
    // Published check values of the common CRC-8 (0x07) and CRC-15/CAN (0x4599).
    EXPECT_EQ(0xF4u, Crc(handle_, 0x107, "123456789"));
    EXPECT_EQ(0x059Eu, Crc(handle_, 0xC599, "123456789"));
    // A polynomial without bit 0 still feeds bit 0.
    EXPECT_EQ(Crc(handle_, 0x43, "abc"), Crc(handle_, 0x42, "abc"));
    // Only the low 8 bits of each element are data.
    const BISS_U32 wide[] = {0x361, 0x162, 0xF63};
    BISS_U32 crc = 0;
    ASSERT_EQ(0, BISS(BISS_CalculateCRC)(handle_, 0x43, wide, 3, &crc));
    EXPECT_EQ(0x0Eu, crc);
    // No CRC bits for polynomials 0 and 1.
    EXPECT_EQ(0u, Crc(handle_, 0, "abc"));
    EXPECT_EQ(0u, Crc(handle_, 1, "abc"));
}

TEST_F(FilesTest, CrcRunsOverMoreThan255Bytes)
{
    // An 8-bit CRC appended to its data makes the CRC of the whole run 0.
    std::vector<BISS_U32> data;
    for (BISS_U32 i = 0; i < 1000; ++i)
        data.push_back((i * 131 + 7) & 0xFF);
    BISS_U32 crc = 0;
    ASSERT_EQ(0, BISS(BISS_CalculateCRC)(handle_, 0x107, data.data(), 1000, &crc));
    data.push_back(crc);
    ASSERT_EQ(0, BISS(BISS_CalculateCRC)(handle_, 0x107, data.data(), 1001, &crc));
    EXPECT_EQ(0u, crc);
}

TEST_F(FilesTest, CrcRefusesWhatItCannotCompute)
{
    const BISS_U32 one = 1;
    BISS_U32 crc = 0xDEAD;
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_CalculateCRC)(handle_, 0x10043, &one, 1, &crc));
    EXPECT_EQ(0u, crc);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_CalculateCRC)(handle_, 0x43, nullptr, 1, &crc));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_CalculateCRC)(handle_, 0x43, &one, 1, nullptr));
    EXPECT_EQ(0, BISS(BISS_CalculateCRC)(handle_, 0x43, nullptr, 0, &crc));
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_INVALID_PARAMETER), LastCode());
}

// The listing as documented: 49 lines, values given by address (others 0).
std::string ExpectedListing(const std::map<BISS_U32, BISS_U32> &values)
{
    std::vector<std::pair<BISS_U32, std::string>> rows;
    for (BISS_U32 n = 0; n < 8; ++n) {
        const std::string slave = "SL" + std::to_string(n + 1) + " / ";
        rows.emplace_back(0xC0 + 4 * n, slave + "Config Sensor Data");
        rows.emplace_back(0xC1 + 4 * n, slave + "Config Sensor Data CRC");
        rows.emplace_back(0xC2 + 4 * n, slave + "Config Data Conversion");
        rows.emplace_back(0xC3 + 4 * n, slave + "Reserved");
    }
    const char *common[] = {"Reserved", "Reserved", "WNR / REGADR", "REGADR", "CHSEL", "Slave ID",
                            "Frequency Division", "Reserved", "Frequency Division AGS", "Reserved",
                            "Reserved", "Reserved", "Reserved", "Reserved", "Reserved", "Reserved"};
    for (BISS_U32 i = 0; i < 16; ++i)
        rows.emplace_back(0xE0 + i, common[i]);
    rows.emplace_back(0xF5, "CLKENI (Test Modes)");

    std::string text;
    for (const auto &[address, label] : rows) {
        const auto found = values.find(address);
        char line[64];
        std::snprintf(line, sizeof line, "Adr.: 0x%02lX\tValue: 0x%02lX\t", address,
                      found == values.end() ? 0ul : found->second);
        text += line + label + "\r\n";
    }
    return text;
}

TEST_F(FilesTest, MasterListingWithDefaultsAndNoInterface)
{
    const std::string path = PathOf("master.txt");
    WriteText("master.txt", std::string(5000, 'x'));  // replaced whole
    ASSERT_EQ(0, BISS(BISS_SaveMasterConfig)(handle_, path.c_str()));
    // Frequency division 2 * 32 + 4, AGS 124, one BiSS field per channel in 0xED.
    EXPECT_EQ(ExpectedListing({{0xE6, 0x44}, {0xE8, 0x7C}, {0xED, 0x55}}), ReadText("master.txt"));

    BISS_U32 limit = 99;
    ASSERT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_CHANNEL_LIMIT, &limit));
    EXPECT_EQ(0u, limit) << "the listing borrows eight channels only for itself";
}

TEST_F(FilesTest, MasterListingShowsTheImageOfTheParameters)
{
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 2, eBISS_FP_SCD_LENGTH, 40));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 2, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 2, eBISS_FP_CRC_INVERT, 1));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 2, eBISS_FP_EN_GRAY, 1));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 7, eBISS_FP_SCD_LENGTH, 12));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_PROTOCOL, 2));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_CLKENI, 1));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_FREQ_AGS, 0x1234));
    const std::string path = PathOf("master.txt");
    ASSERT_EQ(0, BISS(BISS_SaveMasterConfig)(handle_, path.c_str()));
    // Channel 3 (SL3): 40 bits less 6 CRC bits, + 63; polynomial / 2 with the
    // invert bit; Gray code bit without a USB adapter. SL8: 12 data bits.
    // 0xEC and 0xEE are listed as 0 whatever the image holds.
    EXPECT_EQ(ExpectedListing({{0xC8, 0x61},
                               {0xC9, 0xA1},
                               {0xCA, 0x80},
                               {0xDC, 0x4B},
                               {0xE6, 0x44},
                               {0xE8, 0x1234},
                               {0xED, 0xAA},
                               {0xF5, 0x01}}),
              ReadText("master.txt"));
}

TEST_F(FilesTest, MasterListingRefusals)
{
    fs::create_directories(folder_ / "folder.txt");
    const std::string folder = PathOf("folder.txt");
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SaveMasterConfig)(handle_, folder.c_str()));
    EXPECT_EQ(static_cast<BISS_U32>(eBISS_INVALID_PARAMETER), LastCode());
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SaveMasterConfig)(handle_, nullptr));
    const std::string path = PathOf("master.txt");
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SaveMasterConfig)(0, path.c_str()));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SaveMasterConfig)(257, path.c_str()));
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
