// A slave driven frame by frame with the control bits of a software
// sequencer; the slave's bits are checked in the frames where a master
// expects them.
#include "ControlFrames.h"
#include "SimBissLine.h"

#include <gtest/gtest.h>

using namespace sim::biss;
using sim::biss::testing::DataBits;
using sim::biss::testing::RequestBits;

namespace {

class SlaveControlTest : public ::testing::Test {
protected:
    SlaveControlTest() { line.AddSlave(); }

    bool Frame(bool cdm) { return line.RunFrame(LineProtocol::BiSS, cdm).cds; }

    // Frames 0-18 of an access: request, R and W, S. Returns the slave's bits of frames 17 and 18.
    std::pair<bool, bool> Open(uint8_t slave, uint8_t address, bool write)
    {
        for (bool bit : RequestBits(slave, address))
            Frame(bit);
        Frame(!write);
        const bool echoR = Frame(write);
        const bool echoW = Frame(true);
        return {echoR, echoW};
    }

    // Frame 19 repeated until the start bit comes (at most `limit` times); returns the repetitions.
    unsigned AwaitStart(bool cdm, unsigned limit = 100)
    {
        unsigned count = 0;
        while (count < limit && !Frame(cdm))
            ++count;
        return count;
    }

    std::vector<bool> Collect(unsigned frames)
    {
        std::vector<bool> bits;
        for (unsigned i = 0; i < frames; ++i)
            bits.push_back(Frame(false));
        return bits;
    }

    SimBissLine line;
};

} // namespace

TEST_F(SlaveControlTest, ReadAnswersInItsFrames)
{
    line.Slave(0).Registers().Write(0x48, 0xA5);
    const auto [echoR, echoW] = Open(0, 0x48, false);
    EXPECT_TRUE(echoR);  // frame 17
    EXPECT_FALSE(echoW); // frame 18
    EXPECT_TRUE(Frame(false)); // frame 19: start bit
    EXPECT_EQ(Collect(12), DataBits(0xA5)); // frames 20-31
    EXPECT_EQ(Collect(2), std::vector<bool>({false, false}));
}

TEST_F(SlaveControlTest, DelayedStartBitComesOnTheFifthRepetition)
{
    line.Slave(0).Registers().Write(0x10, 0x3C);
    line.Slave(0).SetStartBitDelay(4);
    Open(0, 0x10, false);
    EXPECT_EQ(AwaitStart(false), 4u);
    EXPECT_EQ(Collect(12), DataBits(0x3C));
}

TEST_F(SlaveControlTest, WriteEchoesEveryBitOneFrameLater)
{
    const auto [echoR, echoW] = Open(0, 0x10, true);
    EXPECT_FALSE(echoR);
    EXPECT_TRUE(echoW);
    std::vector<bool> sent = DataBits(0x3C);
    sent.push_back(false); // stop bit, frame 31
    EXPECT_EQ(AwaitStart(sent[0]), 0u); // frame 19: data bit 7, start bit back
    bool previous = sent[0];
    for (size_t i = 1; i < sent.size(); ++i) { // frames 20-31
        EXPECT_EQ(Frame(sent[i]), previous) << "frame " << 19 + i;
        previous = sent[i];
    }
    EXPECT_FALSE(Frame(false)); // frame 32
    Collect(13);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x10), 0x3C);
}

TEST_F(SlaveControlTest, MoreBytesFollowWithAnotherStartBit)
{
    line.Slave(0).Registers().Write(0x20, 0x11);
    line.Slave(0).Registers().Write(0x21, 0x22);
    Open(0, 0x20, false);
    EXPECT_TRUE(Frame(false));
    EXPECT_EQ(Collect(12), DataBits(0x11));
    EXPECT_FALSE(Frame(true)); // frame 18 of the second byte
    EXPECT_TRUE(Frame(false));
    EXPECT_EQ(Collect(12), DataBits(0x22));

    // The same for a write of two bytes.
    Collect(2);
    Open(0, 0x30, true);
    for (uint8_t value : {uint8_t{0x5A}, uint8_t{0xC3}}) {
        std::vector<bool> sent = DataBits(value);
        sent.push_back(false);
        EXPECT_EQ(AwaitStart(sent[0]), 0u);
        for (size_t i = 1; i < sent.size(); ++i)
            Frame(sent[i]);
        if (value == 0x5A) {
            EXPECT_FALSE(Frame(true)); // frame 18 of the next byte: echo of the stop bit
        }
    }
    Collect(14);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x30), 0x5A);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x31), 0xC3);
}

TEST_F(SlaveControlTest, RefusedAndUnansweredAccesses)
{
    SlaveRegisterFile &regs = line.Slave(0).Registers();
    regs.Write(0x7E, 0x12);
    regs.SetWriteProtected(0x7E, true);
    regs.SetReadProtected(0x05, true);

    // A protected register: no W echo in frame 18, nothing written.
    EXPECT_FALSE(Open(0, 0x7E, true).second);
    Collect(14);
    EXPECT_EQ(regs.Read(0x7E), 0x12);

    // A register the slave will not read out: the start bit never comes.
    Open(0, 0x05, false);
    EXPECT_EQ(AwaitStart(false), 100u);
    Collect(14);

    // No slave with that id: nothing echoed in frame 17.
    EXPECT_FALSE(Open(3, 0x05, false).first);
    Collect(14);

    // A garbled request CRC: the slave keeps quiet.
    std::vector<bool> request = RequestBits(0, 0x7E);
    request[15] = !request[15];
    for (bool bit : request)
        Frame(bit);
    Frame(true);
    EXPECT_FALSE(Frame(false));
    Collect(14);

    // After all that, a normal read still works.
    EXPECT_TRUE(Open(0, 0x7E, false).first);
    EXPECT_TRUE(Frame(false));
    EXPECT_EQ(Collect(12), DataBits(0x12));
}

TEST_F(SlaveControlTest, OnlyTheAddressedSlaveOfAChainAnswers)
{
    SimBissSlave &second = line.AddSlave();
    second.SetStartBitDelay(3);
    second.Registers().Write(0x01, 0x99);
    line.Slave(0).Registers().Write(0x01, 0x66);
    Open(1, 0x01, false);
    EXPECT_EQ(AwaitStart(false), 3u);
    EXPECT_EQ(Collect(12), DataBits(0x99));
}

TEST_F(SlaveControlTest, CommandIsAnsweredBySelectedSlaves)
{
    line.AddSlave();
    line.AddSlave();
    const uint8_t selection = 0x05; // slaves 0 and 2
    const uint8_t command = 2;
    uint32_t request = 0;
    std::vector<bool> bits = {true, false};
    for (int i = 0; i < 8; ++i) {
        bits.push_back((selection >> i) & 1);
        request = (request << 1) | ((selection >> i) & 1u);
    }
    bits.push_back(true);
    bits.push_back(false);
    request = (request << 2) | command;
    const uint32_t crc = ControlCrc(request, 11);
    for (int i = 3; i >= 0; --i)
        bits.push_back(((crc >> i) & 1) == 0);
    for (bool bit : bits)
        Frame(bit);
    Frame(true);
    EXPECT_EQ(Collect(8), std::vector<bool>({true, false, true, false, false, false, false, false}));
    EXPECT_EQ(line.Slave(0).CommandsReceived(), std::vector<uint8_t>{2});
    EXPECT_TRUE(line.Slave(1).CommandsReceived().empty());
    EXPECT_EQ(line.Slave(2).CommandsReceived(), std::vector<uint8_t>{2});
}

namespace {

class Mailbox : public SlaveBehaviour {
public:
    bool ReadRegister(uint8_t address, uint8_t &value) override
    {
        if (address != 0x00)
            return false;
        value = 0x42;
        return true;
    }
    bool WriteRegister(uint8_t address, uint8_t value) override
    {
        if (address != 0x00)
            return false;
        written = value;
        return true;
    }
    int written = -1;
};

} // namespace

TEST_F(SlaveControlTest, BehaviourOwnsItsRegisters)
{
    Mailbox mailbox;
    line.Slave(0).SetBehaviour(&mailbox);
    line.Slave(0).Registers().Write(0x01, 0x17);
    Open(0, 0x00, false);
    Frame(false);
    EXPECT_EQ(Collect(12), DataBits(0x42));
    Collect(2);
    Open(0, 0x01, false);
    Frame(false);
    EXPECT_EQ(Collect(12), DataBits(0x17));
    Collect(2);
    Open(0, 0x00, true);
    std::vector<bool> sent = DataBits(0x77);
    sent.push_back(false);
    for (bool bit : sent)
        Frame(bit);
    Collect(14);
    EXPECT_EQ(mailbox.written, 0x77);
    EXPECT_EQ(line.Slave(0).Registers().Read(0x00), 0x00);
}
