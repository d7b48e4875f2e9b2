// BiSS commands through BISS_SendCommand on the FTDI adapter, where the library
// sends the command frame one control bit per frame, compared with frame
// sequences built by hand from the command frame's layout; and the parallel
// port, which cannot send commands.
#include <algorithm>
#include <string>
#include <vector>

#include "DirectAdapter.h"

namespace {

using ferrolink_test::DirectAdapterTest;
using ferrolink_test::SimulatedFtdi;
using Bits = std::vector<bool>;

Bits Repeat(bool bit, size_t count) { return Bits(count, bit); }

Bits Join(std::initializer_list<Bits> parts)
{
    Bits all;
    for (const Bits &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

class FtdiCommandTest : public DirectAdapterTest {
protected:
    void Select()
    {
        encoder_ = &AddEncoder();
        AddFtdiDevice();
        ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_FTDI, ""));
        ConfigureEncoderChannel();
        SimulatedFtdi().ClearLog();
        rig_->master.Trace().Clear();
    }
    // FTDI road: the selection first, the command second.
    int Send(BISS_U32 selection, BISS_U32 command) { return BISS(BISS_SendCommand)(handle_, selection, command); }
    Bits Cdm() { return rig_->master.Trace().CdmBits(); }
    // Register reads of 0xF3 (the answer bit) sent to the adapter.
    size_t AnswerReads()
    {
        const std::vector<std::string> log = FtdiLog();
        return static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const std::string &line) {
            return line.find(" 03 F3 00 ") != std::string::npos;
        }));
    }

    sim::biss::SimBissSlave *encoder_ = nullptr;
};

// Before the request: 14 frames at 0, the start bit, CTS = 0.
const Bits kLead = Join({Repeat(false, 14), {true, false}});

TEST_F(FtdiCommandTest, ACommandToAnAnsweringSlave)
{
    Select();
    EXPECT_EQ(0, Send(0x01, 2));
    // Selection 0x01 least significant bit first, command 2 bit 1 first; the
    // CRC-4 (x^4 + x + 1) of 0 10000000 10 is 1011, sent inverted; the start
    // bit of the answers, eight answer frames, slave 0 answered: 1 and 14 zeros.
    const Bits expected = Join({kLead, {1, 0, 0, 0, 0, 0, 0, 0}, {1, 0}, {0, 1, 0, 0}, {true}, Repeat(false, 8),
                                {true}, Repeat(false, 14)});
    EXPECT_EQ(expected, Cdm());
    EXPECT_EQ(std::vector<uint8_t>{2}, encoder_->CommandsReceived());
    EXPECT_EQ(8u, AnswerReads());
}

TEST_F(FtdiCommandTest, SelectionZeroSendsFifteenClosingFramesWithoutReadingAnswers)
{
    Select();
    EXPECT_EQ(0, Send(0, 3));
    // CRC-4 of 0 00000000 11 is 0101, sent as 1010.
    const Bits expected =
        Join({kLead, Repeat(false, 8), {1, 1}, {1, 0, 1, 0}, {true}, {true}, Repeat(false, 14)});
    EXPECT_EQ(expected, Cdm());
    EXPECT_TRUE(encoder_->CommandsReceived().empty());
    EXPECT_EQ(0u, AnswerReads());
}

TEST_F(FtdiCommandTest, AnUnansweredCommandClosesWithSevenFramesAndStillSucceeds)
{
    Select();
    // Slave 1 is not on the line.
    EXPECT_EQ(0, Send(0x02, 1));
    // CRC-4 of 0 01000000 01 is 1100, sent as 0011.
    const Bits expected =
        Join({kLead, {0, 1, 0, 0, 0, 0, 0, 0}, {0, 1}, {0, 0, 1, 1}, {true}, Repeat(false, 8), Repeat(false, 7)});
    EXPECT_EQ(expected, Cdm());
    EXPECT_TRUE(encoder_->CommandsReceived().empty());
}

TEST_F(FtdiCommandTest, ASelectionOrCommandOutOfRangeGives5BeforeAnyFrame)
{
    Select();
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Send(0x100, 0));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, LastCode());
    EXPECT_EQ(eBISS_INVALID_PARAMETER, Send(0x01, 4));
    EXPECT_TRUE(Cdm().empty());
    // The older name passes the low 8 bits of each value and answers in the older codes.
    EXPECT_EQ(0, BISS(SendBissCommand)(handle_, 0x101, 0x102));
    EXPECT_EQ(std::vector<uint8_t>{2}, encoder_->CommandsReceived());
}

TEST_F(FtdiCommandTest, AMasterThatDoesNotTakeTheFrameGives13)
{
    Select();
    rig_->master.SetIgnoresInstructions(true);
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Send(0x01, 2));
    rig_->master.SetIgnoresInstructions(false);
}

TEST_F(DirectAdapterTest, TheParallelPortCannotSendCommands)
{
    ConnectPort(0x378, eBISS_IF_LPT_1);
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_LPT_1, ""));
    rig_->master.Trace().Clear();
    EXPECT_EQ(eBISS_NO_INTERFACE, BISS(BISS_SendCommand)(handle_, 1, 2));
    EXPECT_EQ(eBISS_NO_INTERFACE, LastCode());
    EXPECT_EQ(2, BISS(SendBissCommand)(handle_, 1, 2)) << "4 in the older codes";
    EXPECT_TRUE(rig_->master.Trace().Events().empty());
}

} // namespace
