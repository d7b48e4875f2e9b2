// The master chip's registers, instruction timing, frames and master-assisted
// transfers, against register values worked out by hand from the register map.
#include "BissCrc.h"
#include "MasterRegisters.h"
#include "SimBissMaster.h"

#include <gtest/gtest.h>

using namespace sim::biss;

namespace {

class MasterChipTest : public ::testing::Test {
protected:
    explicit MasterChipTest(const MasterChipProfile &profile = MasterChipProfile::Chip52Rev4())
        : master(profile, line)
    {
    }

    // Starts an instruction and reads the status until the cycle ends (at most 8 reads).
    uint8_t Run(uint8_t instruction)
    {
        master.Write(reg::kInstruction, instruction);
        for (int i = 0; i < 8; ++i) {
            const uint8_t st = master.Read(reg::kStatus);
            if (st & status::kEndOfCycle)
                return st;
        }
        return master.Peek(reg::kStatus);
    }

    // One BiSS channel as the library configures it for a type 5 adapter.
    void ConfigureChannel(unsigned n, uint8_t length, uint8_t crc)
    {
        master.Write(static_cast<uint8_t>(reg::kChannelConfig + 4 * n), length);
        master.Write(static_cast<uint8_t>(reg::kChannelConfig + 4 * n + 1), crc);
        master.Write(reg::kProtocolSelect, 1);
        master.Write(reg::kProtocolLow, 0x55);
        master.Write(reg::kProtocolHigh, 0x55);
    }

    uint64_t ScdSlot(unsigned slot)
    {
        uint64_t value = 0;
        for (unsigned j = 8; j-- > 0;)
            value = (value << 8) | master.Peek(static_cast<uint8_t>(8 * slot + j));
        return value;
    }

    size_t FrameCount() { return master.Trace().Select(TraceKind::Frame).size(); }

    SimBissLine line;
    SimBissMaster master;
};

} // namespace

TEST(MasterChipProfiles, IdAndRevision)
{
    struct Case {
        MasterChipProfile profile;
        uint8_t id;
        uint8_t revisionBeforeClear;
        uint8_t revision;
    };
    const Case cases[] = {
        {MasterChipProfile::Chip52Rev4(), 0x52, 4, 4},
        {MasterChipProfile::Chip83Legacy(), 0x83, 0x01, 0},
        {MasterChipProfile::Chip84(), 0x84, 0x01, 0},
        {MasterChipProfile::Chip48Rev3(), 0x48, 3, 3},
        {MasterChipProfile::Chip48Rev2(), 0x48, 2, 2},
    };
    for (const Case &c : cases) {
        SimBissLine line;
        SimBissMaster master(c.profile, line);
        EXPECT_EQ(master.Read(reg::kChipId), c.id);
        EXPECT_EQ(master.Read(reg::kRevision), c.revisionBeforeClear) << int(c.id);
        master.Write(reg::kRevision, 5); // only a 0 clears it
        EXPECT_EQ(master.Read(reg::kRevision), c.revisionBeforeClear) << int(c.id);
        master.Write(reg::kRevision, 0);
        EXPECT_EQ(master.Read(reg::kRevision), c.revision) << int(c.id);
        master.Write(reg::kChipId, 0);
        EXPECT_EQ(master.Read(reg::kChipId), c.id);
    }
}

TEST_F(MasterChipTest, PlainRegistersHoldUnlessSwitchedOff)
{
    master.Write(reg::kAccessAddress, 0xA5);
    EXPECT_EQ(master.Read(reg::kAccessAddress), 0xA5);
    master.Write(reg::kAccessAddress, 0x5A);
    EXPECT_EQ(master.Read(reg::kAccessAddress), 0x5A);
    master.SetRegisterHolds(reg::kAccessAddress, false);
    master.SetRegisterHolds(reg::kClockDivider, false);
    master.Write(reg::kAccessAddress, 0xA5);
    master.Write(reg::kClockDivider, 0x44);
    EXPECT_EQ(master.Read(reg::kAccessAddress), 0x5A);
    EXPECT_EQ(master.Read(reg::kClockDivider), 0x00);
    EXPECT_EQ(master.Read(reg::kStatus), status::kEndOfCycle | status::kNoErrors); // at power-up
    EXPECT_EQ(master.Read(reg::kLine), 0x01);
}

TEST_F(MasterChipTest, InstructionReadsBackForLAccessesThenCompletes)
{
    line.AddSlave();
    for (unsigned delay = 1; delay <= 3; ++delay) {
        master.SetCompletionDelay(delay);
        const size_t frames = FrameCount();
        master.Write(reg::kInstruction, 4);
        EXPECT_EQ(master.Peek(reg::kStatus) & status::kEndOfCycle, 0);
        for (unsigned i = 0; i < delay; ++i) {
            EXPECT_EQ(FrameCount(), frames);
            EXPECT_EQ(master.Read(reg::kInstruction), 4) << delay;
        }
        EXPECT_EQ(FrameCount(), frames + 1); // ran after the L-th access
        EXPECT_EQ(master.Read(reg::kInstruction), 0) << delay;
        EXPECT_NE(master.Read(reg::kStatus) & status::kEndOfCycle, 0) << delay;
    }
    master.SetCompletionDelay(2);
    master.Write(reg::kInstruction, 0x10);
    EXPECT_EQ(master.Read(reg::kInstruction), 0x10);
    EXPECT_EQ(master.Read(reg::kInstruction), 0x10);
    EXPECT_EQ(master.Read(reg::kInstruction), 0x00);
    EXPECT_EQ(master.Trace().Frames(FrameKind::StartUp).size(), 1u);
}

TEST_F(MasterChipTest, FaultSwitchesAndStop)
{
    line.AddSlave();
    master.SetIgnoresInstructions(true);
    Run(4);
    EXPECT_EQ(master.Read(reg::kInstruction), 4);
    EXPECT_EQ(master.Read(reg::kStatus) & status::kEndOfCycle, 0);
    EXPECT_EQ(FrameCount(), 0u);

    master.SetIgnoresInstructions(false);
    master.SetNeverEndsCycle(true);
    Run(4);
    EXPECT_EQ(master.Read(reg::kInstruction), 0); // taken...
    EXPECT_EQ(master.Read(reg::kStatus) & status::kEndOfCycle, 0); // ...but never ended
    master.Write(reg::kInstruction, 0x80);
    EXPECT_EQ(master.Read(reg::kStatus) & status::kEndOfCycle, 0);

    master.SetNeverEndsCycle(false);
    master.SetCompletionDelay(3);
    master.Write(reg::kInstruction, 4);
    master.Write(reg::kInstruction, 0x80); // stops at once, before the frame ran
    EXPECT_EQ(master.Read(reg::kInstruction), 0);
    EXPECT_NE(master.Read(reg::kStatus) & status::kEndOfCycle, 0);
    master.Read(reg::kStatus);
    master.Read(reg::kStatus);
    EXPECT_EQ(FrameCount(), 0u);
}

TEST_F(MasterChipTest, ChannelWhoseCrcTheMasterChecks)
{
    // 40 bits with polynomial 0x43 and start value 0: 0xC0 = 0x61, 0xC1 = 0x21 (+0x80 inverted CRC).
    SimBissSlave &slave = line.AddSlave();
    const uint64_t data = 0x2AAAAAAAAull;
    slave.SetChannels({{34, data, 0x43, 0}});
    ConfigureChannel(0, 0x61, 0xA1);
    EXPECT_EQ(Run(4), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(ScdSlot(0), data);
    EXPECT_EQ(master.Read(reg::kChannelStatusLow), 0x02);

    // Without the inverted-CRC bit the slave's complement does not check.
    master.Write(0xC1, 0x21);
    const uint8_t st = Run(4);
    EXPECT_EQ(st & status::kDataValid, 0);
    EXPECT_NE(st & status::kError, 0);
    EXPECT_EQ(master.Read(reg::kChannelStatusLow), 0x00);
}

TEST_F(MasterChipTest, ChannelsReadAsPlainData)
{
    // Start value 1: the library has the master read all 40 bits (0xC0 = 103, 0xC1 = 0).
    SimBissSlave &slave = line.AddSlave();
    const uint64_t data = 0x123456789ull;
    slave.SetChannels({{34, data, 0x43, 1}});
    ConfigureChannel(0, 103, 0x00);
    EXPECT_EQ(Run(4), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(ScdSlot(0), (data << 6) | (~ComputeCrc(data, 34, 0x43, 1) & 0x3F));

    // 70 bits (64 data, CRC-6 start 1): 0xC0 = 127, and the split slot 0xC4 = 69 takes the CRC.
    const uint64_t wide = 0x0123456789ABCDEFull;
    slave.SetChannels({{64, wide, 0x43, 1}});
    ConfigureChannel(0, 127, 0x00);
    ConfigureChannel(1, 69, 0x00);
    EXPECT_EQ(Run(4), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(ScdSlot(0), wide);
    EXPECT_EQ(ScdSlot(1), ~ComputeCrc(wide, 64, 0x43, 1) & 0x3Fu);
    EXPECT_EQ(master.Read(reg::kChannelStatusLow), 0x0A);
}

TEST_F(MasterChipTest, ChainDataArriveHighestIdFirst)
{
    line.AddSlave().SetChannels({{8, 0x11, 0, 0}});
    line.AddSlave().SetChannels({{16, 0x2233, 0, 0}});
    ConfigureChannel(0, 0x4F, 0);
    ConfigureChannel(1, 0x47, 0);
    EXPECT_EQ(Run(4), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(ScdSlot(0), 0x2233u);
    EXPECT_EQ(ScdSlot(1), 0x11u);
}

TEST_F(MasterChipTest, NoAnswerInTheWrongProtocolOrOnAStuckLine)
{
    SimBissSlave &slave = line.AddSlave();
    slave.SetChannels({{8, 0x5A, 0, 0}});
    ConfigureChannel(0, 0x47, 0);
    master.Write(reg::kProtocolLow, 0xAA); // SSI: the BiSS slave's frame is not an SSI word
    EXPECT_EQ(Run(4) & status::kAnswered, 0);
    slave.SetProtocol(LineProtocol::Ssi);
    EXPECT_NE(Run(4) & status::kAnswered, 0);
    EXPECT_EQ(ScdSlot(0), 0x5Au);
    master.Write(reg::kProtocolLow, 0x00); // the third kind: nobody here speaks it
    EXPECT_EQ(Run(4) & status::kAnswered, 0);

    master.Write(reg::kProtocolLow, 0xAA);
    line.SetStuckLow(true);
    EXPECT_EQ(Run(4) & status::kAnswered, 0);
    EXPECT_EQ(master.Read(reg::kLine) & 0x01, 0);
}

TEST_F(MasterChipTest, AnSsiSlaveClockedAsBissShiftsOutItsWordWithoutCrc)
{
    SimBissSlave &slave = line.AddSlave();
    slave.SetChannels({{8, 0x5A, 0, 0}});
    slave.SetProtocol(LineProtocol::Ssi);
    // 16 data bits without CRC: the word, then the low line.
    ConfigureChannel(0, 0x4F, 0);
    EXPECT_EQ(Run(4), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(ScdSlot(0), 0x5A00u);
    // With a CRC the word is never valid, whatever the line reads where the CRC should be.
    for (const uint64_t word : {0x00u, 0x5Au, 0xFFu}) {
        slave.SetData(0, word);
        ConfigureChannel(0, 0x47, 0xA1);
        const uint8_t st = Run(4);
        EXPECT_NE(st & status::kAnswered, 0) << word;
        EXPECT_EQ(st & status::kDataValid, 0) << word;
    }
}

TEST_F(MasterChipTest, TheStartUpStepWaitsUntilTheLineAnswers)
{
    SimBissSlave &slave = line.AddSlave();
    slave.SetChannels({{8, 0x5A, 0, 0}});
    ConfigureChannel(0, 0x47, 0);
    line.SetStuckLow(true);
    EXPECT_EQ(Run(0x10) & status::kEndOfCycle, 0);
    line.SetStuckLow(false);
    master.Read(reg::kStatus); // the next try is answered
    EXPECT_NE(master.Peek(reg::kStatus) & status::kEndOfCycle, 0);

    line.SetStuckLow(true);
    EXPECT_EQ(Run(0x10) & status::kEndOfCycle, 0);
    EXPECT_NE(Run(0x80) & status::kEndOfCycle, 0) << "a stop ends the wait";
    EXPECT_EQ(master.Read(reg::kStatus) & status::kEndOfCycle, status::kEndOfCycle);
}

TEST(MasterChipLegacy, ProtocolFromTheChannelRegisters)
{
    SimBissLine line;
    line.AddSlave().SetChannels({{8, 0x3C, 0, 0}});
    SimBissMaster master(MasterChipProfile::Chip83Legacy(), line);
    master.Write(0xC0, 0x47);
    master.Write(0xC2, 0x80); // BiSS
    master.Write(reg::kInstruction, 4);
    master.Read(reg::kStatus);
    EXPECT_EQ(master.Read(reg::kStatus), status::kEndOfCycle | status::kNoErrors);
    EXPECT_EQ(master.Peek(0x00), 0x3C);
    master.Write(0xC0, 0xC7); // SSI
    master.Write(reg::kInstruction, 4);
    master.Read(reg::kStatus);
    EXPECT_EQ(master.Read(reg::kStatus) & status::kAnswered, 0);
}

TEST_F(MasterChipTest, ControlBitOfEachFrame)
{
    line.AddSlave();
    master.Write(reg::kInstruction, 2);
    master.Read(reg::kStatus);
    master.Write(reg::kInstruction, 6);
    master.Read(reg::kStatus);
    master.Write(reg::kInstruction, 4);
    master.Read(reg::kStatus);
    const std::vector<bool> cdm = master.Trace().CdmBits();
    EXPECT_EQ(cdm, std::vector<bool>({true, false, false}));
}

namespace {

// Master-assisted transfers as the USB adapter path loads them (instruction 9)
// and as the register path does (instruction 8).
class AssistedTransferTest : public MasterChipTest {
protected:
    AssistedTransferTest()
    {
        SimBissSlave &slave = line.AddSlave();
        slave.SetChannels({{8, 0, 0, 0}});
        ConfigureChannel(0, 0x47, 0);
        for (uint8_t i = 0; i < 8; ++i)
            slave.Registers().Write(static_cast<uint8_t>(0x10 + i), static_cast<uint8_t>(0xA0 + i));
    }

    uint8_t Transfer(uint8_t instruction, uint8_t slave, uint8_t address, unsigned count, bool write)
    {
        master.Write(reg::kAccessAddress, static_cast<uint8_t>(address | (write ? 0x80 : 0)));
        master.Write(reg::kAccessCount, static_cast<uint8_t>(count - 1));
        master.Write(reg::kChannelSelect, 1);
        master.Write(reg::kAccessSetup, static_cast<uint8_t>((instruction == 9 ? 0xC0 : 0) | slave << 3));
        return Run(instruction);
    }
};

constexpr uint8_t kDone = status::kEndOfCycle | status::kControlDone;

} // namespace

TEST_F(AssistedTransferTest, ReadsAndWritesThroughTheRam)
{
    EXPECT_EQ(Transfer(9, 0, 0x12, 3, false), kDone | status::kNoErrors | status::kAutomatic);
    EXPECT_EQ(master.Read(reg::kInstruction), 1); // automatic frames go on until cleared
    EXPECT_EQ(master.Peek(0x80), 0xA2);
    EXPECT_EQ(master.Peek(0x81), 0xA3);
    EXPECT_EQ(master.Peek(0x82), 0xA4);
    master.Write(reg::kInstruction, 0);

    master.Write(0x80, 0x5A);
    master.Write(0x81, 0xC3);
    EXPECT_EQ(Transfer(8, 0, 0x30, 2, true), kDone | status::kNoErrors);
    EXPECT_EQ(master.Read(reg::kInstruction), 0);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x30), 0x5A);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x31), 0xC3);
    EXPECT_FALSE(master.Trace().Frames(FrameKind::Assisted).empty());
}

TEST_F(AssistedTransferTest, OutcomesInTheStatusBits)
{
    // Status bits 3 (access ok), 5 (accepted), 6 (answered) and the byte count in 0xF3.
    SlaveRegisterFile &regs = line.Slave(0).Registers();
    regs.SetReadProtected(0x14, true);
    regs.SetWriteProtected(0x15, true);
    struct Case {
        const char *what;
        uint8_t slave, address;
        unsigned count;
        bool write;
        uint8_t bits;
        uint8_t bytes;
    };
    const Case cases[] = {
        {"no such slave", 5, 0x10, 1, false, status::kAccepted, 0},
        {"read refused", 0, 0x14, 1, false, status::kAnswered, 0},
        {"read refused at the third byte", 0, 0x12, 4, false, status::kAnswered, 2},
        {"write refused", 0, 0x15, 1, true, status::kAnswered, 0},
        {"good read", 0, 0x10, 2, false, status::kAccessOk | status::kAccepted | status::kAnswered, 0x02},
    };
    for (const Case &c : cases) {
        const uint8_t st = Transfer(9, c.slave, c.address, c.count, c.write);
        EXPECT_EQ(st & (status::kAccessOk | status::kAccepted | status::kAnswered), c.bits) << c.what;
        EXPECT_NE(st & status::kControlDone, 0) << c.what;
        EXPECT_EQ(master.Read(reg::kControlStatus) & 0x3F, c.bytes) << c.what;
        master.Write(reg::kInstruction, 0x10); // ends a refused access
        EXPECT_EQ(Run(0x10) & status::kNoErrors, status::kNoErrors) << c.what;
    }

    line.Slave(0).SetCorruptsAnswerCrc(true);
    const uint8_t st = Transfer(9, 0, 0x10, 1, false);
    EXPECT_EQ(st & (status::kAccessOk | status::kAccepted | status::kAnswered),
              status::kAccepted | status::kAnswered);
}

TEST_F(AssistedTransferTest, CommandAnsweredBySelectedSlaves)
{
    line.AddSlave();
    master.Write(reg::kAccessSetup, 0x40 + 16 * 3);
    master.Write(reg::kRam, 0x03);
    EXPECT_EQ(Run(9) & status::kNoErrors, status::kNoErrors);
    EXPECT_EQ(line.Slave(0).CommandsReceived(), std::vector<uint8_t>{3});
    EXPECT_EQ(line.Slave(1).CommandsReceived(), std::vector<uint8_t>{3});
    master.Write(reg::kInstruction, 0);

    master.Write(reg::kRam, 0x04); // slave 2 is not there
    EXPECT_EQ(Run(9) & (status::kAccessOk | status::kAnswered), 0);
}

TEST_F(MasterChipTest, AutomaticFrames)
{
    line.AddSlave();
    EXPECT_FALSE(master.RunAutomaticFrame());
    master.Write(reg::kInstruction, 1);
    EXPECT_NE(master.Read(reg::kStatus) & status::kAutomatic, 0);
    const uint32_t first = master.FrameNumber();
    EXPECT_TRUE(master.RunAutomaticFrame());
    EXPECT_TRUE(master.RunAutomaticFrame());
    EXPECT_EQ(master.FrameNumber(), first + 2);
    master.Write(reg::kInstruction, 0);
    EXPECT_FALSE(master.RunAutomaticFrame());

    master.SetFrameRateTooHigh(true);
    master.Write(reg::kInstruction, 1);
    EXPECT_TRUE(master.RunAutomaticFrame());
    EXPECT_EQ(master.Read(reg::kStatus) & (status::kAutomatic | status::kAnswered), 0);
}
