// The pipe classes with a thread of their own: reader and writer routines,
// error counting, and starting and shutting down the thread.
#include <atomic>
#include <string>
#include <vector>

#include "DravioThread.h"
#include "SimDriverFixture.h"

namespace dravio::test {
namespace {

using sim::LogEvent;

// Records what the routine hands to the hooks; read only once the thread is gone.
template <typename Base>
class Recording : public Base {
public:
    Recording()
    {
        ended.Create(true);
        progress.Create(false);
    }

    using Base::ErrorLimit;
    using Base::IsStopping;

    std::vector<std::string> received;
    std::atomic<int> receivedCount{0};
    std::atomic<int> fills{0};
    std::atomic<int> errors{0};
    int lastAtFill = 0;      // the fill that marks the last buffer; 0 never
    bool emptyFills = false; // every fill asks for nothing
    EventHandle ended;
    EventHandle progress;    // set at every received buffer and every error

protected:
    void FillBuffer(CDravioBuffer &buffer) override
    {
        Base::FillBuffer(buffer);
        if (++fills == lastAtFill)
            buffer.lastBuffer = TRUE;
        if (emptyFills)
            buffer.bytesToTransfer = 0;
    }
    void HandleReceivedData(CDravioBuffer &buffer) override
    {
        if (buffer.status == 0) {
            received.emplace_back(static_cast<const char *>(buffer.Buffer()), buffer.bytesTransferred);
            ++receivedCount;
        }
        SetEvent(progress.Get());
    }
    void HandleBufferError(CDravioBuffer &) override
    {
        ++errors;
        SetEvent(progress.Get());
    }
    void OnThreadEnd() override { SetEvent(ended.Get()); }
};

class WorkerThread : public SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        number = AddDevice(kClassA);
        ASSERT_EQ(OpenDevice(device, static_cast<int>(number), nullptr, nullptr), 0u);
        ASSERT_EQ(Configure(device), 0u);
    }

    void TearDown() override
    {
        device.Close();
        SimDriverTest::TearDown();
    }

    template <typename Thread>
    void Prepare(Thread &thread, UCHAR endpoint)
    {
        ASSERT_EQ(BindPipe(thread, static_cast<int>(number), endpoint, nullptr, nullptr), 0u);
        ASSERT_TRUE(thread.AllocateBuffers(64, 4));
    }

    static bool Ends(EventHandle &ended) { return WaitForSingleObject(ended.Get(), 5000) == WAIT_OBJECT_0; }

    uint32_t number = 0;
    CDravio device;
};

TEST_F(WorkerThread, ReaderStreamsUntilShutDown)
{
    Recording<CDravioReadThread> reader;
    Prepare(reader, 0x81);
    ASSERT_TRUE(reader.StartThread(3));
    EXPECT_FALSE(reader.StartThread(5));

    for (const char *message : {"one", "two", "three"})
        ASSERT_EQ(sim.Deliver(number, 0x81, message, static_cast<uint32_t>(strlen(message))), 0u);
    while (reader.receivedCount < 3)
        ASSERT_EQ(WaitForSingleObject(reader.progress.Get(), 5000), WAIT_OBJECT_0);

    EXPECT_TRUE(reader.ShutdownThread());
    EXPECT_TRUE(reader.IsStopping());
    EXPECT_EQ(reader.ErrorLimit(), 3); // the running thread's limit was kept
    EXPECT_EQ(reader.received, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(State(number).pendingRequests, 0u);
    EXPECT_TRUE(reader.ShutdownThread());
}

TEST_F(WorkerThread, ReaderEndsAfterMoreFailuresThanTheLimit)
{
    Recording<CDravioReadThread> reader;
    Prepare(reader, 0x81);
    ASSERT_EQ(sim.FailNextTransfer(number, 0x81, 20, 0xE0000005), 0u);
    ASSERT_TRUE(reader.StartThread(3));
    ASSERT_TRUE(Ends(reader.ended));
    EXPECT_EQ(reader.errors, 4);
    EXPECT_TRUE(reader.received.empty());
    EXPECT_TRUE(reader.ShutdownThread());
}

TEST_F(WorkerThread, PoweredDownDeviceIsNeverCounted)
{
    Recording<CDravioReadThread> reader;
    Prepare(reader, 0x81);
    ASSERT_EQ(sim.FailNextTransfer(number, 0x81, 6, 0xE000101B), 0u);
    ASSERT_TRUE(reader.StartThread(0));
    while (reader.errors < 6)
        ASSERT_EQ(WaitForSingleObject(reader.progress.Get(), 5000), WAIT_OBJECT_0);
    // Still running, with its reads pending; only the shutdown's abort fails them.
    EXPECT_EQ(WaitForSingleObject(reader.ended.Get(), 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(reader.errors, 6);
    EXPECT_TRUE(reader.ShutdownThread());
}

TEST_F(WorkerThread, ReaderWithNothingToReadEndsWithoutSubmitting)
{
    Recording<CDravioReadThread> reader;
    Prepare(reader, 0x81);
    reader.emptyFills = true;
    sim.ClearLog();
    ASSERT_TRUE(reader.StartThread(3));
    ASSERT_TRUE(Ends(reader.ended));
    EXPECT_EQ(Count(LogEvent::Read), 0u);
    EXPECT_TRUE(reader.ShutdownThread());
}

TEST_F(WorkerThread, WriterEndsAtTheBufferMarkedLast)
{
    Recording<CDravioWriteThread> writer;
    Prepare(writer, 0x02);
    writer.lastAtFill = 3;
    sim.ClearLog();
    ASSERT_TRUE(writer.StartThread(3));
    ASSERT_TRUE(Ends(writer.ended));
    EXPECT_EQ(writer.fills, 3);
    EXPECT_EQ(Count(LogEvent::Write), 2u);
    EXPECT_EQ(Count(LogEvent::Complete), 2u);
    EXPECT_EQ(writer.errors, 0);
    EXPECT_TRUE(writer.ShutdownThread());
}

TEST_F(WorkerThread, ShutdownWithoutAThread)
{
    Recording<CDravioWriteThread> writer;
    EXPECT_TRUE(writer.ShutdownThread());
    EXPECT_FALSE(writer.IsStopping());

    // A pool with nothing free: the routine returns at once.
    ASSERT_EQ(BindPipe(writer, static_cast<int>(number), 0x02, nullptr, nullptr), 0u);
    ASSERT_TRUE(writer.StartThread(3));
    ASSERT_TRUE(Ends(writer.ended));
    EXPECT_EQ(writer.fills, 0);
    EXPECT_TRUE(writer.ShutdownThread());
}

} // namespace
} // namespace dravio::test
