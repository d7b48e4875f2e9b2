// The encoder's mailbox and block transfers through ferrolink and the simulated adapter, seen at
// the slave's registers and in the encoder's memory.
#include "LinkRig.h"

#include <string>

#include "BlockTransfer.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"

namespace {

using link_test::LinkRigTest;
using link_test::Read;
using link_test::Services;
using link_test::Write;

class MailboxTest : public LinkRigTest {
protected:
    void SetUp() override
    {
        LinkRigTest::SetUp();
        PlugAndConnect();
        // The run's first access reads register 12 once; later ones do not.
        ASSERT_EQ(0, OperateSlaveRegByAddress(0, 0, 2));
        ClearTrace();
        link_test::RecordLinkServices();
    }

    static std::uint16_t Cell(std::size_t address) { return calvista::RegisterImage()[address]; }
};

std::uint8_t SequenceOf(const link_test::SlaveAccess &command)
{
    return command.value >> 4;
}

TEST_F(MailboxTest, ReadingAnAddressWritesDataAddressThenCommandAndReadsTheResult)
{
    encoder_->SetEeprom(0x0150, 0x3C);
    calvista::UpdateBuffers(0, 0x0150, 0x1A5);
    EXPECT_EQ(0, TransferBissData(2, 0x0150, 1));

    const auto accesses = SlaveAccesses();
    ASSERT_EQ(5u, accesses.size());
    // The data register gets the image cell's low byte also for a read.
    EXPECT_EQ(Write(3, 0xA5), accesses[0]);
    EXPECT_EQ(Write(2, 0x50), accesses[1]);
    EXPECT_EQ(Write(1, 0x01), accesses[2]);
    EXPECT_EQ(0x02, accesses[3].value & 0x0F);
    EXPECT_EQ(Write(0, accesses[3].value), accesses[3]);
    EXPECT_EQ(Read(15), accesses[4]);
    EXPECT_EQ(0x3Cu, MailboxResult());
    EXPECT_EQ(0x3C, Cell(0x0150));
    EXPECT_EQ((std::vector<unsigned>{500}), Services().sleeps) << "the block's pause";
    EXPECT_TRUE(Services().progress.empty()) << "a single address sets no progress";
}

TEST_F(MailboxTest, SuccessiveCommandsRollTheirSequenceNumbersFrom1To5)
{
    for (int operation = 1; operation <= 4; ++operation)
        for (int access = 0; access < 2; ++access)
            ASSERT_EQ(0, OperateSlaveRegByAddress(0x1C, 10, operation));
    std::vector<link_test::SlaveAccess> commands;
    for (const auto &access : SlaveAccesses())
        if (access.write && access.reg == 0)
            commands.push_back(access);
    ASSERT_EQ(8u, commands.size());
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(1 + static_cast<int>(i) / 2, commands[i].value & 0x0F);
        EXPECT_GE(SequenceOf(commands[i]), 1);
        EXPECT_LE(SequenceOf(commands[i]), 5);
        if (i > 0) {
            EXPECT_EQ(SequenceOf(commands[i - 1]) % 5 + 1, SequenceOf(commands[i])) << "command " << i;
        }
    }
    for (const auto &access : SlaveAccesses())
        EXPECT_NE(Read(12), access);
}

TEST_F(MailboxTest, UnderSsiAnAccessIsRefusedBeforeAnythingReachesTheBus)
{
    const unsigned carriedOut = encoder_->MailboxCommands();
    g_link.protocol = kProtocolSsi;
    EXPECT_EQ(eBISS_INVALID_PARAMETER, OperateSlaveRegByAddress(0x1C, 50, 3));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, g_link.lastError);
    EXPECT_EQ(0u, AdapterRequests());
    EXPECT_EQ(carriedOut, encoder_->MailboxCommands());
    EXPECT_NE(50, encoder_->Ram(0x1C));
}

TEST_F(MailboxTest, ABlockOf96ReadsTheEepromWithProgressFrom0To100)
{
    EXPECT_EQ(0, TransferBissData(2, 0, 96));
    for (std::uint16_t address = 0; address < 96; ++address)
        ASSERT_EQ(encoder_->Eeprom(address), Cell(address)) << "address " << address;
    EXPECT_EQ(Cell(96), calvista::kCellNeverRead);

    const auto &progress = Services().progress;
    ASSERT_EQ(96u, progress.size());
    for (std::size_t i = 0; i < progress.size(); ++i)
        ASSERT_EQ(static_cast<int>(i) * 100 / 95, progress[i]) << "access " << i;
    EXPECT_EQ(0, progress.front());
    EXPECT_EQ(1, progress[1]);
    EXPECT_EQ(20, progress[19]);
    EXPECT_EQ(100, progress.back());
    EXPECT_GE(Services().eventRounds, 96) << "events are processed before every access";
}

// The mirror blocks (96-191) overlay the primary blocks in the image; the byte after them keeps
// its own cell.
TEST_F(MailboxTest, MirrorBytesLandOnTheCellsTheyCopy)
{
    for (std::uint16_t address = 90; address < 200; ++address)
        encoder_->SetEeprom(address, static_cast<std::uint8_t>(address ^ 0x5A));
    EXPECT_EQ(0, TransferBissData(2, 95, 3));
    EXPECT_EQ(95 ^ 0x5A, Cell(95));
    EXPECT_EQ(96 ^ 0x5A, Cell(0));
    EXPECT_EQ(97 ^ 0x5A, Cell(1));
    EXPECT_EQ(calvista::kCellNeverRead, Cell(96));
    EXPECT_EQ(calvista::kCellNeverRead, Cell(97));

    EXPECT_EQ(0, TransferBissData(2, 191, 3));
    EXPECT_EQ(191 ^ 0x5A, Cell(95));
    EXPECT_EQ(192 ^ 0x5A, Cell(192));
    EXPECT_EQ(193 ^ 0x5A, Cell(193));
    EXPECT_EQ(calvista::kCellNeverRead, Cell(96));
}

TEST_F(MailboxTest, WritesSendTheImageIntoEepromAndRam)
{
    const std::uint16_t blink = 0x1C;
    for (std::uint16_t i = 0; i < 3; ++i)
        calvista::UpdateBuffers(blink, i, static_cast<std::uint16_t>(0x100 | (40 + i)));
    EXPECT_EQ(0, TransferBissData(1, blink, 3));
    EXPECT_EQ((std::vector<int>{0, 50, 100}), Services().progress);
    for (std::uint16_t i = 0; i < 3; ++i)
        EXPECT_EQ(40 + i, encoder_->Eeprom(blink + i));
    EXPECT_NE(40, encoder_->Ram(blink)) << "the RAM keeps its power-up copy";

    calvista::UpdateBuffers(0, blink, 77);
    EXPECT_EQ(0, TransferBissData(3, blink, 1));
    EXPECT_EQ(77, encoder_->Ram(blink));
    EXPECT_EQ(40, encoder_->Eeprom(blink));

    calvista::UpdateBuffers(0, blink, 0);
    EXPECT_EQ(0, TransferBissData(4, blink, 1));
    EXPECT_EQ(77, Cell(blink));
}

TEST_F(MailboxTest, ACountOf0MakesNoAccessAndKeepsTheLastError)
{
    g_link.lastError = 13;
    EXPECT_EQ(13, TransferBissData(2, 0, 0));
    EXPECT_EQ(0u, AdapterRequests());
}

// The encoder is lost while events are processed before the third access.
TEST_F(MailboxTest, AFailingAccessEndsTheBlockAndKeepsWhatWasRead)
{
    Services().onEvents = [this] {
        if (Services().eventRounds == 3)
            encoder_->SetLost(true);
    };
    const int code = TransferBissData(2, 0x30, 5);
    EXPECT_NE(0, code);
    EXPECT_EQ(code, g_link.lastError);
    EXPECT_EQ(3, Services().eventRounds);
    EXPECT_EQ(encoder_->Eeprom(0x30), Cell(0x30));
    EXPECT_EQ(encoder_->Eeprom(0x31), Cell(0x31));
    EXPECT_EQ(calvista::kCellNeverRead, Cell(0x32));
    EXPECT_EQ((std::vector<int>{0, 25}), Services().progress);
}

} // namespace
