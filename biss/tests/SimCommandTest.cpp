// BiSS commands through BISS_SendCommand on the simulated USB adapter, where
// the master runs the command by itself: the adapter requests byte for byte,
// the outcome the master reports mapped to a code, and what a command leaves
// behind.
#include <windows.h>

#include <vector>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using ferrolink_test::UseClockOf;
using sim::biss::TraceKind;
using Bytes = std::vector<uint8_t>;

constexpr Bytes::value_type kEnd = 0xFF;

class CommandTest : public SimulatedAdapterTest {
protected:
    sim::biss::SimBissSlave &PlugSlave()
    {
        Plug();
        sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
        slave.SetChannels({{24, 0x123456, 0x43, 0}});
        Select();
        ConfigureChannel(0, 30, 0x43);
        EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
        rig_->master.Trace().Clear();
        return slave;
    }
    // USB road: the command number first, the selection second.
    int Send(BISS_U32 command, BISS_U32 selection) { return BISS(BISS_SendCommand)(handle_, command, selection); }

    std::vector<Bytes> Requests()
    {
        std::vector<Bytes> requests;
        for (const auto &event : rig_->master.Trace().Select(TraceKind::AdapterRequest))
            requests.push_back(event.bytes);
        return requests;
    }
    std::vector<uint8_t> InstructionWrites()
    {
        std::vector<uint8_t> values;
        for (const auto &event : rig_->master.Trace().Select(TraceKind::RegisterWrite))
            if (event.address == 0xF4 && event.origin == sim::biss::AccessOrigin::Host)
                values.push_back(event.value);
        return values;
    }

    // The simulated master knows only success and a missing answer. To show
    // the other outcomes the test replaces the library's clock for one call:
    // its first reading after the master has ended the command puts the given
    // outcome bits (3 to 6) into the status register.
    void ReportOutcome(uint8_t bits)
    {
        using SetClock = void(uint32_t (*)(void *), void *);
        auto *setClock = reinterpret_cast<SetClock *>(
            reinterpret_cast<void *>(GetProcAddress(GetModuleHandleA("dravio_sim.dll"), "DravioSim_SetClock")));
        ASSERT_NE(nullptr, setClock);
        outcome_ = {rig_.get(), bits, false};
        setClock(
            [](void *context) {
                auto &outcome = *static_cast<Outcome *>(context);
                sim::biss::SimBissMaster &master = outcome.rig->master;
                if (!outcome.shown && (master.Peek(0xF0) & 0x04) != 0) {
                    master.Poke(0xF0, static_cast<uint8_t>((master.Peek(0xF0) & ~0x78) | outcome.bits));
                    outcome.shown = true;
                }
                return outcome.rig->clock.NowMilliseconds();
            },
            &outcome_);
    }

    struct Outcome {
        sim::biss::UsbAdapterRig *rig;
        uint8_t bits;
        bool shown;
    } outcome_{};
};

TEST_F(CommandTest, TheRequestsOfACommandByteForByte)
{
    sim::biss::SimBissSlave &slave = PlugSlave();
    SetComParam(eBISS_CP_EN_MO, 1);
    SetComParam(eBISS_CP_FREQ_AGS_REG, 0x123);
    EXPECT_EQ(0, Send(2, 0x01));
    const std::vector<Bytes> expected = {
        // 0xE5: a command (0x40), number 2 in bits 4-5, EN_MO in bit 1; 0xE8 the rate of control traffic; 0x80 the selection.
        {6, 0, 0x25, 0x1F, 0xE5, 0x62, 0xE8, 0x23, 0x80, 0x01, kEnd, kEnd, kEnd, kEnd},
        {2, 0, 0x25, 0x1F, 0xF4, 0x09, kEnd, kEnd, kEnd, kEnd},  // start it
        {2, 0, 0x15, 0x1F, 0xF4, 0x00, kEnd, kEnd, kEnd, kEnd},  // taken?
        {0, 0, 0x15, 0x1F, kEnd, kEnd, kEnd, kEnd},              // status: ended, outcome
        {2, 0, 0x25, 0x1F, 0xF4, 0x00, kEnd, kEnd, kEnd, kEnd},  // instruction cleared
    };
    EXPECT_EQ(expected, Requests());
    EXPECT_EQ(std::vector<uint8_t>{2}, slave.CommandsReceived());

    // Only bits 0-1 of the command and the low byte of the selection count;
    // the older name passes the low 8 bits of each.
    rig_->master.Trace().Clear();
    EXPECT_EQ(0, Send(0xFE, 0x101));
    EXPECT_EQ(expected[0], Requests().at(0));
    EXPECT_EQ(0, BISS(SendBissCommand)(handle_, 0x102, 0x301));
    EXPECT_EQ((std::vector<uint8_t>{2, 2, 2}), slave.CommandsReceived());
}

struct OutcomeRow {
    uint8_t statusBits;  // bits 3 to 6 of 0xF0 after the command
    int code;
};

class OutcomeTest : public CommandTest, public ::testing::WithParamInterface<OutcomeRow> {};

TEST_P(OutcomeTest, TheMastersOutcomeGivesTheCode)
{
    const OutcomeRow &row = GetParam();
    PlugSlave();
    ReportOutcome(row.statusBits);
    EXPECT_EQ(row.code, Send(1, 0x01));
    UseClockOf(rig_.get());
    EXPECT_TRUE(outcome_.shown);
    // A failed command releases the master with 0x10.
    const std::vector<uint8_t> released = {0x09, 0x00, 0x10};
    const std::vector<uint8_t> cleared = {0x09, 0x00};
    EXPECT_EQ(row.code == 0 ? cleared : released, InstructionWrites());
}

INSTANTIATE_TEST_SUITE_P(StatusBits, OutcomeTest,
                         ::testing::Values(OutcomeRow{0x78, 0}, OutcomeRow{0x28, eBISS_FRAME_FAILED},
                                           OutcomeRow{0x48, eBISS_FRAME_FAILED},
                                           OutcomeRow{0x60, eBISS_REGISTER_COMM_FAILED},
                                           OutcomeRow{0x40, eBISS_REGISTER_REJECTED},
                                           OutcomeRow{0x20, eBISS_REGISTER_REJECTED},
                                           OutcomeRow{0x00, eBISS_REGISTER_REJECTED}));

TEST_F(CommandTest, ASlaveThatDoesNotAnswerGives14)
{
    sim::biss::SimBissSlave &slave = PlugSlave();
    // Slave 1 is not on the line.
    EXPECT_EQ(eBISS_REGISTER_REJECTED, Send(3, 0x03));
    EXPECT_EQ(eBISS_REGISTER_REJECTED, LastCode());
    EXPECT_EQ(std::vector<uint8_t>{3}, slave.CommandsReceived()) << "slave 0 got it all the same";
    EXPECT_EQ((std::vector<uint8_t>{0x09, 0x00, 0x10}), InstructionWrites());
    // The line works on.
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0;
    EXPECT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, nullptr));
    EXPECT_EQ(0x123456u, low[0]);
}

TEST_F(CommandTest, AMasterThatNeverEndsTheCommandGives13)
{
    PlugSlave();
    rig_->master.SetNeverEndsCycle(true);
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Send(1, 0x01));
    rig_->master.SetNeverEndsCycle(false);
    // The stop that follows the failure.
    EXPECT_EQ(0x80, InstructionWrites().back());
}

TEST_F(CommandTest, ACommandLeavesRegisterE8ForTheNextStreamToRewrite)
{
    PlugSlave();
    SetComParam(eBISS_CP_FREQ_AGS, 0x30);
    SetComParam(eBISS_CP_FREQ_AGS_REG, 0x07);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    ASSERT_EQ(0, Send(0, 0x01));
    EXPECT_EQ(0x07, rig_->master.Peek(0xE8));
    BISS_U32 high[10] = {}, low[10] = {};
    ASSERT_EQ(0, BISS(BISS_ReadSCDFrames)(handle_, 10, high, low, nullptr, nullptr));
    EXPECT_EQ(0x30, rig_->master.Peek(0xE8));
}

TEST_F(CommandTest, WithoutAnInterfaceThereIsNoCommand)
{
    Plug();
    EXPECT_EQ(eBISS_NO_INTERFACE, Send(1, 1));
    EXPECT_EQ(eBISS_NO_INTERFACE, LastCode());
    EXPECT_EQ(eBISS_INVALID_HANDLE, BISS(BISS_SendCommand)(0, 1, 1));
    EXPECT_EQ(1, BISS(SendBissCommand)(257, 1, 1));
}

} // namespace
