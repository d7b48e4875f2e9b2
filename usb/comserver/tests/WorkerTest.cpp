// The read/write worker seen from an automation client: run limits, stopping,
// refusals, release from inside a handler, and isochronous transfers.
#include "DeviceSupport.h"

#include <com/Bstr.h>

#include <atomic>

namespace {

const DISPID kReadDataAvailable = 1;
const DISPID kWriteStatusAvailable = 3;
const LONG kAlreadyStarted = static_cast<LONG>(0xE000A007);
const LONG kInvalidPipeType = static_cast<LONG>(0xE000A008);
const LONG kWriterNotRunning = static_cast<LONG>(0xE000A00B);
const LONG kReaderNotRunning = static_cast<LONG>(0xE000A00C);
const LONG kInvalidArray = static_cast<LONG>(0xE000A00F);
const DWORD kStall = 0xE0000004;
const DWORD kBindPipe = 0x80942078;

// Polls until the condition holds or the patience runs out.
template <class Condition>
bool Eventually(Condition condition)
{
    ULONGLONG deadline = GetTickCount64() + kPatienceMs;
    while (!condition()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

class WorkerTest : public DeviceTest {
protected:
    // An object bound to an endpoint; the first one configures the device.
    com::ComPtr<IDravioInterface> Bound(LONG endpoint, bool configure = true)
    {
        com::ComPtr<IDravioInterface> object = OpenObject(configure);
        LONG status = -1;
        object->Bind(endpoint, &status);
        EXPECT_EQ(status, 0);
        return object;
    }

    dravio::sim::DeviceState State()
    {
        dravio::sim::DeviceState state{};
        Sim().QueryDevice(DeviceNumber(), &state);
        return state;
    }

    void Deliver(BYTE value)
    {
        BYTE data[4] = {value, value, value, value};
        Sim().Deliver(DeviceNumber(), 0x81, data, sizeof(data));
    }

    // The statuses ReadData gives until the reader is found stopped or the data runs dry.
    std::vector<LONG> DrainReads(IDravioInterface *reader)
    {
        std::vector<LONG> statuses;
        com::SafeArray data = ByteArray(64);
        SAFEARRAY *array = data.Get();
        for (;;) {
            LONG length = 0;
            LONG status = ReadWhenThere(reader, &array, length);
            statuses.push_back(status);
            if (status == kNoData || status == kReaderNotRunning) {
                return statuses;
            }
        }
    }
};

TEST_F(WorkerTest, ErrorLimitEndsTheRunAfterOneFailureMoreThanItAllows)
{
    struct Case {
        LONG limit;
        DWORD failures;
        bool stillRunning;
    } cases[] = {{0, 1, false}, {3, 4, false}, {3, 3, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "limit " << c.limit << ", failures " << c.failures);
        com::ComPtr<IDravioInterface> reader = Bound(0x81);
        ASSERT_EQ(Sim().FailNextTransfer(DeviceNumber(), 0x81, c.failures, kStall), 0u);
        LONG status = -1;
        reader->StartReading(64, 4, c.limit, &status);
        ASSERT_EQ(status, 0);

        com::SafeArray data = ByteArray(64);
        SAFEARRAY *array = data.Get();
        LONG length = 0;
        if (c.stillRunning) {
            // The failed buffers come first, then data: a success resets the count.
            for (DWORD i = 0; i < c.failures; ++i) {
                EXPECT_EQ(ReadWhenThere(reader.Get(), &array, length), static_cast<LONG>(kStall));
            }
            Deliver(0x55);
            EXPECT_EQ(ReadWhenThere(reader.Get(), &array, length), 0);
            EXPECT_EQ(length, 4);
        } else {
            EXPECT_TRUE(Eventually([&] {
                reader->ReadData(&array, &length, &status);
                return status == kReaderNotRunning;
            }));
        }
        reader->StopReading();
        reader->UnconfigureDevice(&status);
        reader->CloseDevice();
    }
}

TEST_F(WorkerTest, StoppedRunsRefuseTheClientAndLeaveNoTransferBehind)
{
    com::ComPtr<IDravioInterface> reader = Bound(0x81);
    ASSERT_EQ(Sim().SetEndpointSilent(DeviceNumber(), 0x81, true), 0u);
    Sim().SetCancelLatency(30);
    LONG status = -1;
    reader->StartReading(64, 8, 0, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(Eventually([&] { return State().pendingRequests == 8; }));

    reader->StopReading();
    com::SafeArray data = ByteArray(64);
    SAFEARRAY *array = data.Get();
    LONG length = 0;
    reader->ReadData(&array, &length, &status);
    EXPECT_EQ(status, kReaderNotRunning);

    // Closing waits for the worker, which waits for every transfer it submitted.
    reader->CloseDevice();
    EXPECT_EQ(State().pendingRequests, 0u);
    EXPECT_EQ(State().openHandles, 0u);

    com::ComPtr<IDravioInterface> writer = Bound(0x02, false);
    writer->StartWriting(64, 2, 0, 0, &status);
    ASSERT_EQ(status, 0);
    writer->StopWriting();
    writer->WriteData(&array, 1, &status);
    EXPECT_EQ(status, kWriterNotRunning);
}

TEST_F(WorkerTest, StartsAreRefusedOnTheWrongDirectionAndWhileRunning)
{
    com::ComPtr<IDravioInterface> out = Bound(0x02);
    LONG status = -1;
    out->StartReading(64, 2, 0, &status);
    EXPECT_EQ(status, kInvalidPipeType);
    com::ComPtr<IDravioInterface> in = OpenObject(false);
    in->Bind(0x81, &status);
    in->StartWriting(64, 2, 0, 0, &status);
    EXPECT_EQ(status, kInvalidPipeType);

    in->StartReading(64, 2, 0, &status);
    ASSERT_EQ(status, 0);
    in->StartReading(64, 2, 0, &status);
    EXPECT_EQ(status, kAlreadyStarted);

    // Inside an event handler of its own worker the object refuses to start again.
    EventSink sink;
    std::atomic<LONG> fromHandler = 0;
    IDravioInterface *object = in.Get();
    sink.handler = [&](DISPID, IDispatch *) {
        object->StopReading();
        LONG again = -1;
        object->StartReading(64, 2, 0, &again);
        fromHandler = again;
    };
    Connection connection(in.Get(), &sink);
    Deliver(1);
    ASSERT_TRUE(sink.WaitFor(kReadDataAvailable, 1));
    EXPECT_EQ(fromHandler, kAlreadyStarted);
}

TEST_F(WorkerTest, ReleasingTheLastReferenceInsideAHandlerReturns)
{
    com::ComPtr<IDravioInterface> reader = Bound(0x81);
    EventSink sink;
    {
        com::ComPtr<IConnectionPointContainer> container;
        com::ComPtr<IConnectionPoint> point;
        ASSERT_EQ(reader.As(IID_IConnectionPointContainer, container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(DIID__IDravioInterfaceEvents, point.Put()), S_OK);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
    }
    LONG status = -1;
    reader->StartReading(64, 4, 0, &status);
    ASSERT_EQ(status, 0);

    // The handler gets the test's only reference and lets go of it.
    HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    IDravioInterface *owned = reader.Detach();
    std::atomic<bool> once = false;
    sink.handler = [&](DISPID, IDispatch *) {
        if (!once.exchange(true)) {
            owned->Release();
            SetEvent(released);
        }
    };
    Deliver(2);
    EXPECT_EQ(WaitForSingleObject(released, kPatienceMs), WAIT_OBJECT_0);
    CloseHandle(released);

    // The worker ends by itself and takes the device handle and the sink with it.
    EXPECT_TRUE(Eventually([&] { return State().openHandles == 0 && sink.Refs() == 0; }));
    EXPECT_TRUE(Eventually([&] { return Server().CanUnloadNow() == S_OK; }));
}

TEST_F(WorkerTest, ARefusedBindKeepsTheBoundEndpoint)
{
    com::ComPtr<IDravioInterface> reader = Bound(0x81);
    ASSERT_EQ(Sim().FailNextControl(DeviceNumber(), kBindPipe, 1, kStall), 0u);
    LONG status = -1;
    reader->Bind(0x02, &status);
    EXPECT_EQ(static_cast<DWORD>(status), kStall);
    LONG packet = 0;
    reader->GetMaxPacketSize(&packet);
    EXPECT_EQ(packet, 64);
    reader->StartReading(64, 2, 0, &status);
    EXPECT_EQ(status, 0);
}

TEST_F(WorkerTest, WriteIsoDataChecksItsLengthArrayLikeEveryOtherArray)
{
    com::ComPtr<IDravioInterface> writer = Bound(0x02);
    com::SafeArray data = ByteArray(30);
    SAFEARRAY *dataArray = data.Get();
    com::SafeArray shortLengths = com::SafeArray::CreateVector(VT_I2, 3);
    SAFEARRAY *lengthArray = shortLengths.Get();
    LONG status = -1;
    writer->WriteIsoData(&dataArray, &lengthArray, 1, &status);
    EXPECT_EQ(status, kInvalidArray);
    writer->WriteIsoData(&dataArray, nullptr, 1, &status);
    EXPECT_EQ(status, kInvalidArray);
}

// One configuration whose interface 0 has isochronous IN 0x83 and OUT 0x04 of 192 bytes.
const uint8_t kIsoConfiguration[] = {
    0x09, 0x02, 0x20, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32, // configuration, 32 bytes in all
    0x09, 0x04, 0x00, 0x00, 0x02, 0xFF, 0x00, 0x00, 0x00, // interface 0, two endpoints
    0x07, 0x05, 0x83, 0x01, 0xC0, 0x00, 0x01,             // isochronous IN 0x83, 192 bytes
    0x07, 0x05, 0x04, 0x01, 0xC0, 0x00, 0x01,             // isochronous OUT 0x04, 192 bytes
};

struct CapturedPackets {
    std::mutex lock;
    std::vector<std::vector<uint8_t>> packets;
};

uint32_t CapturePacket(void *context, dravio::sim::ISimController &, uint32_t, uint8_t, const uint8_t *data,
                       uint32_t length)
{
    auto *captured = static_cast<CapturedPackets *>(context);
    std::lock_guard<std::mutex> hold(captured->lock);
    captured->packets.emplace_back(data, data + length);
    return 0;
}

TEST_F(WorkerTest, IsochronousBuffersCarryTheirPacketTables)
{
    dravio::sim::DeviceSetup setup{};
    setup.interfaceClass = kOtherClass;
    setup.configurationDescriptors = kIsoConfiguration;
    setup.configurationDescriptorsLength = sizeof(kIsoConfiguration);
    uint32_t number = 0;
    ASSERT_EQ(Sim().AddDevice(setup, &number), 0u);
    CapturedPackets captured;
    ASSERT_EQ(Sim().SetWriteHandler(number, 0x04, &CapturePacket, &captured), 0u);

    auto open = [&](LONG endpoint, bool configure) {
        com::ComPtr<IDravioInterface> object = Server().Create();
        com::Bstr deviceClass(kOtherClassText);
        LONG count = 0;
        LONG status = -1;
        object->EnumerateDevices(deviceClass.Get(), &count);
        object->OpenDevice(0, &status);
        EXPECT_EQ(status, 0);
        if (configure) {
            object->AddInterface(0, 0, 4096, &status);
            object->SetConfiguration(0, &status);
            EXPECT_EQ(status, 0);
        }
        object->Bind(endpoint, &status);
        EXPECT_EQ(status, 0);
        return object;
    };
    com::ComPtr<IDravioInterface> reader = open(0x83, true);
    com::ComPtr<IDravioInterface> writer = open(0x04, false);
    Sim().ClearLog();

    // Packets waiting on the device: 5 bytes, one too long for its packet, 7 bytes.
    const std::vector<uint8_t> first(5, 0x11), tooLong(200, 0x22), last(7, 0x33);
    for (const std::vector<uint8_t> *packet : {&first, &tooLong, &last})
        ASSERT_EQ(Sim().Deliver(number, 0x83, packet->data(), static_cast<uint32_t>(packet->size())), 0u);

    // 8 packets of 192 bytes: a 112-byte header and 1536 bytes of data per buffer.
    EventSink readerEvents;
    Connection readerConnection(reader.Get(), &readerEvents);
    LONG status = -1;
    reader->StartReading(8, 2, 0, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(readerEvents.WaitFor(kReadDataAvailable, 1));
    com::SafeArray data = ByteArray(8 * 192);
    com::SafeArray packetStatus = LongArray(8);
    SAFEARRAY *dataArray = data.Get();
    SAFEARRAY *statusArray = packetStatus.Get();
    LONG length = -1;
    reader->ReadIsoData(&dataArray, &length, &statusArray, &status);
    EXPECT_EQ(status, 0);
    // A failed packet (status bit 31) gives no data; the others are packed one after the other.
    EXPECT_EQ(length, 12);
    {
        com::SafeArrayAccess<LONG> statuses(statusArray);
        ASSERT_NE(statuses.Data(), nullptr);
        const LONG expected[8] = {5, static_cast<LONG>(0xC000000C), 7, 0, 0, 0, 0, 0};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(statuses.Data()[i], expected[i]) << "packet " << i;
        com::SafeArrayAccess<BYTE> bytes(dataArray);
        ASSERT_NE(bytes.Data(), nullptr);
        EXPECT_EQ(std::vector<uint8_t>(bytes.Data(), bytes.Data() + 5), first);
        EXPECT_EQ(std::vector<uint8_t>(bytes.Data() + 5, bytes.Data() + 12), last);
    }
    reader->StopReading();

    // Packets of 10, 0 and 20 bytes from 30: a 52-byte header, 82 bytes in all.
    EventSink writerEvents;
    Connection writerConnection(writer.Get(), &writerEvents);
    writer->StartWriting(8, 2, 0, 1, &status);
    ASSERT_EQ(status, 0);
    com::SafeArray source = ByteArray(30);
    {
        com::SafeArrayAccess<BYTE> bytes(source.Get());
        BYTE *p = bytes.Data();
        ASSERT_NE(p, nullptr);
        for (BYTE i = 0; i < 30; ++i) {
            p[i] = i;
        }
    }
    com::SafeArray lengths = LongArray(3);
    {
        com::SafeArrayAccess<LONG> values(lengths.Get());
        LONG *p = values.Data();
        ASSERT_NE(p, nullptr);
        p[0] = 10, p[1] = 0, p[2] = 20;
    }
    SAFEARRAY *sourceArray = source.Get();
    SAFEARRAY *lengthArray = lengths.Get();
    writer->WriteIsoData(&sourceArray, &lengthArray, 9, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(writerEvents.WaitFor(kWriteStatusAvailable, 1));
    LONG tag = 0;
    LONG packets = 0;
    writer->GetIsoWriteStatus(&tag, &statusArray, &packets, &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(tag, 9);
    EXPECT_EQ(packets, 3);
    writer->StopWriting();

    std::vector<dravio::sim::LogEntry> log(256);
    log.resize(Sim().CopyLog(log.data(), static_cast<uint32_t>(log.size())));
    bool sawRead = false;
    bool sawWrite = false;
    for (const auto &entry : log) {
        if (entry.event == dravio::sim::LogEvent::Read && entry.endpoint == 0x83) {
            EXPECT_EQ(entry.length, 1648u);
            sawRead = true;
        }
        if (entry.event == dravio::sim::LogEvent::Write && entry.endpoint == 0x04) {
            EXPECT_EQ(entry.length, 82u);
            sawWrite = true;
        }
    }
    EXPECT_TRUE(sawRead && sawWrite);
    {
        std::lock_guard<std::mutex> hold(captured.lock);
        std::vector<std::vector<uint8_t>> nonEmpty;
        for (const auto &packet : captured.packets) {
            if (!packet.empty()) {
                nonEmpty.push_back(packet);
            }
        }
        ASSERT_EQ(nonEmpty.size(), 2u);
        EXPECT_EQ(nonEmpty[0], std::vector<uint8_t>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
        EXPECT_EQ(nonEmpty[1].size(), 20u);
        EXPECT_EQ(nonEmpty[1].front(), 10);
        EXPECT_EQ(nonEmpty[1].back(), 29);
    }
    reader->CloseDevice();
    writer->CloseDevice();
    Sim().RemoveDevice(number);
}

} // namespace
