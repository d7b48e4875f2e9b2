// The parallel port through the exports, against the stand-in DlPortIO.dll:
// every port access is compared with the strobe tables of the three wirings.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "DirectAdapter.h"

namespace {

using ferrolink_test::DirectAdapterTest;
using ferrolink_test::SimulatedPorts;
using Lines = std::vector<std::string>;

// "C06 DE2 C04" -> the log lines of those writes ("C:=06", "D:=E2", "C:=04").
Lines Writes(const std::string &compact)
{
    Lines lines;
    std::istringstream stream(compact);
    for (std::string item; stream >> item;)
        lines.push_back(item.substr(0, 1) + ":=" + item.substr(1));
    return lines;
}

Lines WritesOnly(const Lines &log)
{
    Lines writes;
    std::copy_if(log.begin(), log.end(), std::back_inserter(writes),
                 [](const std::string &line) { return line.find(":=") != std::string::npos; });
    return writes;
}

size_t Count(const Lines &log, const std::string &prefix)
{
    return static_cast<size_t>(std::count_if(log.begin(), log.end(), [&](const std::string &line) {
        return line.compare(0, prefix.size(), prefix) == 0;
    }));
}

class ParallelPortTest : public DirectAdapterTest {
protected:
    void Select(BISS_U32 wiring, const char *name = "")
    {
        ConnectPort(0x378, wiring);
        ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, wiring, name));
        SimulatedPorts().ClearLog();
        rig_->master.Trace().Clear();
    }
};

// Wirings 1 and 2: address and value on the data lines, strobed by the control register.
TEST_F(ParallelPortTest, WiringOneStrobesAddressAndValueSeparately)
{
    Select(eBISS_IF_LPT_1);
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    EXPECT_EQ(Writes("C06 DE2 C04 C06 C06 D5A C07 C06"), PortLog());
    SimulatedPorts().ClearLog();
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0x5Au, value);
    EXPECT_EQ((Lines{"C:=06", "D:=E2", "C:=04", "C:=06", "D:=FF", "C:=22", "D=5A", "C:=06"}), PortLog());
    EXPECT_EQ(0x5A, rig_->master.Peek(0xE2));
}

TEST_F(ParallelPortTest, WiringTwoUsesOneDataStrobeWithADirectionLine)
{
    Select(eBISS_IF_LPT_2);
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    EXPECT_EQ(Writes("C03 DE2 C01 C03 D5A C02 C03"), PortLog());
    SimulatedPorts().ClearLog();
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0x5Au, value);
    EXPECT_EQ((Lines{"C:=03", "D:=E2", "C:=01", "C:=03", "D:=FF", "C:=27", "C:=26", "D=5A", "C:=27", "C:=03"}),
              PortLog());
}

// Wiring 3: serial; a 1 bit is control 1 then 0, a 0 bit control 3 then 2 (0x20 added in reads).
TEST_F(ParallelPortTest, WiringThreeClocksTheBitsSerially)
{
    Select(eBISS_IF_LPT_3);
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x5A));
    EXPECT_EQ(Writes("C07 "
                     "C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 C01 C00 C03 C02 "  // six 0, then 1, 0
                     "C01 C00 C01 C00 C01 C00 C03 C02 C03 C02 C03 C02 C01 C00 C03 C02 "  // 0xE2
                     "C03 C02 C01 C00 C03 C02 C01 C00 C01 C00 C03 C02 C01 C00 C03 C02 "  // 0x5A
                     "C07"),
              PortLog());
    EXPECT_EQ(0x5A, rig_->master.Peek(0xE2));

    SimulatedPorts().ClearLog();
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0x5Au, value);
    const Lines log = PortLog();
    EXPECT_EQ(Writes("C27 "
                     "C23 C22 C23 C22 C23 C22 C23 C22 C23 C22 C23 C22 C21 C20 C21 C20 "  // six 0, then 1, 1
                     "C21 C20 C21 C20 C21 C20 C23 C22 C23 C22 C23 C22 C21 C20 C23 C22 "  // 0xE2
                     "C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 "  // eight clocks in
                     "C27 C26"),
              WritesOnly(log));
    EXPECT_EQ(8u, Count(log, "S="));
}

TEST_F(ParallelPortTest, WiringThreeSendsNoAddressForTheInstructionAndStatusRegisters)
{
    Select(eBISS_IF_LPT_3);
    EXPECT_EQ(0, BISS(BISS_WriteMasterRegister)(handle_, 0xF4, 0x80));
    EXPECT_EQ(Writes("C07 "
                     "C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 C01 C00 C01 C00 C01 C00 "  // five 0, three 1
                     "C01 C00 C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 C03 C02 "  // 0x80
                     "C07"),
              PortLog());
    SimulatedPorts().ClearLog();
    BISS_U32 status = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xF0, &status));
    EXPECT_EQ(rig_->master.Peek(0xF0), status);
    EXPECT_EQ(Writes("C27 "
                     "C23 C22 C23 C22 C23 C22 C23 C22 C23 C22 C21 C20 C23 C22 C21 C20 "  // five 0, then 1, 0, 1
                     "C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 C21 C20 "
                     "C27 C26"),
              WritesOnly(PortLog()));
}

TEST_F(ParallelPortTest, WiringThreeReadsAOneForEveryClearStatusBitSeven)
{
    Select(eBISS_IF_LPT_3);
    rig_->master.Poke(0xE2, 0xFF);
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_ReadMasterRegister)(handle_, 0xE2, &value));
    EXPECT_EQ(0xFFu, value);
    for (const std::string &line : PortLog()) {
        if (line.compare(0, 2, "S=") == 0) {
            EXPECT_EQ(0, std::stoi(line.substr(2), nullptr, 16) & 0x80) << line;
        }
    }
}

struct BaseRow {
    const char *name;
    uint32_t base;
};

class PortBaseTest : public ParallelPortTest, public ::testing::WithParamInterface<BaseRow> {};

TEST_P(PortBaseTest, TheNameGivesThePortBase)
{
    ConnectPort(GetParam().base, eBISS_IF_LPT_1);
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_LPT_1, GetParam().name));
    EXPECT_EQ(0x52u, ComParam(eBISS_CP_MASTER_ID)) << "the master answers at the port";
    for (const std::string &line : PortLog())
        EXPECT_EQ(std::string::npos, line.find("0x")) << "an access beside the port: " << line;
}

INSTANTIATE_TEST_SUITE_P(Names, PortBaseTest,
                         ::testing::Values(BaseRow{"", 0x378}, BaseRow{"0x278", 0x278}, BaseRow{"278", 0x278},
                                           BaseRow{"3BC", 0x3BC}),
                         [](const auto &info) { return "Base" + std::to_string(info.param.base) + "_" +
                                                       std::to_string(info.index); });

TEST_F(ParallelPortTest, ANameThatIsNoPortAddressIsRefusedWithoutTouchingAPort)
{
    ConnectPort(0x378, eBISS_IF_LPT_1);
    for (const char *name : {"xyz", "0x", "0", "-378", "10000"}) {
        EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_SetInterface)(handle_, eBISS_IF_LPT_1, name)) << name;
        BISS_U32 type = 9;
        EXPECT_EQ(0, BISS(BISS_GetInterface)(handle_, &type));
        EXPECT_EQ(0u, type) << name;
    }
    EXPECT_EQ(0u, SimulatedPorts().AccessCount());
}

TEST_F(ParallelPortTest, RegisterArgumentsBeyondAByteReachNoPort)
{
    Select(eBISS_IF_LPT_2);
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_WriteMasterRegister)(handle_, 0x1F4, 4));
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_WriteMasterRegister)(handle_, 0xE2, 0x100));
    BISS_U32 value = 0;
    EXPECT_EQ(eBISS_ADDRESS_RANGE, BISS(BISS_ReadMasterRegister)(handle_, 0x100, &value));
    EXPECT_EQ(0u, SimulatedPorts().AccessCount());
}

class WiringTest : public ParallelPortTest, public ::testing::WithParamInterface<BISS_U32> {};

TEST_P(WiringTest, SelectionIdentifiesTheChipAndTheParametersReachIt)
{
    UseChip(sim::biss::MasterChipProfile::Chip84());
    ConnectPort(0x278, GetParam());
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, GetParam(), "0x278"));
    EXPECT_EQ(0x84u, ComParam(eBISS_CP_MASTER_ID));
    EXPECT_EQ(8u, ComParam(eBISS_CP_CHANNEL_LIMIT));
    EXPECT_EQ(32u, ComParam(eBISS_CP_MAX_REGCNT));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_SCD_LENGTH, 40));
    ASSERT_EQ(0, BISS(BISS_SetFrameParam)(handle_, 0, eBISS_FP_CRC_POLY, 0x43));
    ASSERT_EQ(0, BISS(BISS_SetComParam)(handle_, eBISS_CP_CLKENI, 1));
    EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    EXPECT_EQ(0x61, rig_->master.Peek(0xC0));
    EXPECT_EQ(0x21 + 0x80, rig_->master.Peek(0xC1)) << "chip 0x84 inverts the CRC itself";
    EXPECT_EQ(1, rig_->master.Peek(0xF5));
}

TEST_P(WiringTest, StartUpFreesAStuckLineAndRunsFourteenFrames)
{
    AddEncoder();
    ConnectPort(0x378, GetParam());
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, GetParam(), ""));
    ConfigureEncoderChannel();
    rig_->master.Trace().Clear();
    rig_->HoldLineLow(2);
    EXPECT_EQ(0, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(2u, rig_->TestClockPulses());
    EXPECT_EQ(14u, rig_->master.Trace().Frames(sim::biss::FrameKind::Single).size());
    EXPECT_EQ(0x00, rig_->master.Peek(0xF5)) << "test mode left";
    EXPECT_EQ(30 - 6 + 63, rig_->master.Peek(0xC0)) << "the caller's channel is back";

    rig_->HoldLineLow(0);
    EXPECT_EQ(eBISS_FRAME_FAILED, BISS(BISS_InitBissComm)(handle_));
    EXPECT_EQ(eBISS_FRAME_FAILED, LastCode());
}

INSTANTIATE_TEST_SUITE_P(Wirings, WiringTest, ::testing::Values(1u, 2u, 3u),
                         [](const auto &info) { return "Wiring" + std::to_string(info.param); });

} // namespace
