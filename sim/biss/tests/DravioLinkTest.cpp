// The adapter reached the way ferrolink reaches it: through the simulated USB
// driver's seam (device path, descriptors, configuration, bound pipes, bulk
// transfers).
#include "MasterRegisters.h"
#include "UsbAdapterRig.h"

#include "sim/dravio/DriverProtocol.h"
#include "sim/dravio/SimDriver.h"

#include <gtest/gtest.h>

#include <string>

using namespace sim::biss;
namespace wire = dravio::sim::wire;
using Bytes = std::vector<uint8_t>;

namespace {

constexpr uint8_t kIdle = status::kEndOfCycle | status::kNoErrors;

class DravioLinkTest : public ::testing::Test {
protected:
    explicit DravioLinkTest(bool highSpeed = true)
        : rig(driver, MasterChipProfile::Chip52Rev4(), AdapterIdentity{"SN-0042", highSpeed}), line(rig.line),
          master(rig.master), adapter(rig.adapter), link(rig.link), seam(driver.Seam())
    {
        line.AddSlave().SetChannels({{16, 0xBEEF, 0, 0}});
        master.Poke(0xC0, 0x4F);
        master.Poke(reg::kProtocolLow, 0x55);
    }

    ~DravioLinkTest() override
    {
        for (HANDLE h : handles)
            seam.CloseHandle(h);
    }

    HANDLE Open(DWORD flags = 0)
    {
        const std::wstring path = L"\\\\.\\Dravio_Device" + std::to_wstring(link.DeviceNumber());
        HANDLE h =
            seam.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, flags, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            handles.push_back(h);
        return h;
    }

    template <class In> BOOL Control(HANDLE h, DWORD code, const In &in, void *out = nullptr, DWORD outLength = 0,
                                     DWORD *returned = nullptr)
    {
        // With an OVERLAPPED, as an overlapped handle requires.
        DWORD count = 0;
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        BOOL ok =
            seam.DeviceIoControl(h, code, const_cast<In *>(&in), sizeof in, out, outLength, &count, &overlapped);
        if (!ok && GetLastError() == ERROR_IO_PENDING)
            ok = GetOverlappedResult(h, &overlapped, &count, TRUE);
        CloseHandle(overlapped.hEvent);
        if (returned)
            *returned = count;
        return ok;
    }

    Bytes Descriptor(HANDLE h, uint8_t type, uint8_t index, uint16_t language = 0)
    {
        const wire::DescriptorRequest request{0, type, index, language};
        Bytes out(516);
        DWORD count = 0;
        if (!Control(h, wire::kGetDescriptor, request, out.data(), DWORD(out.size()), &count))
            return {};
        out.resize(count);
        return out;
    }

    BOOL Configure(HANDLE h, uint16_t alternateSetting)
    {
        wire::ConfigurationRequest request{};
        request.interfaceCount = 1;
        request.interfaces[0] = {0, alternateSetting, 0x8000};
        return Control(h, wire::kSetConfiguration, request);
    }

    // Configures the device and binds one handle to each pipe.
    void Connect(uint16_t alternateSetting = 1, DWORD inFlags = 0)
    {
        HANDLE device = Open();
        ASSERT_NE(device, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(Configure(device, alternateSetting));
        in = Open(inFlags);
        out = Open();
        const uint8_t inEndpoint = 0x81, outEndpoint = 0x02;
        ASSERT_TRUE(Control(in, wire::kBindPipe, inEndpoint));
        ASSERT_TRUE(Control(out, wire::kBindPipe, outEndpoint));
    }

    void Send(const Bytes &request)
    {
        DWORD written = 0;
        ASSERT_TRUE(seam.WriteFile(out, request.data(), DWORD(request.size()), &written, nullptr));
        EXPECT_EQ(written, request.size());
    }

    Bytes Receive(DWORD length = 4096)
    {
        Bytes buffer(length);
        DWORD read = 0;
        if (!seam.ReadFile(in, buffer.data(), length, &read, nullptr))
            return {};
        buffer.resize(read);
        return buffer;
    }

    // One read on the overlapped IN handle, judged when it is submitted: the
    // answer, or the error (a read left pending is cancelled).
    struct Submission {
        DWORD error = ERROR_SUCCESS;
        Bytes answer;
    };
    Submission ReadAtOnce()
    {
        Submission result;
        Bytes buffer(4096);
        OVERLAPPED overlapped{};
        overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD count = 0;
        if (seam.ReadFile(in, buffer.data(), DWORD(buffer.size()), &count, &overlapped)) {
            result.answer.assign(buffer.begin(), buffer.begin() + count);
        } else {
            result.error = GetLastError();
            if (result.error == ERROR_IO_PENDING) {
                seam.CancelIo(in);
                WaitForSingleObject(overlapped.hEvent, INFINITE);
            }
        }
        CloseHandle(overlapped.hEvent);
        return result;
    }

    uint32_t Queued()
    {
        dravio::sim::DeviceState state{};
        driver.QueryDevice(link.DeviceNumber(), &state);
        return state.queuedMessages;
    }

    dravio::sim::SimDriver driver;
    UsbAdapterRig rig;
    SimBissLine &line;
    SimBissMaster &master;
    SimUsbAdapter &adapter;
    DravioAdapterLink &link;
    const dravio::DriverSeam &seam;
    std::vector<HANDLE> handles;
    HANDLE in = INVALID_HANDLE_VALUE;
    HANDLE out = INVALID_HANDLE_VALUE;
};

class FullSpeedLinkTest : public DravioLinkTest {
protected:
    FullSpeedLinkTest() : DravioLinkTest(false) {}
};

} // namespace

TEST_F(DravioLinkTest, DescriptorsCarryTheSerialNumber)
{
    ASSERT_EQ(link.Status(), 0u);
    HANDLE h = Open();
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const Bytes device = Descriptor(h, 1, 0);
    ASSERT_EQ(device.size(), 18u);
    ASSERT_EQ(device[16], 3);
    EXPECT_EQ(Descriptor(h, 3, device[16], 0x0407),
              Bytes({16, 3, 'S', 0, 'N', 0, '-', 0, '0', 0, '0', 0, '4', 0, '2', 0}));
}

TEST_F(DravioLinkTest, RequestsAndAnswersCrossThePipes)
{
    Connect();
    Send({2, 0, 0x15, 0x1F, 0xEB, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(Receive(), Bytes({2, 0, 0x15, 0x1F, 0, kIdle, 0xEB, 0x52, 0xFF, 0xFF}));
    EXPECT_EQ(rig.clock.NowMicroseconds(), 125u); // one request at high speed

    // Frame cycle with the two data registers of a 16-bit channel.
    Send({6, 0, 0x25, 0x1F, 0xF4, 4, 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(Receive(), Bytes({6, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0, 0xEF, 1, 0xBE, 0xFF, 0xFF}));

    // A late end arrives as a second answer right behind the first.
    adapter.SetAnswersBeforeEnd(true);
    master.SetCompletionDelay(3);
    Send({2, 0, 0x25, 0x1F, 0xF4, 0x10, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(Receive()[7], 0x10);
    EXPECT_EQ(Receive(), Bytes({2, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0xFF, 0xFF}));
    EXPECT_EQ(Queued(), 0u);
}

TEST_F(DravioLinkTest, AnInstructionIsAnsweredOnceMoreOnlyWhenItsTransferOutlastsTheFirstAnswer)
{
    constexpr DWORD kTimedOut = 0xE000100C;
    Connect(1, FILE_FLAG_OVERLAPPED);
    line.Slave(0).Registers().Write(0x48, 0x5A);
    // A mode 0 register read: the master ends it before the adapter answers, automatic frames go on.
    Send({10, 0, 0x25, 0x1F, 0xE2, 0x48, 0xE3, 0, 0xE4, 1, 0xE5, 0xC0, 0xE8, 124, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(ReadAtOnce().answer.size(), 18u);
    Send({2, 0, 0x25, 0x1F, 0xF4, 9, 0xFF, 0xFF, 0xFF, 0xFF});
    const Bytes started = ReadAtOnce().answer;
    ASSERT_EQ(started.size(), 10u);
    EXPECT_EQ(started[5] & (status::kEndOfCycle | status::kControlDone), status::kEndOfCycle | status::kControlDone);
    // Stopping the automatic frames: the frame under way ends before the answer, so nothing more is owed
    // and a read for more times out at once.
    Send({2, 0, 0x25, 0x1F, 0xF4, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(ReadAtOnce().answer, Bytes({2, 0, 0x25, 0x1F, 0, kIdle | status::kControlDone, 0xF4, 0, 0xFF, 0xFF}));
    EXPECT_EQ(ReadAtOnce().error, kTimedOut);

    // A step that outlasts the adapter's patience is answered at once, and once more
    // when it has ended: not before, but while the host waits for it.
    adapter.SetPatience(0);
    master.SetCompletionDelay(3);
    Send({2, 0, 0x25, 0x1F, 0xF4, 0x10, 0xFF, 0xFF, 0xFF, 0xFF});
    const Bytes early = ReadAtOnce().answer;
    ASSERT_EQ(early.size(), 10u);
    EXPECT_EQ(early[5] & status::kEndOfCycle, 0);
    EXPECT_EQ(early[7], 0x10);
    EXPECT_EQ(Queued(), 0u);
    EXPECT_EQ(ReadAtOnce().answer, Bytes({2, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0xFF, 0xFF}));
    EXPECT_EQ(ReadAtOnce().error, kTimedOut);
}

TEST_F(DravioLinkTest, StreamRunsUntilTheNextRequest)
{
    Connect();
    // T = 2: 20-byte frames, 25 to a 500-byte packet.
    Send({6, 0, 0xA7, 0x1F, 0xF4, 1, 0, 0, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    uint32_t previous = 0;
    for (int packet = 0; packet < 6; ++packet) {
        const Bytes data = Receive(500);
        ASSERT_EQ(data.size(), 500u);
        for (size_t k = 0; k < 25; ++k) {
            const uint8_t *frame = &data[20 * k];
            const uint32_t number = uint32_t(frame[4]) << 24 | uint32_t(frame[5]) << 16 | uint32_t(frame[6]) << 8 | frame[7];
            if (packet > 0 || k > 0) {
                EXPECT_EQ(number, previous + 1);
            }
            previous = number;
            EXPECT_EQ(Bytes(frame + 9, frame + 16), Bytes({kIdle | status::kAutomatic, 0xF4, 1, 0, 0xEF, 1, 0xBE}));
        }
    }
    Send({2, 0, 0x25, 0x1F, 0xF4, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    // Packets still on their way come first; the answer is the one that echoes 0xF4.
    Bytes answer;
    for (int i = 0; i < 8 && (answer.size() < 7 || answer[6] != 0xF4); ++i)
        answer = Receive();
    EXPECT_EQ(answer, Bytes({2, 0, 0x25, 0x1F, 0, kIdle, 0xF4, 0, 0xFF, 0xFF}));
    EXPECT_FALSE(link.WithAdapterHeld([&] { return adapter.Streaming(); }));
}

TEST_F(FullSpeedLinkTest, OnlyTheFullSpeedSettingAndOnePacketAnswers)
{
    HANDLE device = Open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(Configure(device, 1));
    Connect(0);
    Bytes request = {60, 0, 0x15, 0x1F};
    for (uint8_t a = 0; a < 30; ++a) {
        request.push_back(static_cast<uint8_t>(0x80 + a));
        request.push_back(0);
    }
    request.insert(request.end(), 4, 0xFF);
    Send(request);
    EXPECT_EQ(Receive().size(), 64u);
}
