// Frame streaming through BISS_ReadSCDFrames against the simulated adapter:
// the stream request and its packets, the decoding of every channel layout,
// the start check, lost frames, failures of the stream and of the pipe, and
// the frames kept for BISS_GetSCDFrame, BISS_GetSCDFrameEx and
// BISS_GetScdFrameContent.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;
using ferrolink_test::SimulatedDriver;
using sim::biss::TraceKind;
using Bytes = std::vector<uint8_t>;
using Words = std::vector<BISS_U32>;

constexpr uint8_t kInEndpoint = 0x81;

// A slave whose channels change with every frame: each sends a value derived
// from the number the master gives the frame. A test may tamper with a frame
// on its way out.
class ChangingSlave : public sim::biss::SlaveBehaviour {
public:
    using Tamper = std::function<void(uint32_t number, sim::biss::SimBissSlave &slave)>;

    explicit ChangingSlave(sim::biss::SimBissMaster &master) : master_(master) {}

    void BeforeFrame(sim::biss::SimBissSlave &slave) override
    {
        const uint32_t number = master_.FrameNumber() + 1;  // counted once the frame has run
        for (size_t c = 0; c < slave.Channels().size(); ++c)
            slave.SetData(c, Value(number, c, slave.Channels()[c].dataBits));
        if (tamper)
            tamper(number, slave);
    }

    static uint64_t Value(uint32_t number, size_t channel, unsigned bits)
    {
        const uint64_t mixed = (uint64_t{number} + 1000 * channel) * 0x9E3779B97F4A7C15ULL;
        return bits >= 64 ? mixed : mixed & ((uint64_t{1} << bits) - 1);
    }

    Tamper tamper;

private:
    sim::biss::SimBissMaster &master_;
};

struct StreamRun {
    int code = -1;
    Words high, low, numbers, status;
    uint64_t Value(size_t k) const { return (uint64_t{high[k]} << 32) | low[k]; }
};

class StreamTest : public SimulatedAdapterTest {
protected:
    // One slave with these channels behind the adapter, the adapter selected.
    sim::biss::SimBissSlave &PlugSlave(std::vector<sim::biss::SlaveChannel> channels)
    {
        Plug();
        slaveBehaviour_ = std::make_unique<ChangingSlave>(rig_->master);
        sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
        slave.SetChannels(std::move(channels));
        slave.SetBehaviour(slaveBehaviour_.get());
        Select();
        return slave;
    }
    void WriteMaster() { ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_)); }
    ChangingSlave &Slave() { return *slaveBehaviour_; }

    StreamRun Stream(BISS_U32 count)
    {
        StreamRun run;
        run.high.assign(count, 0xEEEEEEEE);
        run.low.assign(count, 0xEEEEEEEE);
        run.numbers.assign(count, 0xEEEEEEEE);
        run.status.assign(count, 0xEEEEEEEE);
        run.code = BISS(BISS_ReadSCDFrames)(handle_, count, run.high.data(), run.low.data(), run.numbers.data(),
                                            run.status.data());
        return run;
    }

    // Requests of one command the adapter received, in order.
    std::vector<Bytes> Requests(uint8_t command)
    {
        std::vector<Bytes> requests;
        for (const auto &event : rig_->master.Trace().Select(TraceKind::AdapterRequest))
            if (event.bytes.size() > 2 && event.bytes[2] == command)
                requests.push_back(event.bytes);
        return requests;
    }

    // The simulated driver's log of this adapter, with the test's markers.
    std::vector<dravio::sim::LogEntry> DriverLog()
    {
        std::vector<dravio::sim::LogEntry> entries(8192);
        const uint32_t held = SimulatedDriver().CopyLog(entries.data(), static_cast<uint32_t>(entries.size()));
        entries.resize(std::min<size_t>(held, entries.size()));
        std::erase_if(entries, [&](const auto &e) {
            return e.device != rig_->link.DeviceNumber() && e.event != dravio::sim::LogEvent::Marker;
        });
        return entries;
    }
    // Reads of the given length submitted on the IN pipe.
    std::vector<dravio::sim::LogEntry> PacketReads(uint32_t length)
    {
        std::vector<dravio::sim::LogEntry> reads;
        for (const auto &e : DriverLog())
            if (e.event == dravio::sim::LogEvent::Read && e.endpoint == kInEndpoint && e.length == length)
                reads.push_back(e);
        return reads;
    }

    // Every kept frame of channel 0 carries the value its frame number gives, numbers rising by one.
    void ExpectFramesOf(const StreamRun &run, unsigned dataBits)
    {
        for (size_t k = 0; k < run.low.size(); ++k) {
            EXPECT_EQ(ChangingSlave::Value(run.numbers[k], 0, dataBits), run.Value(k)) << "frame " << k;
            if (k > 0) {
                EXPECT_EQ(run.numbers[k - 1] + 1, run.numbers[k]) << "frame " << k;
            }
        }
    }

    std::unique_ptr<ChangingSlave> slaveBehaviour_;
};

TEST_F(StreamTest, AHundredFramesOfA24BitChannel)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    rig_->master.Trace().Clear();
    SimulatedDriver().ClearLog();

    const StreamRun run = Stream(100);
    ASSERT_EQ(0, run.code);
    // Bytes 0-3 of slot 0: T = 4, F = 24, K = 21 records a packet, N = 6 packets.
    const std::vector<Bytes> expected = {
        {10, 0, 0xA7, 0x1F, 0xF4, 1, 0, 0, 1, 0, 2, 0, 3, 0, 0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(expected, Requests(0xA7));
    EXPECT_EQ(6u, PacketReads(21 * 24).size());
    ExpectFramesOf(run, 24);
    const auto automatic = rig_->master.Trace().Frames(sim::biss::FrameKind::Automatic);
    ASSERT_FALSE(automatic.empty());
    EXPECT_EQ(automatic.front().frameNumber + 2, run.numbers[0]) << "the first two records are not kept";
    for (BISS_U32 status : run.status)
        EXPECT_EQ(0xF8u, status & 0xF8);

    // The stream and the automatic frames end with the call; single cycles work again.
    EXPECT_FALSE(rig_->link.WithAdapterHeld([&] { return rig_->adapter.Streaming(); }));
    EXPECT_EQ(0, rig_->master.Peek(0xF4) & 1);
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0;
    EXPECT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, nullptr));

    // The kept frames, one at a time and one channel over all of them.
    for (BISS_U32 k : {0u, 57u, 99u}) {
        BISS_U32 frameHigh[8] = {}, frameLow[8] = {}, number = 0, status = 0;
        ASSERT_EQ(0, BISS(BISS_GetSCDFrame)(handle_, k, frameHigh, frameLow, &number, &status));
        EXPECT_EQ(run.low[k], frameLow[0]);
        EXPECT_EQ(run.numbers[k], number);
        EXPECT_EQ(run.status[k], status);
        EXPECT_EQ(0, BISS(BISS_GetSCDFrame)(handle_, k, frameHigh, frameLow, nullptr, nullptr));
    }
    Words high2(100), low2(100), numbers2(100), status2(100);
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 100, 0, high2.data(), low2.data(), numbers2.data(), status2.data()));
    EXPECT_EQ(run.high, high2);
    EXPECT_EQ(run.low, low2);
    EXPECT_EQ(run.numbers, numbers2);
    EXPECT_EQ(run.status, status2);
    EXPECT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 100, 0, high2.data(), low2.data(), nullptr, nullptr));
}

struct LayoutRow {
    const char *name;
    BISS_U32 length, poly, start;     // frame parameters of channel 0
    sim::biss::SlaveChannel slave;    // what the slave sends
    size_t scdBytes;                  // bytes of slot 0 in each record
    unsigned dataBits;                // bits handed out
};

class LayoutTest : public StreamTest, public ::testing::WithParamInterface<LayoutRow> {};

TEST_P(LayoutTest, BytesAskedForAndValuesHandedOut)
{
    const LayoutRow &row = GetParam();
    PlugSlave({row.slave});
    ConfigureChannel(0, row.length, row.poly, 1, row.start);
    WriteMaster();
    rig_->master.Trace().Clear();
    const StreamRun run = Stream(30);
    ASSERT_EQ(0, run.code);
    const std::vector<Bytes> requests = Requests(0xA7);
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(2 * row.scdBytes + 10, requests[0].size());
    ExpectFramesOf(run, row.dataBits);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, LayoutTest,
    ::testing::Values(
        // The master checks a 6-bit CRC with start value 0 and keeps it: 26 data bits in 4 bytes.
        LayoutRow{"MasterChecked", 32, 0x43, 0, {26, 0, 0x43, 0}, 4, 26},
        // With another start value all 32 bits arrive (5 bytes) and the CRC is checked here.
        LayoutRow{"CheckedHere", 32, 0x43, 5, {26, 0, 0x43, 5}, 5, 26},
        // A 16-bit CRC is always checked here.
        LayoutRow{"SixteenBitCrc", 40, 0x11021, 0, {24, 0, 0x11021, 0}, 6, 24},
        // 64 data bits fill all 8 registers of the slot.
        LayoutRow{"SixtyFourBits", 64, 0, 0, {64, 0, 0, 0}, 8, 64}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(StreamTest, TwoChannelsAreKeptApartAndSplitIntoContentItems)
{
    PlugSlave({{16, 0, 0x43, 0}, {12, 0, 0, 0}});
    ConfigureChannel(0, 22, 0x43);
    ConfigureChannel(1, 12, 0);
    WriteMaster();
    rig_->master.Trace().Clear();
    const StreamRun run = Stream(40);
    ASSERT_EQ(0, run.code);
    const std::vector<Bytes> expected = {
        {12, 0, 0xA7, 0x1F, 0xF4, 1, 0, 0, 1, 0, 2, 0, 8, 0, 9, 0, 0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(expected, Requests(0xA7));
    ExpectFramesOf(run, 16);

    Words high(40), low(40);
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 40, 1, high.data(), low.data(), nullptr, nullptr));
    for (size_t k = 0; k < 40; ++k)
        EXPECT_EQ(ChangingSlave::Value(run.numbers[k], 1, 12), low[k]) << "frame " << k;
    BISS_U32 frameHigh[8] = {}, frameLow[8] = {};
    ASSERT_EQ(0, BISS(BISS_GetSCDFrame)(handle_, 7, frameHigh, frameLow, nullptr, nullptr));
    EXPECT_EQ(run.low[7], frameLow[0]);
    EXPECT_EQ(low[7], frameLow[1]);

    // Channel 1 as two items of 4 and 8 bits, over every kept frame.
    for (BISS_U32 item : {0u, 1u}) {
        const BissScdContentParams params{0, item == 0 ? 4u : 8u, 0, 0};
        ASSERT_EQ(0, BISS(BISS_SetScdContentParams)(handle_, 1, item, &params));
    }
    Words top(40), bottom(40);
    ASSERT_EQ(0, BISS(BISS_GetScdFrameContent)(handle_, 40, 1, 0, top.data()));
    ASSERT_EQ(0, BISS(BISS_GetScdFrameContent)(handle_, 40, 1, 1, bottom.data()));
    for (size_t k = 0; k < 40; ++k) {
        EXPECT_EQ(low[k] >> 8, top[k]);
        EXPECT_EQ(low[k] & 0xFF, bottom[k]);
    }
    Words untouched(40, 7);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetScdFrameContent)(handle_, 40, 1, 2, untouched.data()));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetScdFrameContent)(handle_, 39, 1, 0, untouched.data()));
    EXPECT_EQ(7u, untouched[0]);
}

TEST_F(StreamTest, ItemsOf16And1And7BitsSplitA24BitValueInTheLastCycleAndInEveryKeptFrame)
{
    PlugSlave({{24, 0, 0x43, 0}});
    ConfigureChannel(0, 30, 0x43);
    WriteMaster();
    const BISS_U32 widths[] = {16, 1, 7};
    for (BISS_U32 item = 0; item < 3; ++item) {
        const BissScdContentParams params{0, widths[item], 0, 0};
        ASSERT_EQ(0, BISS(BISS_SetScdContentParams)(handle_, 0, item, &params));
    }
    BISS_U32 high[8] = {}, low[8] = {}, mask = 0;
    ASSERT_EQ(0, BISS(BISS_ReadSCD)(handle_, high, low, &mask, 0, nullptr));
    BISS_U32 items[3] = {};
    ASSERT_EQ(0, BISS(BISS_GetScdContent)(handle_, 0, items));
    EXPECT_EQ(low[0] >> 8, items[0]);
    EXPECT_EQ((low[0] >> 7) & 1, items[1]);
    EXPECT_EQ(low[0] & 0x7F, items[2]);

    const StreamRun run = Stream(25);
    ASSERT_EQ(0, run.code);
    Words top(25), middle(25), bottom(25);
    ASSERT_EQ(0, BISS(BISS_GetScdFrameContent)(handle_, 25, 0, 0, top.data()));
    ASSERT_EQ(0, BISS(BISS_GetScdFrameContent)(handle_, 25, 0, 1, middle.data()));
    ASSERT_EQ(0, BISS(BISS_GetScdFrameContent)(handle_, 25, 0, 2, bottom.data()));
    for (size_t k = 0; k < 25; ++k) {
        EXPECT_EQ(run.low[k] >> 8, top[k]) << "frame " << k;
        EXPECT_EQ((run.low[k] >> 7) & 1, middle[k]) << "frame " << k;
        EXPECT_EQ(run.low[k] & 0x7F, bottom[k]) << "frame " << k;
    }
}

TEST_F(StreamTest, ASeventyBitChannelTakesItsCrcFromTheSplitSlot)
{
    sim::biss::SimBissSlave &slave = PlugSlave({{64, 0, 0x43, 1}});
    ConfigureChannel(0, 70, 0x43, 1, 1);
    WriteMaster();
    rig_->master.Trace().Clear();
    const StreamRun run = Stream(30);
    ASSERT_EQ(0, run.code);
    // 64 data bits in slot 0, the 6 CRC bits in slot 1.
    const std::vector<Bytes> expected = {{20, 0, 0xA7, 0x1F, 0xF4, 1, 0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8,
                                          0, 0xFF, 0xFF, 0xFF, 0xFF}};
    EXPECT_EQ(expected, Requests(0xA7));
    ExpectFramesOf(run, 64);

    // A CRC from another start value is wrong in every frame.
    slave.SetChannels({{64, 0, 0x43, 0}});
    EXPECT_EQ(eBISS_FRAME_FAILED, Stream(30).code);
}

TEST_F(StreamTest, ACrcMismatchGives15AndEveryFrameIsStillKept)
{
    PlugSlave({{26, 0, 0x43, 5}});
    ConfigureChannel(0, 32, 0x43, 1, 5);
    WriteMaster();
    uint32_t streamed = 0;
    uint32_t spoiled = 0;
    Slave().tamper = [&](uint32_t number, sim::biss::SimBissSlave &slave) {
        // The 20th frame of the stream goes out with a CRC from another start value.
        const bool spoil = rig_->adapter.Streaming() && ++streamed == 20;
        slave.SetChannels({{26, slave.Channels()[0].data, 0x43, spoil ? 4u : 5u}});
        if (spoil)
            spoiled = number;
    };
    const StreamRun run = Stream(80);
    EXPECT_EQ(eBISS_FRAME_FAILED, run.code);
    EXPECT_EQ(eBISS_FRAME_FAILED, LastCode());
    ASSERT_NE(0u, spoiled);
    ASSERT_NE(run.numbers.end(), std::find(run.numbers.begin(), run.numbers.end(), spoiled));
    // Frames after the bad one are decoded and kept too.
    ExpectFramesOf(run, 26);
    Words high(80), low(80);
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 80, 0, high.data(), low.data(), nullptr, nullptr));
    EXPECT_EQ(run.low, low);
}

TEST_F(StreamTest, LostFramesGive19)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    rig_->adapter.SetStreamGap(40, 1);
    const StreamRun run = Stream(100);
    EXPECT_EQ(eBISS_DATA_OVERFLOW, run.code);
    EXPECT_EQ(100u, run.numbers[99] - run.numbers[0]) << "frames 0 to 100, one missing";
    // The frames are kept all the same.
    BISS_U32 high[8] = {}, low[8] = {}, number = 0;
    ASSERT_EQ(0, BISS(BISS_GetSCDFrame)(handle_, 99, high, low, &number, nullptr));
    EXPECT_EQ(run.numbers[99], number);
}

TEST_F(StreamTest, AStreamThatDoesNotStartGives17Or15AndStops)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    const StreamRun before = Stream(50);
    ASSERT_EQ(0, before.code);

    // The divider is too fast for automatic frames: nothing answers.
    rig_->master.SetFrameRateTooHigh(true);
    EXPECT_EQ(eBISS_FRAME_RATE_TOO_HIGH, Stream(50).code);
    EXPECT_EQ(eBISS_FRAME_RATE_TOO_HIGH, LastCode());
    EXPECT_FALSE(rig_->link.WithAdapterHeld([&] { return rig_->adapter.Streaming(); }));
    EXPECT_EQ(0x80, rig_->master.Trace().Select(TraceKind::RegisterWrite).back().value) << "stopped";
    rig_->master.SetFrameRateTooHigh(false);

    // The slaves answer, but the adapter reports no automatic frames.
    Slave().tamper = [&](uint32_t, sim::biss::SimBissSlave &) {
        rig_->master.Poke(0xF0, rig_->master.Peek(0xF0) & 0x7F);
    };
    EXPECT_EQ(eBISS_FRAME_FAILED, Stream(50).code);
    Slave().tamper = nullptr;

    // A failed stream leaves the frames of the last good one.
    Words high(50), low(50);
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 50, 0, high.data(), low.data(), nullptr, nullptr));
    EXPECT_EQ(before.low, low);
    EXPECT_EQ(0, Stream(50).code);
}

TEST_F(StreamTest, FramesWithAnErrorStatusGive17AndAreKept)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    uint32_t streamed = 0;
    uint32_t silentFrame = 0;
    Slave().tamper = [&](uint32_t number, sim::biss::SimBissSlave &) {
        // The line is held low for the frame after the 30th of the stream.
        if (rig_->adapter.Streaming() && ++streamed == 30) {
            rig_->line.SetStuckLow(true);
            silentFrame = number + 1;
        } else if (number == silentFrame) {
            rig_->line.SetStuckLow(false);
        }
    };
    const StreamRun run = Stream(100);
    EXPECT_EQ(eBISS_FRAME_RATE_TOO_HIGH, run.code) << "no answer: status bit 6 clear";
    const auto bad = std::find(run.numbers.begin(), run.numbers.end(), silentFrame);
    ASSERT_NE(run.numbers.end(), bad);
    const size_t k = static_cast<size_t>(bad - run.numbers.begin());
    EXPECT_EQ(0u, run.status[k] & 0x40);
    EXPECT_EQ(0x78u, run.status[k + 1] & 0x78);
    EXPECT_EQ(99u, run.numbers[99] - run.numbers[0]);
}

TEST_F(StreamTest, AShortPacketGives12InsteadOfShiftedFrames)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    // The automatic frames stop in the middle of the fourth packet, which goes out short.
    uint32_t streamed = 0;
    Slave().tamper = [&](uint32_t, sim::biss::SimBissSlave &) {
        if (rig_->adapter.Streaming() && ++streamed == 3 * 21 + 5)
            rig_->master.Poke(0xF4, 0);
    };
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, Stream(200).code);
    EXPECT_FALSE(rig_->link.WithAdapterHeld([&] { return rig_->adapter.Streaming(); }));
    Slave().tamper = nullptr;
    EXPECT_EQ(0, Stream(200).code);
}

TEST_F(StreamTest, AFailedWaitLeavesNoCompletionLandingInFreedMemory)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    dravio::sim::ISimController &driver = SimulatedDriver();
    const uint32_t device = rig_->link.DeviceNumber();
    // The IN pipe goes quiet, cancelled reads complete only later, and once
    // the stream runs the stop request fails, so no other transfer of the
    // call waits for what the stream left in flight.
    driver.SetCancelLatency(150);
    ASSERT_EQ(0u, driver.SetEndpointSilent(device, kInEndpoint, true));
    bool armed = false;
    Slave().tamper = [&](uint32_t, sim::biss::SimBissSlave &) {
        if (!armed && rig_->adapter.Streaming())
            armed = driver.FailNextTransfer(device, 0x02, 1, 0xE0000005) == 0;
    };
    driver.ClearLog();
    EXPECT_EQ(eBISS_BISS_COMM_FAILED, Stream(100).code);
    driver.LogMarker("returned");
    EXPECT_TRUE(armed);
    Slave().tamper = nullptr;
    driver.SetEndpointSilent(device, kInEndpoint, false);
    driver.SetCancelLatency(0);

    const std::vector<dravio::sim::LogEntry> log = DriverLog();
    const auto marker = std::find_if(log.begin(), log.end(),
                                     [](const auto &e) { return e.event == dravio::sim::LogEvent::Marker; });
    ASSERT_NE(log.end(), marker);
    const std::vector<dravio::sim::LogEntry> reads = PacketReads(21 * 24);
    EXPECT_EQ(3u, reads.size()) << "three reads in flight";
    for (const auto &read : reads) {
        const auto completion = std::find_if(log.begin(), log.end(), [&](const auto &e) {
            return e.event == dravio::sim::LogEvent::Complete && e.request == read.request;
        });
        ASSERT_NE(log.end(), completion) << "read " << read.request;
        EXPECT_LT(completion->sequence, marker->sequence) << "read " << read.request << " completed after the return";
    }
    dravio::sim::DeviceState state{};
    ASSERT_EQ(0u, driver.QueryDevice(device, &state));
    EXPECT_EQ(0u, state.pendingRequests);
}

TEST_F(StreamTest, ARefusedReadGives12AndTheNextStreamWorks)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    ASSERT_EQ(0u, SimulatedDriver().FailNextTransfer(rig_->link.DeviceNumber(), kInEndpoint, 1, 0xE0000005));
    EXPECT_EQ(eBISS_MASTER_COMM_FAILED, Stream(100).code);
    EXPECT_FALSE(rig_->link.WithAdapterHeld([&] { return rig_->adapter.Streaming(); }));
    const StreamRun run = Stream(100);
    EXPECT_EQ(0, run.code);
    ExpectFramesOf(run, 24);
}

TEST_F(StreamTest, KeptFramesAreReplacedByAnotherLengthAndOverwrittenByTheSame)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    WriteMaster();
    BISS_U32 high[8] = {}, low[8] = {};
    Words many(60), other(60);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetSCDFrame)(handle_, 0, high, low, nullptr, nullptr)) << "none kept";
    EXPECT_EQ(eBISS_INVALID_PARAMETER,
              BISS(BISS_GetSCDFrameEx)(handle_, 0, 0, many.data(), other.data(), nullptr, nullptr));

    const StreamRun first = Stream(50);
    ASSERT_EQ(0, first.code);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetSCDFrame)(handle_, 50, high, low, nullptr, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER,
              BISS(BISS_GetSCDFrameEx)(handle_, 49, 0, many.data(), other.data(), nullptr, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER,
              BISS(BISS_GetSCDFrameEx)(handle_, 50, 8, many.data(), other.data(), nullptr, nullptr));

    const StreamRun same = Stream(50);
    ASSERT_EQ(0, same.code);
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 50, 0, many.data(), other.data(), nullptr, nullptr));
    EXPECT_EQ(same.low, Words(other.begin(), other.begin() + 50));
    EXPECT_NE(first.numbers[0], same.numbers[0]);

    const StreamRun longer = Stream(60);
    ASSERT_EQ(0, longer.code);
    EXPECT_EQ(eBISS_INVALID_PARAMETER,
              BISS(BISS_GetSCDFrameEx)(handle_, 50, 0, many.data(), other.data(), nullptr, nullptr));
    ASSERT_EQ(0, BISS(BISS_GetSCDFrameEx)(handle_, 60, 0, many.data(), other.data(), nullptr, nullptr));
    EXPECT_EQ(longer.low, other);
}

TEST_F(StreamTest, ControlTrafficLeavesRegisterE8ToBeRewrittenBeforeTheStream)
{
    PlugSlave({{24, 0, 0, 0}});
    ConfigureChannel(0, 24, 0);
    SetComParam(eBISS_CP_FREQ_AGS, 0x21);
    SetComParam(eBISS_CP_FREQ_AGS_REG, 0x05);
    WriteMaster();
    // A register read over the control channel runs at its own rate.
    BISS_U32 count = 1, data[1] = {};
    ASSERT_EQ(0, BISS(BISS_ReadSlaveRegister)(handle_, 0, 0, 0x10, &count, data));
    EXPECT_EQ(0x05, rig_->master.Peek(0xE8));

    rig_->master.Trace().Clear();
    ASSERT_EQ(0, Stream(30).code);
    const auto events = rig_->master.Trace().Events();
    const auto rewrite = std::find_if(events.begin(), events.end(), [](const auto &e) {
        return e.kind == TraceKind::RegisterWrite && e.address == 0xE8 && e.value == 0x21;
    });
    const auto request = std::find_if(events.begin(), events.end(), [](const auto &e) {
        return e.kind == TraceKind::AdapterRequest && e.bytes.size() > 2 && e.bytes[2] == 0xA7;
    });
    ASSERT_NE(events.end(), rewrite);
    EXPECT_LT(rewrite - events.begin(), request - events.begin());

    // Only once: the next stream finds the register as the image has it.
    rig_->master.Trace().Clear();
    ASSERT_EQ(0, Stream(30).code);
    for (const auto &e : rig_->master.Trace().Select(TraceKind::RegisterWrite))
        EXPECT_NE(0xE8, e.address);
}

// Twenty million frames need arrays of about 1.4 GB, more than a 32-bit process can find room for;
// the count fails before anything is streamed.
TEST_F(StreamTest, ACountTheProcessCannotKeepFailsBeforeAnythingIsSent)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0, 0}});
    Select();
    ConfigureChannel(0, 24, 0);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    rig_->master.Trace().Clear();
    BISS_U32 high[4] = {}, low[4] = {};
    EXPECT_EQ(eBISS_VALUE_RANGE, BISS(BISS_ReadSCDFrames)(handle_, 20000000, high, low, nullptr, nullptr));
    EXPECT_TRUE(Requests(0xA7).empty()) << "nothing streamed";
}

TEST_F(StreamTest, BadArgumentsGetCodesNotCrashes)
{
    Plug();
    BISS_U32 high[4] = {}, low[4] = {};
    auto *read = BISS(BISS_ReadSCDFrames);
    EXPECT_EQ(eBISS_NO_INTERFACE, read(handle_, 10, high, low, nullptr, nullptr)) << "no USB adapter selected";
    EXPECT_EQ(eBISS_NO_INTERFACE, LastCode());
    EXPECT_EQ(eBISS_INVALID_HANDLE, read(0, 10, high, low, nullptr, nullptr));

    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0, 0}});
    Select();
    ConfigureChannel(0, 24, 0);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    rig_->master.Trace().Clear();
    const struct {
        const char *what;
        int code;
        int expected;
    } cases[] = {
        {"no frames", read(handle_, 0, high, low, nullptr, nullptr), eBISS_VALUE_RANGE},
        {"a data block past 32 bits", read(handle_, 0xFFFFFFFF, high, low, nullptr, nullptr), eBISS_VALUE_RANGE},
        {"no high words", read(handle_, 4, nullptr, low, nullptr, nullptr), eBISS_INVALID_PARAMETER},
        {"no low words", read(handle_, 4, high, nullptr, nullptr, nullptr), eBISS_INVALID_PARAMETER},
        {"frame of none kept", BISS(BISS_GetSCDFrame)(handle_, 0, high, low, nullptr, nullptr),
         eBISS_INVALID_PARAMETER},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.expected, c.code) << c.what;
    EXPECT_TRUE(Requests(0xA7).empty()) << "nothing streamed";

    ASSERT_EQ(0, read(handle_, 4, high, low, nullptr, nullptr));
    EXPECT_EQ(0x123456u, low[3]);
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetSCDFrame)(handle_, 0, nullptr, low, nullptr, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetSCDFrame)(handle_, 0xFFFFFFFF, high, low, nullptr, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_GetSCDFrameEx)(handle_, 4, 0, high, nullptr, nullptr, nullptr));
    EXPECT_EQ(eBISS_INVALID_PARAMETER,
              BISS(BISS_GetSCDFrameEx)(handle_, 4, 0xFFFFFFFF, high, low, nullptr, nullptr));
}

} // namespace
