// BISS_AutoDetection against slaves on the simulated adapter's line: the
// identification registers read over the control channel, looked up in small
// identifier and profile files, or the first slave's data sheet.
#include <windows.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "SimulatedAdapter.h"
#include "TextFileFixture.h"

namespace {

using ferrolink_test::ScratchFile;
using ferrolink_test::SimulatedAdapterTest;
using sim::biss::MasterChipProfile;

constexpr const char *kChainFile = "data/chain_idbiss.xml";
constexpr const char *kProfileFile = "data/kelto_profile.xml";
// Device identifier byte 0 of the devices chain_idbiss.xml describes.
constexpr uint8_t kAlpha = 0x11;
constexpr uint8_t kBeta = 0x22;
constexpr uint8_t kGamma = 0x33;
constexpr uint8_t kPair = 0x44;
constexpr BISS_U32 kUntouched = 77;

struct Labels {
    std::string manufacturer, slave, complete;
};

struct Item {
    std::string label, unit;
    BissScdContentParams params{};
};

class AutoDetectionTest : public SimulatedAdapterTest {
protected:
    // A slave whose identification names the given device of maker 4B 56 (or
    // another maker), sending dataBits with a 6-bit CRC.
    sim::biss::SimBissSlave &AddSlave(uint8_t device, unsigned dataBits = 18, uint64_t data = 0,
                                      std::array<uint8_t, 2> maker = {0x4B, 0x56})
    {
        sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
        slave.Registers().SetIdentification({device, 0, 0, 0, 0, 0, maker[0], maker[1]});
        slave.SetChannels({{dataBits, data, 0x43, 0}});
        return slave;
    }
    // A slave that refuses to show its identification: it answers neither access.
    sim::biss::SimBissSlave &AddSilentSlave()
    {
        sim::biss::SimBissSlave &slave = AddSlave(kAlpha);
        slave.Registers().SetReadProtected(0x78, true);
        slave.Registers().SetReadProtected(0x42, true);
        return slave;
    }
    int Detect(const char *file, BISS_U32 *count, BISS_U32 writeMaster = 0)
    {
        return BISS(BISS_AutoDetection)(handle_, file, count, writeMaster);
    }
    BISS_U32 Frame(BISS_U32 channel, BISS_U32 index)
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetFrameParam)(handle_, channel, index, &value));
        return value;
    }
    BISS_U32 Com(BISS_U32 index)
    {
        BISS_U32 value = 0;
        EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, index, &value));
        return value;
    }
    Labels LabelsOf(BISS_U32 channel)
    {
        char manufacturer[128] = {}, slave[128] = {}, complete[128] = {};
        EXPECT_EQ(0, BISS(BISS_GetSlaveLabel)(handle_, channel, manufacturer, slave, complete));
        return {manufacturer, slave, complete};
    }
    Item ItemOf(BISS_U32 channel, BISS_U32 index)
    {
        char label[64] = {}, unit[64] = {};
        Item item;
        EXPECT_EQ(0, BISS(BISS_GetScdContentLabels)(handle_, channel, index, label, unit));
        EXPECT_EQ(0, BISS(BISS_GetScdContentParams)(handle_, channel, index, &item.params));
        item.label = label;
        item.unit = unit;
        return item;
    }
    // The values the host wrote to one master register, in order.
    std::vector<uint8_t> WritesTo(uint8_t address)
    {
        std::vector<uint8_t> values;
        for (const auto &event : rig_->master.Trace().Select(sim::biss::TraceKind::RegisterWrite))
            if (event.address == address && event.origin == sim::biss::AccessOrigin::Host)
                values.push_back(event.value);
        return values;
    }
    static int Count(const std::vector<uint8_t> &values, uint8_t value)
    {
        return static_cast<int>(std::count(values.begin(), values.end(), value));
    }
    // The slaves answered the master's access: its frames are then read in BiSS again.
    void ReadInBiss()
    {
        SetComParam(eBISS_CP_PROTOCOL, 0);
        ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    }
    // What the detection leaves when it stops before configuring anything.
    void ExpectResetDescription()
    {
        EXPECT_EQ(1u, Com(eBISS_CP_CHANNEL_COUNT));
        for (BISS_U32 channel = 0; channel < 8; ++channel) {
            EXPECT_EQ(0u, Frame(channel, eBISS_FP_SCD_LENGTH)) << "channel " << channel;
            EXPECT_EQ(0u, Frame(channel, eBISS_FP_CONTENT_COUNT)) << "channel " << channel;
        }
    }
};

TEST_F(AutoDetectionTest, TwoSlavesTakeTwoChannelsTheLastOnTheLineFirst)
{
    Plug();
    AddSlave(kAlpha, 18, 0x2ABCD);
    AddSlave(kBeta, 24, 0xABC123);
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kChainFile, &count, 1));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(2u, Com(eBISS_CP_CHANNEL_COUNT));
    // The simulated master finds the 64-bit channels the library's own access
    // is set up with incomplete for these slaves: the master's access answers,
    // is used from then on, and becomes the protocol.
    EXPECT_EQ(1u, Com(eBISS_CP_PROTOCOL));
    EXPECT_EQ(1, Count(WritesTo(0xC0), 0x7F)) << "set up for the first read only";

    // Channel 0: slave 1, 24 data bits and the 6 CRC bits.
    EXPECT_EQ(30u, Frame(0, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(0x43u, Frame(0, eBISS_FP_CRC_POLY));
    EXPECT_EQ(1u, Frame(0, eBISS_FP_CRC_INVERT));
    const Labels beta = LabelsOf(0);
    EXPECT_EQ("Vantrel", beta.manufacturer);
    EXPECT_EQ("Beta", beta.slave);
    EXPECT_EQ("Manufacturer: Vantrel / Device: Beta!", beta.complete);
    ASSERT_EQ(2u, Frame(0, eBISS_FP_CONTENT_COUNT));
    const Item mt = ItemOf(0, 0);
    EXPECT_EQ("MT", mt.label);
    EXPECT_EQ(12u, mt.params.ulBitLength);
    EXPECT_EQ(5u, mt.params.ulValue4) << "the offset";
    EXPECT_EQ("ST", ItemOf(0, 1).label);

    // Channel 1: slave 0.
    EXPECT_EQ(24u, Frame(1, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(1u, Frame(1, eBISS_FP_CRC_INVERT));
    EXPECT_EQ("Manufacturer: Vantrel / Device: Alpha!", LabelsOf(1).complete);
    ASSERT_EQ(3u, Frame(1, eBISS_FP_CONTENT_COUNT));
    const Item position = ItemOf(1, 0);
    EXPECT_EQ("POS", position.label);
    EXPECT_EQ("counts", position.unit);
    EXPECT_EQ(16u, position.params.ulBitLength);
    EXPECT_EQ("nW", ItemOf(1, 2).label);
    for (BISS_U32 channel = 2; channel < 8; ++channel)
        EXPECT_EQ(0u, Frame(channel, eBISS_FP_SCD_LENGTH)) << "channel " << channel;

    // The slaves' data arrive in their channels.
    ReadInBiss();
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0, done = 0;
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(3u, mask);
    EXPECT_EQ(0xABC123u, low[0]);
    EXPECT_EQ(0x2ABCDu, low[1]);
    BISS_U32 items[2] = {};
    ASSERT_EQ(0, BISS(BISS_GetScdContent)(handle_, 0, items));
    EXPECT_EQ(0xABCu, items[0]);
    EXPECT_EQ(0x123u, items[1]);
}

TEST_F(AutoDetectionTest, SlavesThatFillTheOpenChannelsAnswerTheLibrarysOwnAccess)
{
    Plug();
    // Four channels of 64 bits without CRC: every channel the library's own
    // access opens is filled.
    const sim::biss::SlaveChannel wide{64, 0x0123456789ABCDEFull, 0, 0};
    for (uint8_t device : {kAlpha, kBeta}) {
        sim::biss::SimBissSlave &slave = AddSlave(device);
        slave.SetChannels({wide, wide, wide, wide});
    }
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kChainFile, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0u, Com(eBISS_CP_PROTOCOL)) << "the library's own access answered";
    // Set up again for each slave, the third that is not there included.
    EXPECT_EQ(3, Count(WritesTo(0xC0), 0x7F));
    EXPECT_EQ(3, Count(WritesTo(0xCC), 0x7F)) << "the USB adapter drives all four groups";
    EXPECT_EQ(8 + 8 + 1, Count(WritesTo(0xED), 1)) << "BiSS on channel 0 for every register";
    EXPECT_EQ("Beta", LabelsOf(0).slave);
    EXPECT_EQ("Alpha", LabelsOf(1).slave);
}

TEST_F(AutoDetectionTest, AZeroSectionIsMergedIntoTheDataInFrontOfIt)
{
    Plug();
    AddSlave(kGamma, 26, 0x123456ull << 2);
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kChainFile, &count, 1));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(32u, Frame(0, eBISS_FP_SCD_LENGTH)) << "24 data bits, 2 zero bits, 6 CRC bits";
    ASSERT_EQ(2u, Frame(0, eBISS_FP_CONTENT_COUNT));
    const Item zero = ItemOf(0, 0);
    EXPECT_EQ("Z", zero.label);
    EXPECT_EQ(1u, zero.params.ulFlag);
    EXPECT_EQ(2u, zero.params.ulBitLength);
    EXPECT_EQ("ST", ItemOf(0, 1).label);
    EXPECT_EQ(24u, ItemOf(0, 1).params.ulBitLength);
    EXPECT_EQ("Gamma", LabelsOf(0).slave);

    ReadInBiss();
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0, done = 0;
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(0x123456u << 2, low[0]);
}

TEST_F(AutoDetectionTest, SlavePositionsADeviceTakesAreNotReadAgain)
{
    Plug();
    AddSlave(kPair, 16);
    AddSlave(0x99, 16, 0, {0x12, 0x34});  // the second place of the pair: never looked up
    AddSlave(kAlpha);
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kChainFile, &count));
    EXPECT_EQ(2u, count);
    EXPECT_EQ("Alpha", LabelsOf(0).slave);
    EXPECT_EQ("Pair", LabelsOf(1).slave);
}

TEST_F(AutoDetectionTest, ASlaveTheFileDoesNotDescribeKeepsAChannelWithUnknownLabels)
{
    Plug();
    AddSlave(kAlpha);
    AddSlave(0x5A, 18, 0, {0x12, 0x34});
    AddSlave(0x77);  // a maker the file knows, a device it does not
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kChainFile, &count));
    EXPECT_EQ(3u, count);
    const Labels unknownDevice = LabelsOf(0);
    EXPECT_EQ("Vantrel", unknownDevice.manufacturer);
    EXPECT_EQ("Unknown Device", unknownDevice.slave);
    EXPECT_EQ("Manufacturer: Vantrel / Device unknown!", unknownDevice.complete);
    const Labels unknownMaker = LabelsOf(1);
    EXPECT_EQ("Unknown Manufacturer", unknownMaker.manufacturer);
    EXPECT_EQ("Unknown Device", unknownMaker.slave);
    EXPECT_EQ("Unknown Manufacturer 0x1234!", unknownMaker.complete);
    for (BISS_U32 channel : {0u, 1u}) {
        EXPECT_EQ(0u, Frame(channel, eBISS_FP_SCD_LENGTH)) << "channel " << channel;
        EXPECT_EQ(0u, Frame(channel, eBISS_FP_CONTENT_COUNT)) << "channel " << channel;
    }
    EXPECT_EQ("Alpha", LabelsOf(2).slave);
}

TEST_F(AutoDetectionTest, MoreSlavesThanChannelsGives25WithTheChannelsThereWereConfigured)
{
    Plug({"SN-0042", true}, MasterChipProfile::Chip83Legacy());
    for (int i = 0; i < 4; ++i)
        AddSlave(kAlpha);
    Select();
    BISS_U32 count = 0;
    EXPECT_EQ(eBISS_CHANNEL_COUNT_EXCEEDED, Detect(kChainFile, &count));
    EXPECT_EQ(3u, count);
    EXPECT_EQ(3u, Com(eBISS_CP_CHANNEL_COUNT));
    for (BISS_U32 channel = 0; channel < 3; ++channel)
        EXPECT_EQ("Alpha", LabelsOf(channel).slave) << "channel " << channel;
    EXPECT_EQ(25u, LastCode());
}

TEST_F(AutoDetectionTest, AProfileFileIsMatchedOnTheProfileRegisters)
{
    Plug();
    sim::biss::SimBissSlave &slave = AddSlave(0, 26, 0x2ABCDEF);
    slave.Registers().Write(0x42, 0x01);
    slave.Registers().Write(0x43, 0x0E);
    Select();
    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect(kProfileFile, &count, 1));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(26u + 6u, Frame(0, eBISS_FP_SCD_LENGTH)) << "24 bits and 2 more, then the CRC";
    EXPECT_EQ(0x43u, Frame(0, eBISS_FP_CRC_POLY));
    EXPECT_EQ(1u, Frame(0, eBISS_FP_CRC_INVERT));
    EXPECT_EQ("BP1-1", LabelsOf(0).slave);
    EXPECT_EQ("Device: BP1-1!", LabelsOf(0).complete);
    ASSERT_EQ(3u, Frame(0, eBISS_FP_CONTENT_COUNT));
    const Item st = ItemOf(0, 0);
    EXPECT_EQ("ST", st.label);
    EXPECT_EQ(14u, st.params.ulBitLength);
    EXPECT_EQ(16384u, st.params.ulValue3) << "2 to the power of profile byte 1";
    EXPECT_EQ(2u, ItemOf(0, 2).params.ulBitLength) << "nW spans the two incremental bits";

    ReadInBiss();
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0, done = 0;
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(0x2ABCDEFu, low[0]);
}

TEST_F(AutoDetectionTest, AnEmptyFileNameConfiguresChannel0FromTheDataSheet)
{
    Plug();
    // 58 data bits and a 6-bit CRC: the frame fills the 64 bits the data sheet is read with.
    constexpr uint64_t kData = 0x2AB'CDEF'0123'4567ull;
    sim::biss::SimBissSlave &slave = AddSlave(0, 58, kData);
    // Data sheet in banks 5 and 6: 58 data bits, CRC 0x43 (given as 0x21),
    // 24 multiturn bits, 30 + 4 single turn bits.
    sim::biss::SlaveRegisterFile &regs = slave.Registers();
    regs.Write(0x41, 5);
    const std::array<std::array<uint8_t, 2>, 5> firstPart{{{0, 0x01}, {1, 1}, {20, 6}, {21, 58}, {23, 0x21}}};
    for (const auto &[offset, value] : firstPart)
        regs.SetBankByte(5, offset, value);
    const std::array<std::array<uint8_t, 2>, 5> secondPart{{{0, 0x02}, {1, 1}, {10, 24}, {12, 30}, {14, 4}}};
    for (const auto &[offset, value] : secondPart)
        regs.SetBankByte(6, offset, value);
    regs.SealBank(5);
    regs.SealBank(6);
    Select();
    ASSERT_EQ(0, BISS(BISS_SetScdContentLabels)(handle_, 0, 5, "old", "old"));

    BISS_U32 count = 0;
    ASSERT_EQ(0, Detect("", &count, 1));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(64u, Frame(0, eBISS_FP_SCD_LENGTH));
    EXPECT_EQ(0x43u, Frame(0, eBISS_FP_CRC_POLY));
    EXPECT_EQ(1u, Frame(0, eBISS_FP_CRC_INVERT));
    ASSERT_EQ(4u, Frame(0, eBISS_FP_CONTENT_COUNT)) << "the items set before are gone";
    struct Expected {
        const char *label;
        BISS_U32 bits, range;
    };
    const std::array<Expected, 4> expected{
        {{"MT", 24, 0xFFFFFF}, {"ST", 34, 0xFFFFFFFF}, {"nE", 1, 0xFFFFFFFF}, {"nW", 1, 0xFFFFFFFF}}};
    for (BISS_U32 i = 0; i < 4; ++i) {
        const Item item = ItemOf(0, i);
        EXPECT_EQ(expected[i].label, item.label);
        EXPECT_EQ(expected[i].bits, item.params.ulBitLength) << item.label;
        EXPECT_EQ(expected[i].range, item.params.ulValue3) << item.label << ": the flags keep the single turn's range";
    }
    EXPECT_EQ("EDS detected", LabelsOf(0).complete);
    EXPECT_EQ("EDS detected", LabelsOf(0).slave);

    BISS_U32 high[8] = {}, low[8] = {}, mask = 0, done = 0;
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, &done));
    EXPECT_EQ(1u, mask);
    EXPECT_EQ(static_cast<BISS_U32>(kData), low[0]);
    EXPECT_EQ(static_cast<BISS_U32>(kData >> 32), high[0]);
}

TEST_F(AutoDetectionTest, ASlaveWithoutADataSheetGivesTheReadsCode)
{
    Plug();
    AddSlave(0, 58);
    Select();
    BISS_U32 count = kUntouched;
    EXPECT_EQ(eBISS_EDS_NOT_USED, Detect("", &count));
    EXPECT_EQ(kUntouched, count);
}

struct FileCase {
    const char *name;
    const char *file;
    int code;
};

class DetectionFileTest : public AutoDetectionTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(DetectionFileTest, AFileThatCannotBeUsedStopsAfterTheFirstSlavesRegisters)
{
    ScratchFile wrongKind("slaves.xml", "<?xml version=\"1.0\"?>\n<BiSS-Identifier>\n</BiSS-Identifier>\n");
    const std::string file = GetParam().file[0] == '*' ? wrongKind.Path() : GetParam().file;
    Plug();
    sim::biss::SimBissSlave &first = AddSilentSlave();
    AddSlave(kBeta);
    Select();

    // The registers are read first: a slave that does not answer decides.
    BISS_U32 count = kUntouched;
    EXPECT_EQ(eBISS_REGISTER_COMM_FAILED, Detect(file.c_str(), &count));
    EXPECT_EQ(kUntouched, count);

    first.Registers().SetReadProtected(0x78, false);
    first.Registers().SetReadProtected(0x42, false);
    EXPECT_EQ(GetParam().code, Detect(file.c_str(), &count));
    EXPECT_EQ(kUntouched, count);
    EXPECT_EQ(static_cast<BISS_U32>(GetParam().code), LastCode());
    ExpectResetDescription();
}

INSTANTIATE_TEST_SUITE_P(Codes, DetectionFileTest,
                         ::testing::Values(FileCase{"Missing", "data/missing_idbiss.xml", eBISS_FILE_NOT_FOUND},
                                           FileCase{"MissingProfile", "data/missing_profile.xml",
                                                    eBISS_FILE_NOT_FOUND},
                                           FileCase{"NeitherKind", "*", eBISS_FILE_FORMAT}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AutoDetectionTest, AFileOthersHoldOpenGives20)
{
    ScratchFile locked("locked_idbiss.xml", "<?xml version=\"1.0\"?>\n");
    const HANDLE holder = CreateFileA(locked.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    Plug();
    AddSlave(kAlpha);
    Select();
    BISS_U32 count = kUntouched;
    EXPECT_EQ(eBISS_FILE_PERMISSION, Detect(locked.Path().c_str(), &count));
    CloseHandle(holder);
    EXPECT_EQ(kUntouched, count);
}

TEST_F(AutoDetectionTest, GarbledFilesNameTheSlavesUnknownOrNothing)
{
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise += static_cast<char>((i * 7919 + 13) % 251);
    const std::string truncated = "<?xml version=\"1.0\"?>\n<BiSS-Identifier>\n <Manufacturer Id=\"4B56\">\n"
                                  "  <Label>Vantrel</Label>\n  <Device>\n   <Id Range=\"47:40\">0x11</Id>\n"
                                  "   <SCDS>\n    <Length>18</Length>\n    <Label Pos=\"0\">POS(17:2";
    const std::string emptyText;
    Plug();
    AddSlave(kAlpha);
    AddSlave(kBeta);
    Select();
    for (const std::string *text : std::array<const std::string *, 3>{&noise, &truncated, &emptyText}) {
        ScratchFile file("garbled_idbiss.xml", *text);
        BISS_U32 count = 0;
        EXPECT_EQ(0, Detect(file.Path().c_str(), &count));
        EXPECT_EQ(2u, count);
        EXPECT_EQ(0u, Frame(0, eBISS_FP_CONTENT_COUNT));
    }
}

TEST_F(AutoDetectionTest, BadArgumentsAndAMissingLineGiveCodes)
{
    Plug();
    BISS_U32 count = kUntouched;
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_AutoDetection)(0, kChainFile, &count, 1));
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_AutoDetection)(257, kChainFile, &count, 0));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Detect(nullptr, &count));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Detect(kChainFile, nullptr));
    EXPECT_EQ(5u, LastCode());
    EXPECT_EQ(eBISS_NO_INTERFACE, Detect(kChainFile, &count)) << "no adapter selected";
    EXPECT_EQ(eBISS_NO_INTERFACE, Detect("", &count));
    Select();
    // On an empty line the start-up waits in vain, and the data sheet's read fails.
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Detect(kChainFile, &count));
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Detect("", &count));
    // The first slave answers no access: the detection's code stays although
    // the master write succeeds.
    AddSilentSlave();
    EXPECT_EQ(eBISS_REGISTER_COMM_FAILED, Detect(kChainFile, &count, 1));
    EXPECT_EQ(kUntouched, count);
    ExpectResetDescription();
}

TEST_F(AutoDetectionTest, AFailedMasterWriteAfterTheDetectionIsReturnedButNotRecorded)
{
    Plug();
    AddSlave(kAlpha);
    AddSlave(kBeta);
    Select();
    // Channel 1's configuration does not hold: only a detection that uses it notices.
    rig_->master.SetRegisterHolds(0xC4, false);
    BISS_U32 count = 0;
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, Detect(kChainFile, &count, 1));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0u, LastCode());
}

} // namespace
