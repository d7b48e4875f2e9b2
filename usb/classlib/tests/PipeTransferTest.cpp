// Data through bound pipes of the simulated driver: synchronous transfers,
// submitted buffers and their waits, and what a cancelled transfer leaves.
#include <cstring>
#include <string>
#include <thread>

#include "DravioThread.h"
#include "SimDriverFixture.h"

namespace dravio::test {
namespace {

using sim::LogEvent;

class PipeTransfer : public SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        number = AddDevice(kClassA);
        ASSERT_EQ(OpenDevice(device, static_cast<int>(number), nullptr, nullptr), 0u);
        ASSERT_EQ(Configure(device), 0u);
        ASSERT_EQ(BindPipe(in, static_cast<int>(number), 0x81, nullptr, nullptr), 0u);
    }

    void TearDown() override
    {
        in.Close();
        device.Close();
        SimDriverTest::TearDown();
    }

    uint32_t number = 0;
    CDravio device;
    CDravioPipe in;
};

// The adapter path: one device object and two pipe objects, each its own
// handle to the same device, found through the interface class's list.
TEST_F(SimDriverTest, LoopbackThroughBoundPipesOnThreeHandles)
{
    AddDevice(kClassA, -1, L"OTHER");
    const uint32_t number = AddDevice(kClassA);
    ASSERT_EQ(sim.SetLoopback(number, 0x02, 0x81), 0u);
    DeviceList list(kClassA);
    const int index = 1; // the second device of the list

    CDravio device;
    CDravioReadThread in;
    CDravioWriteThread out;
    ASSERT_EQ(OpenDevice(device, index, list.Get(), &kClassA), 0u);
    ASSERT_EQ(Configure(device, device.IsHighSpeedDevice() ? 1 : 0), 0u);
    ASSERT_EQ(BindPipe(in, index, 0x81, list.Get(), &kClassA), 0u);
    ASSERT_EQ(BindPipe(out, index, 0x02, list.Get(), &kClassA), 0u);
    EXPECT_EQ(in.SetupPipeStatistics(1000), 0u);
    EXPECT_EQ(State(number).openHandles, 3u);

    const BYTE request[] = {2, 0, 0x15, 0x1F, 0xF0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    DWORD length = sizeof request;
    ASSERT_EQ(out.WriteSync(request, length, 100), 0u);
    EXPECT_EQ(length, sizeof request);

    BYTE response[4096];
    std::memset(response, 0xCC, sizeof response);
    length = sizeof response;
    ASSERT_EQ(in.ReadSync(response, length, 100), 0u);
    ASSERT_EQ(length, sizeof request);
    EXPECT_EQ(std::memcmp(response, request, sizeof request), 0);
    EXPECT_EQ(response[sizeof request], 0xCC);

    // Closing as the adapter does: the pipes, then the device.
    in.Close();
    out.Close();
    EXPECT_EQ(device.UnconfigureDevice(), 0u);
    device.Close();
    EXPECT_EQ(State(number).openHandles, 0u);
}

TEST_F(PipeTransfer, SyncReadTimesOutOnlyAfterTheCancelledReadCompleted)
{
    ASSERT_EQ(sim.SetEndpointSilent(number, 0x81, true), 0u);
    sim.SetCancelLatency(150);
    sim.ClearLog();

    BYTE data[64];
    DWORD length = sizeof data;
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(in.ReadSync(data, length, 50), 0xE000100C);
    const ULONGLONG elapsed = GetTickCount64() - start;
    sim.LogMarker("returned");
    EXPECT_EQ(length, 0u);
    EXPECT_GE(elapsed, 150u);

    // Submitted, cancelled by this thread, completed as cancelled, and only then returned.
    const std::vector<sim::LogEntry> log = Log();
    std::vector<LogEvent> order;
    for (const sim::LogEntry &entry : log)
        order.push_back(entry.event);
    ASSERT_EQ(order, (std::vector<LogEvent>{LogEvent::Read, LogEvent::Cancel, LogEvent::Complete, LogEvent::Marker}));
    EXPECT_EQ(log[1].length, 1u);
    EXPECT_EQ(log[1].thread, GetCurrentThreadId());
    EXPECT_EQ(log[2].request, log[0].request);
    EXPECT_EQ(log[2].status, kOperationAborted);
    EXPECT_EQ(State(number).pendingRequests, 0u);
}

TEST_F(PipeTransfer, SyncTransfersReportRefusedSubmissions)
{
    const struct {
        DWORD failure;
        size_t cancels;
    } cases[] = {
        {0xE000100A, 0},
        // A time-out refused at submission is still followed by a cancel.
        {0xE000100C, 1},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(sim.FailNextTransfer(number, 0x81, 1, c.failure), 0u);
        sim.ClearLog();
        BYTE data[16];
        DWORD length = sizeof data;
        EXPECT_EQ(in.ReadSync(data, length, 1000), c.failure);
        EXPECT_EQ(length, 0u);
        EXPECT_EQ(Count(LogEvent::Cancel), c.cancels);
    }

    // A write on the IN pipe: the driver refuses the direction.
    const BYTE payload[4] = {1, 2, 3, 4};
    DWORD length = sizeof payload;
    EXPECT_EQ(in.WriteSync(payload, length, 100), 0xE0001010);
}

TEST_F(PipeTransfer, SyncReadDeliversWhatArrivesBeforeTheTimeOut)
{
    sim.SetCancelLatency(0);
    std::thread deliverer([this] {
        Sleep(30);
        sim.Deliver(number, 0x81, "late", 4);
    });
    char data[64] = {};
    DWORD length = sizeof data;
    EXPECT_EQ(in.ReadSync(data, length, 5000), 0u);
    EXPECT_EQ(std::string(data, length), "late");
    deliverer.join();
}

TEST_F(PipeTransfer, AbortEventLeavesTheBufferPending)
{
    CDravioBuffer buffer(64);
    buffer.bytesToTransfer = 64;
    ASSERT_TRUE(in.Read(buffer));
    ASSERT_EQ(buffer.status, static_cast<DWORD>(ERROR_IO_PENDING));

    EventHandle abort;
    ASSERT_TRUE(abort.Create(true));
    SetEvent(abort.Get());
    EXPECT_EQ(in.WaitForCompletion(buffer, 1000, abort.Get()), 0xE000101E);
    EXPECT_EQ(buffer.status, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(in.WaitForCompletion(buffer, 0), 0xE000100C);
    EXPECT_EQ(buffer.status, static_cast<DWORD>(ERROR_IO_PENDING));
    EXPECT_EQ(State(number).pendingRequests, 1u);

    ASSERT_EQ(sim.Deliver(number, 0x81, "abc", 3), 0u);
    EXPECT_EQ(in.WaitForCompletion(buffer, 1000), 0u);
    EXPECT_EQ(buffer.status, 0u);
    EXPECT_EQ(buffer.bytesTransferred, 3u);
    EXPECT_EQ(std::memcmp(buffer.Buffer(), "abc", 3), 0);
}

TEST_F(PipeTransfer, TransferDoneAtSubmissionIsNotWaitedFor)
{
    ASSERT_EQ(sim.Deliver(number, 0x81, "ready", 5), 0u);
    CDravioBuffer buffer(64);
    buffer.bytesToTransfer = 64;
    ASSERT_TRUE(in.Read(buffer));
    ASSERT_EQ(buffer.status, 0u);
    EXPECT_EQ(buffer.bytesTransferred, 5u);

    // Status returned before any wait: the set abort event is never looked at.
    EventHandle abort;
    ASSERT_TRUE(abort.Create(true));
    SetEvent(abort.Get());
    EXPECT_EQ(in.WaitForCompletion(buffer, INFINITE, abort.Get()), 0u);

    // A buffer the driver could write past is never submitted.
    buffer.bytesToTransfer = 65;
    sim.ClearLog();
    EXPECT_FALSE(in.Read(buffer));
    EXPECT_EQ(buffer.status, 0xE0001105);
    EXPECT_EQ(Count(LogEvent::Read), 0u);
}

} // namespace
} // namespace dravio::test
