// Pipe transfers: loop-back, scripted answers, silent endpoints, the
// overlapped contract, cancellation and injected failures.
#include <algorithm>
#include <cstring>
#include <thread>

#include "SimFixture.h"
#include "sim/dravio/DescriptorBuilder.h"

namespace dravio::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The adapter's arrangement: one handle for the device, one per bound pipe.
class TransfersTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        control = Open(device);
        Configure(control);
        out = BoundPipe(device, 0x02);
        in = BoundPipe(device, 0x81);
    }

    HANDLE control = nullptr;
    HANDLE out = nullptr;
    HANDLE in = nullptr;
};

TEST_F(TransfersTest, LoopbackMovesTheBytesThroughBoundPipes)
{
    sim.SetLoopback(device, 0x02, 0x81);
    uint8_t request[10] = {2, 0, 0x15, 0x1F, 0xF0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    IoResult written = Transfer(out, true, request, 10);
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(10u, written.bytes);

    uint8_t response[4096];
    IoResult first = Transfer(in, false, response, 4);
    EXPECT_EQ(4u, first.bytes);
    EXPECT_EQ(Bytes(request, request + 4), Bytes(response, response + 4));
    IoResult rest = Transfer(in, false, response, sizeof response);
    EXPECT_EQ(6u, rest.bytes);
    EXPECT_EQ(Bytes(request + 4, request + 10), Bytes(response, response + 6));
}

// Firmware that answers every request with the request reversed, twice.
uint32_t AnswerReversedTwice(void *, ISimController &sim, uint32_t device, uint8_t, const uint8_t *data,
                             uint32_t length)
{
    if (length == 0)
        return 0xE0000004;
    Bytes answer(data, data + length);
    std::reverse(answer.begin(), answer.end());
    sim.Deliver(device, 0x81, answer.data(), length);
    sim.Deliver(device, 0x81, answer.data(), 1);
    return 0;
}

TEST_F(TransfersTest, WriteHandlerAnswersOnTheInEndpoint)
{
    sim.SetWriteHandler(device, 0x02, AnswerReversedTwice, nullptr);
    uint8_t request[3] = {1, 2, 3};
    ASSERT_TRUE(Transfer(out, true, request, 3).ok);
    uint8_t response[64];
    ASSERT_EQ(3u, Transfer(in, false, response, sizeof response).bytes);
    EXPECT_EQ((Bytes{3, 2, 1}), Bytes(response, response + 3));
    ASSERT_EQ(1u, Transfer(in, false, response, sizeof response).bytes);
    EXPECT_EQ(3u, response[0]);

    IoResult refused = Transfer(out, true, request, 0);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(0xE0000004u, refused.error);
}

// A device that is asked for data when a read finds none: it answers with
// what it holds back, or says what becomes of the read.
struct IdleDevice {
    uint32_t asked = 0;
    uint32_t status = 0;
    Bytes late;
};

uint32_t AnswerIdleRead(void *context, ISimController &sim, uint32_t device, uint8_t endpoint)
{
    auto &idle = *static_cast<IdleDevice *>(context);
    ++idle.asked;
    if (!idle.late.empty()) {
        sim.Deliver(device, endpoint, idle.late.data(), uint32_t(idle.late.size()));
        idle.late.clear();
    }
    return idle.status;
}

TEST_F(TransfersTest, ReadHandlerAnswersOrEndsAReadThatFindsNothing)
{
    IdleDevice idle;
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), sim.SetReadHandler(device, 0x02, AnswerIdleRead, &idle));
    ASSERT_EQ(0u, sim.SetReadHandler(device, 0x81, AnswerIdleRead, &idle));
    uint8_t buffer[16]{};
    Overlapped read;
    DWORD bytes = 0;

    // Nothing is coming: the read fails at once with the device's status.
    idle.status = 0xE000100C;
    EXPECT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(0xE000100Cu, GetLastError());
    EXPECT_FALSE(read.Signalled());
    EXPECT_EQ(1u, idle.asked);

    // An answer given when asked completes the read at once, whatever the status.
    idle.late = {7, 8, 9};
    EXPECT_TRUE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(3u, bytes);
    EXPECT_EQ((Bytes{7, 8, 9}), Bytes(buffer, buffer + 3));

    // Data already waiting is taken without asking.
    const uint8_t data[2] = {1, 2};
    sim.Deliver(device, 0x81, data, 2);
    EXPECT_EQ(2u, Transfer(in, false, buffer, sizeof buffer).bytes);
    EXPECT_EQ(2u, idle.asked);

    // Status 0 leaves the read pending until data comes.
    idle.status = 0;
    EXPECT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    EXPECT_EQ(3u, idle.asked);
    sim.Deliver(device, 0x81, data, 1);
    EXPECT_TRUE(GetOverlappedResult(in, &read.ov, &bytes, TRUE));
    EXPECT_EQ(1u, bytes);
}

TEST_F(TransfersTest, PendingReadFollowsTheOverlappedContract)
{
    Overlapped read;
    SetEvent(read.ov.hEvent);
    uint8_t buffer[16];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD bytes = 77;
    EXPECT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    EXPECT_FALSE(read.Signalled());   // reset on submission
    EXPECT_EQ(0u, bytes);
    EXPECT_FALSE(GetOverlappedResult(in, &read.ov, &bytes, FALSE));
    EXPECT_EQ(DWORD(ERROR_IO_INCOMPLETE), GetLastError());
    EXPECT_EQ(Bytes(16, 0xCC), Bytes(buffer, buffer + 16));   // untouched until completion

    const uint8_t data[5] = {5, 4, 3, 2, 1};
    sim.Deliver(device, 0x81, data, 5);
    EXPECT_TRUE(read.Signalled());
    EXPECT_EQ(0u, read.ov.Internal);
    EXPECT_EQ(5u, read.ov.InternalHigh);
    EXPECT_TRUE(GetOverlappedResult(in, &read.ov, &bytes, TRUE));
    EXPECT_EQ(5u, bytes);
    EXPECT_EQ(Bytes(data, data + 5), Bytes(buffer, buffer + 5));
    EXPECT_EQ(0xCC, buffer[5]);

    // Data that is there already completes the read at once.
    sim.Deliver(device, 0x81, data, 2);
    EXPECT_TRUE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(2u, bytes);
    EXPECT_TRUE(read.Signalled());
}

TEST_F(TransfersTest, ACompletionSignalsTheCallersEventOnceAndNothingElse)
{
    const auto handleSignalled = [](HANDLE h) { return WaitForSingleObject(h, 0) == WAIT_OBJECT_0; };
    uint8_t buffer[16];
    DWORD bytes = 0;
    const uint8_t data[3] = {1, 2, 3};

    // At once: one signal of the caller's event; the handle is not the caller's to wait on.
    Overlapped read;
    sim.Deliver(device, 0x81, data, 3);
    uint64_t before = sim.EventOperations();
    EXPECT_TRUE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_EQ(1u, sim.EventOperations() - before);
    EXPECT_TRUE(read.Signalled());
    EXPECT_FALSE(handleSignalled(in));

    // Pending: the event is reset when the request pends and signalled once when it ends.
    before = sim.EventOperations();
    EXPECT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
    EXPECT_FALSE(read.Signalled());
    sim.Deliver(device, 0x81, data, 3);
    EXPECT_TRUE(read.Signalled());
    EXPECT_EQ(2u, sim.EventOperations() - before);
    EXPECT_FALSE(handleSignalled(in));

    // A control request completes the same way.
    Overlapped request;
    before = sim.EventOperations();
    uint8_t info[12];
    EXPECT_TRUE(seam.DeviceIoControl(control, 0x8094206C, nullptr, 0, info, sizeof info, &bytes, &request.ov));
    EXPECT_EQ(1u, sim.EventOperations() - before);
    EXPECT_TRUE(request.Signalled());
    EXPECT_FALSE(handleSignalled(control));

    // Without an event of its own the caller waits on the handle, which is then signalled.
    OVERLAPPED bare{};
    sim.Deliver(device, 0x81, data, 3);
    EXPECT_TRUE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &bare));
    EXPECT_TRUE(handleSignalled(in));
    EXPECT_TRUE(GetOverlappedResult(in, &bare, &bytes, TRUE));
    EXPECT_EQ(3u, bytes);
}

TEST_F(TransfersTest, DriverStatusesPassThroughGetOverlappedResult)
{
    const uint8_t data[4] = {1, 2, 3, 4};
    for (uint32_t status : {0xE000100Cu, 0xE0000004u, uint32_t(ERROR_GEN_FAILURE)}) {
        SCOPED_TRACE(testing::Message() << std::hex << status);
        sim.SetDeferredCompletion(device, true);
        sim.FailNextTransfer(device, 0x81, 1, status);
        sim.Deliver(device, 0x81, data, 4);
        Overlapped read;
        uint8_t buffer[8]{};
        DWORD bytes = 0;
        ASSERT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
        ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
        EXPECT_FALSE(GetOverlappedResult(in, &read.ov, &bytes, TRUE));
        EXPECT_EQ(status, GetLastError());
        EXPECT_EQ(Bytes(8, 0), Bytes(buffer, buffer + 8));

        // Without deferral the same failure comes back from the call itself.
        sim.SetDeferredCompletion(device, false);
        sim.FailNextTransfer(device, 0x81, 1, status);
        EXPECT_FALSE(seam.ReadFile(in, buffer, sizeof buffer, &bytes, &read.ov));
        EXPECT_EQ(status, GetLastError());
        EXPECT_EQ(4u, Transfer(in, false, buffer, sizeof buffer).bytes);   // the data waited
    }
}

TEST_F(TransfersTest, InjectedFailuresCountDown)
{
    sim.SetLoopback(device, 0x02, 0x81);
    sim.FailNextTransfer(device, 0x02, 2, 0xE0000030);
    sim.FailNextControl(device, 0x8094206C, 1, 0xE0001000);
    uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_EQ(0xE0000030u, Transfer(out, true, data, 4).error);
    EXPECT_EQ(0xE0000030u, Transfer(out, true, data, 4).error);
    EXPECT_TRUE(Transfer(out, true, data, 4).ok);

    uint8_t info[12];
    EXPECT_EQ(0xE0001000u, Control(control, 0x8094206C, nullptr, 0, info, 12).error);
    EXPECT_EQ(12u, Control(control, 0x8094206C, nullptr, 0, info, 12).bytes);
}

TEST_F(TransfersTest, DeferredControlWritesTheOutputOnlyAtCompletion)
{
    sim.SetDeferredCompletion(device, true);
    sim.SetCancelLatency(0);
    Overlapped request;
    uint8_t info[12];
    std::memset(info, 0xCC, sizeof info);
    DWORD bytes = 0;
    // The worker may answer at any moment; what is certain is the pending call
    // and the answer GetOverlappedResult collects.
    ASSERT_FALSE(seam.DeviceIoControl(control, 0x8094206C, nullptr, 0, info, 12, &bytes, &request.ov));
    ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    EXPECT_TRUE(GetOverlappedResult(control, &request.ov, &bytes, TRUE));
    EXPECT_EQ(12u, bytes);
    EXPECT_EQ((Bytes{0x32, 0x02}), Bytes(info, info + 2));
}

TEST_F(TransfersTest, CancelIoCancelsOnlyTheCallingThreadsRequests)
{
    uint8_t mine[8], theirs[8];
    Overlapped mineRead, theirRead;
    ASSERT_FALSE(seam.ReadFile(in, mine, 8, nullptr, &mineRead.ov));
    HANDLE cancelTheirs = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::thread other([&] {
        EXPECT_FALSE(seam.ReadFile(in, theirs, 8, nullptr, &theirRead.ov));
        WaitForSingleObject(cancelTheirs, INFINITE);
        seam.CancelIo(in);
    });

    for (DeviceState state{}; sim.QueryDevice(device, &state) == 0 && state.pendingRequests < 2;)
        Sleep(1);
    ASSERT_TRUE(seam.CancelIo(in));
    DeviceState state;
    sim.QueryDevice(device, &state);
    EXPECT_EQ(1u, state.pendingRequests);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(mineRead.ov.hEvent, 1000));
    DWORD bytes;
    EXPECT_FALSE(GetOverlappedResult(in, &mineRead.ov, &bytes, FALSE));
    EXPECT_EQ(DWORD(ERROR_OPERATION_ABORTED), GetLastError());
    EXPECT_FALSE(theirRead.Signalled());

    SetEvent(cancelTheirs);
    other.join();
    CloseHandle(cancelTheirs);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(theirRead.ov.hEvent, 1000));
    EXPECT_FALSE(GetOverlappedResult(in, &theirRead.ov, &bytes, FALSE));
    EXPECT_EQ(DWORD(ERROR_OPERATION_ABORTED), GetLastError());
}

TEST_F(TransfersTest, CloseHandleCancelsEveryRequestOnIt)
{
    uint8_t a[8], b[8];
    Overlapped first, second;
    ASSERT_FALSE(seam.ReadFile(in, a, 8, nullptr, &first.ov));
    std::thread([&] { EXPECT_FALSE(seam.ReadFile(in, b, 8, nullptr, &second.ov)); }).join();
    Close(in);
    HANDLE both[2] = {first.ov.hEvent, second.ov.hEvent};
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(2, both, TRUE, 1000));
    EXPECT_EQ(0xC0000120u, first.ov.Internal);
    EXPECT_EQ(0xC0000120u, second.ov.Internal);

    // The endpoint is free for another handle now.
    HANDLE again = BoundPipe(device, 0x81);
    EXPECT_NE(INVALID_HANDLE_VALUE, again);
}

// The way a synchronous read with a time-out ends on a silent endpoint: the
// cancelled request completes on the worker, later than CancelIo returns,
// and must be waited for.
TEST_F(TransfersTest, CancelledReadCompletesAfterCancelIoReturns)
{
    sim.SetEndpointSilent(device, 0x81, true);
    sim.SetCancelLatency(50);
    const uint8_t data[2] = {1, 2};
    sim.Deliver(device, 0x81, data, 2);   // a silent endpoint never answers, data or not

    Overlapped read;
    uint8_t buffer[8];
    ASSERT_FALSE(seam.ReadFile(in, buffer, 8, nullptr, &read.ov));
    ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(read.ov.hEvent, 20));
    ASSERT_TRUE(seam.CancelIo(in));
    EXPECT_FALSE(read.Signalled());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(read.ov.hEvent, 2000));
    sim.LogMarker("read returned");

    const auto log = Log();
    auto at = [&](auto match) { return std::find_if(log.begin(), log.end(), match) - log.begin(); };
    const auto cancel = at([](const LogEntry &e) { return e.event == LogEvent::Cancel; });
    const auto completion = at([](const LogEntry &e) {
        return e.event == LogEvent::Complete && e.endpoint == 0x81 && e.status == ERROR_OPERATION_ABORTED;
    });
    const auto marker = at([](const LogEntry &e) { return e.event == LogEvent::Marker; });
    ASSERT_LT(size_t(marker), log.size());
    EXPECT_LT(cancel, completion);
    EXPECT_LT(completion, marker);
    EXPECT_NE(log[cancel].thread, log[completion].thread);
}

TEST_F(TransfersTest, SilentOutEndpointHoldsWritesUntilItSpeaks)
{
    sim.SetEndpointSilent(device, 0x02, true);
    sim.SetLoopback(device, 0x02, 0x81);
    uint8_t data[3] = {7, 8, 9};
    Overlapped write;
    ASSERT_FALSE(seam.WriteFile(out, data, 3, nullptr, &write.ov));
    ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(write.ov.hEvent, 20));

    sim.SetEndpointSilent(device, 0x02, false);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(write.ov.hEvent, 1000));
    DWORD bytes;
    EXPECT_TRUE(GetOverlappedResult(out, &write.ov, &bytes, FALSE));
    EXPECT_EQ(3u, bytes);
    uint8_t back[8];
    EXPECT_EQ(3u, Transfer(in, false, back, 8).bytes);
}

class IsochronousTest : public SimFixture {
protected:
    void SetUp() override
    {
        const Bytes config = ConfigurationBuilder().Interface(0, 0).Endpoint(0x03, 1, 192, 1).Endpoint(0x83, 1, 192, 1)
                                 .Build();
        DeviceSetup setup{};
        setup.interfaceClass = kClassA;
        setup.configurationDescriptors = config.data();
        setup.configurationDescriptorsLength = uint32_t(config.size());
        ASSERT_EQ(0u, sim.AddDevice(setup, &device));
        Configure(Open(device), 0);
        sim.SetLoopback(device, 0x03, 0x83);
        out = BoundPipe(device, 0x03);
        in = BoundPipe(device, 0x83);
    }

    static void PutWord(Bytes &b, size_t at, uint32_t v) { std::memcpy(b.data() + at, &v, 4); }
    static uint32_t Word(const Bytes &b, size_t at)
    {
        uint32_t v;
        std::memcpy(&v, b.data() + at, 4);
        return v;
    }

    HANDLE out = nullptr;
    HANDLE in = nullptr;
};

TEST_F(IsochronousTest, PacketsLoopBackIntoTheReadBuffersPackets)
{
    // Write: packets of 10, 0 and 20 bytes behind a 52-byte header.
    Bytes write(82, 0);
    PutWord(write, 0, 3);
    PutWord(write, 4, 0x20000);
    const uint32_t offsets[3] = {52, 62, 62}, lengths[3] = {10, 0, 20};
    for (int i = 0; i < 3; ++i) {
        PutWord(write, 16 + 12 * i, offsets[i]);
        PutWord(write, 20 + 12 * i, lengths[i]);
        PutWord(write, 24 + 12 * i, 0xFFFFFFFF);
    }
    for (int i = 52; i < 82; ++i)
        write[i] = uint8_t(i);
    IoResult sent = Transfer(out, true, write.data(), 82);
    ASSERT_TRUE(sent.ok);
    EXPECT_EQ(82u, sent.bytes);
    EXPECT_EQ(0u, Word(write, 24));   // packet statuses written at completion

    // Read: 8 packets of 192 bytes, header 112, packet 7 at 1456, 1648 bytes.
    Bytes read(1648, 0xEE);
    PutWord(read, 0, 8);
    PutWord(read, 4, 0x30000);
    for (uint32_t i = 0; i < 8; ++i) {
        PutWord(read, 16 + 12 * i, 112 + i * 192);
        PutWord(read, 20 + 12 * i, 192);
        PutWord(read, 24 + 12 * i, 0);
    }
    IoResult received = Transfer(in, false, read.data(), 1648);
    ASSERT_TRUE(received.ok);
    EXPECT_EQ(1648u, received.bytes);
    EXPECT_EQ(10u, Word(read, 20));
    EXPECT_EQ(0u, Word(read, 32));
    EXPECT_EQ(20u, Word(read, 44));
    EXPECT_EQ(0u, Word(read, 20 + 12 * 7));
    EXPECT_EQ(Bytes(write.begin() + 52, write.begin() + 62), Bytes(read.begin() + 112, read.begin() + 122));
    EXPECT_EQ(Bytes(write.begin() + 62, write.end()), Bytes(read.begin() + 496, read.begin() + 516));
    EXPECT_EQ(0xEE, read[1456]);
}

TEST_F(IsochronousTest, MalformedBuffersAreRefused)
{
    Bytes buffer(256, 0);
    auto put = [&](size_t at, uint32_t v) { PutWord(buffer, at, v); };
    EXPECT_EQ(0xE0001014u, Transfer(out, true, buffer.data(), 8).error);      // shorter than a header
    EXPECT_EQ(0xE0001014u, Transfer(out, true, buffer.data(), 256).error);    // no packets
    put(0, 2000);
    EXPECT_EQ(0xE0001011u, Transfer(out, true, buffer.data(), 256).error);
    put(0, 1);
    put(16, 28);
    put(20, 193);
    EXPECT_EQ(0xE0001014u, Transfer(out, true, buffer.data(), 256).error);    // above the packet size
    put(16, 200);
    put(20, 100);
    EXPECT_EQ(0xE0001014u, Transfer(out, true, buffer.data(), 256).error);    // past the buffer
    put(16, 8);
    EXPECT_EQ(0xE0001014u, Transfer(out, true, buffer.data(), 256).error);    // inside the header
}

} // namespace
} // namespace dravio::sim::test
