// The adapter firmware, fed request frames byte for byte and checked against
// the response frames it must give.
#include "MasterRegisters.h"
#include "SimUsbAdapter.h"

#include <gtest/gtest.h>

using namespace sim::biss;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint8_t kIdle = status::kEndOfCycle | status::kNoErrors; // 0x79

class UsbAdapterTest : public ::testing::Test {
protected:
    explicit UsbAdapterTest(AdapterIdentity identity = {})
        : master(MasterChipProfile::Chip52Rev4(), line), adapter(master, std::move(identity))
    {
        SimBissSlave &slave = line.AddSlave();
        slave.SetChannels({{24, 0x123456, 0, 0}});
        master.Poke(0xC0, 0x57); // 24 bits, no CRC
        master.Poke(reg::kProtocolLow, 0x55);
        adapter.SetClock(&clock);
    }

    Bytes Exchange(const Bytes &request)
    {
        adapter.ReceiveRequest(request.data(), request.size());
        return Next();
    }

    Bytes Next()
    {
        Bytes response;
        if (!adapter.SendResponse(4096, response))
            return {};
        return response;
    }

    SimBissLine line;
    SimBissMaster master;
    SimUsbAdapter adapter;
    SimClock clock;
};

class FullSpeedAdapterTest : public UsbAdapterTest {
protected:
    FullSpeedAdapterTest() : UsbAdapterTest(AdapterIdentity{"FS01", false}) {}
};

} // namespace

TEST_F(UsbAdapterTest, RegisterReadWriteAndStatusFrames)
{
    EXPECT_EQ(Exchange({2, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({2, 0, 0x15, 0x1F, 0, kIdle, 0xEB, 0x52, 0xFF, 0xFF}));
    // Status request: no pairs.
    EXPECT_EQ(Exchange({0, 0, 0x15, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF}), Bytes({0, 0, 0x15, 0x1F, 0, kIdle, 0xFF, 0xFF}));
    // A write answers with what each register reads back; 0xE2 does not hold here.
    master.SetRegisterHolds(reg::kAccessAddress, false);
    EXPECT_EQ(Exchange({4, 0, 0x25, 0x9F, 0xE2, 0xA5, 0xE6, 0x82, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({4, 0, 0x25, 0x9F, 0, kIdle, 0xE2, 0x00, 0xE6, 0x82, 0xFF, 0xFF}));
    EXPECT_TRUE(adapter.TtlEnabled());
    EXPECT_EQ(master.Peek(reg::kClockDivider), 0x82);
    EXPECT_EQ(adapter.PendingResponses(), 0u);
    EXPECT_EQ(clock.NowMicroseconds(), 3 * 125u);
}

TEST_F(UsbAdapterTest, StartUpStepAndFrameCycleAnswerOnceTheCycleHasEnded)
{
    master.SetCompletionDelay(3);
    EXPECT_EQ(Exchange({2, 0, 0x25, 0x1F, 0xF4, 0x10, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({2, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(master.Trace().Frames(FrameKind::StartUp).size(), 1u);
    EXPECT_TRUE(Next().empty()); // no second answer

    // Instruction 4 and the three data registers of a 24-bit channel (T = 3).
    EXPECT_EQ(Exchange({8, 0, 0x25, 0x1F, 0xF4, 4, 0, 0, 1, 0, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({8, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0, 0x56, 1, 0x34, 2, 0x12, 0xFF, 0xFF}));
    EXPECT_EQ(master.Trace().Frames(FrameKind::Single).size(), 1u);
}

TEST_F(UsbAdapterTest, LateEndGivesASecondAnswer)
{
    master.SetCompletionDelay(3);
    adapter.SetAnswersBeforeEnd(true);
    const Bytes first = Exchange({4, 0, 0x25, 0x1F, 0xF4, 4, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(first.size(), 12u);
    EXPECT_EQ(first[5] & status::kEndOfCycle, 0);
    EXPECT_EQ(first[7], 4); // the instruction still reads back
    EXPECT_EQ(Next(), Bytes({4, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0, 0x56, 0xFF, 0xFF}));

    // A master that never ends the cycle: one answer with bit 0 clear, then nothing.
    master.SetNeverEndsCycle(true);
    adapter.SetAnswersBeforeEnd(false);
    const Bytes stuck = Exchange({2, 0, 0x25, 0x1F, 0xF4, 0x10, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(stuck.size(), 10u);
    EXPECT_EQ(stuck[5] & status::kEndOfCycle, 0);
    EXPECT_TRUE(Next().empty());
    EXPECT_TRUE(Next().empty());
}

TEST_F(UsbAdapterTest, SlaveRegisterReadAsThePipesCarryIt)
{
    line.Slave(0).Registers().Write(0x48, 0x5A);
    line.Slave(0).Registers().Write(0x49, 0xC3);
    EXPECT_EQ(Exchange({10, 0, 0x25, 0x1F, 0xE2, 0x48, 0xE3, 1, 0xE4, 1, 0xE5, 0xC0, 0xE8, 124, 0xFF, 0xFF,
                        0xFF, 0xFF})[5],
              kIdle);
    const Bytes started = Exchange({2, 0, 0x25, 0x1F, 0xF4, 9, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_EQ(started.size(), 10u);
    EXPECT_EQ(started[7], 1); // done; automatic frames still on
    EXPECT_EQ(started[5], kIdle | status::kControlDone | status::kAutomatic);
    EXPECT_EQ(Exchange({2, 0, 0x25, 0x1F, 0xF4, 0, 0xFF, 0xFF, 0xFF, 0xFF})[5] & status::kAutomatic, 0);
    EXPECT_EQ(Exchange({4, 0, 0x15, 0x1F, 0x80, 0, 0x81, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({4, 0, 0x15, 0x1F, 0, kIdle | status::kControlDone, 0x80, 0x5A, 0x81, 0xC3, 0xFF, 0xFF}));
}

TEST_F(UsbAdapterTest, MalformedRequestsAreDropped)
{
    const Bytes bad[] = {
        {2, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF},                   // one byte short
        {2, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0x00},             // end mark broken
        {3, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},       // odd pair length
        {2, 0, 0x35, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0xFF},             // unknown command
        {0, 0, 0xA7, 0x1F, 0xFF, 0xFF, 0xFF, 0xFF},                      // stream without instruction
        {},
    };
    for (const Bytes &request : bad)
        EXPECT_TRUE(Exchange(request).empty());
    EXPECT_EQ(adapter.MalformedRequests(), 6u);
    EXPECT_EQ(Exchange({2, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0xFF}).size(), 10u);
}

TEST_F(FullSpeedAdapterTest, AnswersAreOnePacket)
{
    Bytes request = {56, 0, 0x15, 0x1F};
    for (uint8_t a = 0; a < 28; ++a) {
        request.push_back(static_cast<uint8_t>(0x80 + a));
        request.push_back(0);
    }
    request.insert(request.end(), 4, 0xFF);
    const Bytes whole = Exchange(request);
    ASSERT_EQ(whole.size(), 64u);
    EXPECT_EQ(whole[6 + 2 * 27], 0x80 + 27);
    EXPECT_EQ(whole[62], 0xFF);

    request = {120, 0, 0x15, 0x1F};
    for (uint8_t a = 0; a < 60; ++a) {
        request.push_back(static_cast<uint8_t>(0x80 + a));
        request.push_back(0);
    }
    request.insert(request.end(), 4, 0xFF);
    EXPECT_EQ(Exchange(request).size(), 64u); // 128 bytes cut to one packet
    EXPECT_EQ(clock.NowMicroseconds(), 2000u);
}

TEST_F(UsbAdapterTest, StreamPacksFramesIntoPackets)
{
    // T = 3 data registers: 22-byte frames, 23 to a 506-byte packet.
    adapter.SetStreamGap(30, 2);
    adapter.ReceiveRequest(Bytes({8, 0, 0xA7, 0x1F, 0xF4, 1, 0, 0, 1, 0, 2, 0, 0xFF, 0xFF, 0xFF, 0xFF}).data(), 16);
    EXPECT_TRUE(adapter.Streaming());
    const Bytes first = Next();
    const Bytes second = Next();
    ASSERT_EQ(first.size(), 506u);
    ASSERT_EQ(second.size(), 506u);
    Bytes stream = first;
    stream.insert(stream.end(), second.begin(), second.end());
    uint32_t previous = 0;
    for (size_t k = 0; k < 46; ++k) {
        const uint8_t *frame = &stream[22 * k];
        const uint32_t number = uint32_t(frame[4]) << 24 | uint32_t(frame[5]) << 16 | uint32_t(frame[6]) << 8 | frame[7];
        if (k > 0) {
            EXPECT_EQ(number - previous, k == 30 ? 3u : 1u) << k;
        }
        previous = number;
        EXPECT_EQ(frame[9], kIdle | status::kAutomatic);
        EXPECT_EQ(Bytes(frame + 10, frame + 22),
                  Bytes({0xF4, 1, 0, 0x56, 1, 0x34, 2, 0x12, 0xFF, 0xFF, 0xFF, 0xFF}));
    }

    // Any request ends the stream; this one also stops the automatic frames.
    EXPECT_EQ(Exchange({2, 0, 0x25, 0x1F, 0xF4, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
              Bytes({2, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0xFF, 0xFF}));
    EXPECT_FALSE(adapter.Streaming());
    EXPECT_TRUE(Next().empty());

    // Automatic frames that cannot keep up never start: status bits 7 and 6 clear.
    master.SetFrameRateTooHigh(true);
    adapter.ReceiveRequest(Bytes({2, 0, 0xA7, 0x1F, 0xF4, 1, 0xFF, 0xFF, 0xFF, 0xFF}).data(), 10);
    const Bytes refused = Next();
    ASSERT_EQ(refused.size(), 16u * 32);
    EXPECT_EQ(refused[9] & (status::kAutomatic | status::kAnswered), 0);
}

TEST(AdapterIdentityTest, Descriptors)
{
    AdapterIdentity identity;
    identity.serialNumber = "BX7 ";
    const Bytes device = DeviceDescriptor(identity);
    ASSERT_EQ(device.size(), 18u);
    EXPECT_EQ(device[0], 18);
    EXPECT_EQ(device[1], 1);
    EXPECT_EQ(device[16], 3);
    EXPECT_EQ(StringDescriptor(identity, device[16]), Bytes({10, 3, 'B', 0, 'X', 0, '7', 0, ' ', 0}));

    identity.serialNumber.clear();
    EXPECT_EQ(DeviceDescriptor(identity)[16], 0);
    EXPECT_TRUE(StringDescriptor(identity, 3).empty());

    // Alternate setting 1 exists only at high speed.
    const Bytes high = ConfigurationDescriptor(identity);
    EXPECT_EQ(high.size(), 9u + 2 * (9 + 14));
    EXPECT_EQ(high[2] | high[3] << 8, static_cast<int>(high.size()));
    EXPECT_EQ(high[9 + 23 + 3], 1); // second interface descriptor: setting 1
    identity.highSpeed = false;
    EXPECT_EQ(ConfigurationDescriptor(identity).size(), 9u + 9 + 14);
}
