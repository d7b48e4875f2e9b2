// The control codes and records, pinned to the documented codes, sizes and bytes.
#include <cstring>

#include "SimFixture.h"

namespace dravio::sim::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Prefix(const uint8_t *data, size_t count)
{
    return Bytes(data, data + count);
}

class ControlRequestsTest : public SimFixture {};

struct CodeSize {
    DWORD code;
    DWORD in;
    DWORD out;
    bool succeeds;   // with zeroed records on a handle bound to IN endpoint 0x81
};

// Codes with their input and output sizes as documented.
constexpr CodeSize kCodeSizes[] = {
    {0x80942006, 8, 0, false},  {0x80942009, 8, 0, false},   {0x8094200C, 8, 0, false},
    {0x80942010, 8, 0, false},  {0x80942014, 6, 2, true},    {0x80942018, 0, 1, true},
    {0x8094201C, 2, 1, true},   {0x80942020, 4, 0, false},   {0x80942024, 260, 0, false},
    {0x8094202C, 8, 0, false},  {0x80942032, 18, 0, false},  {0x80942035, 18, 0, false},
    {0x8094203C, 0, 8, true},   {0x80942040, 8, 0, true},    {0x80942050, 0, 776, true},
    {0x80942058, 0, 4, true},   {0x8094205C, 4, 0, true},    {0x80942060, 0, 4, true},
    {0x80942064, 0, 16, true},  {0x80942068, 0, 16, true},   {0x8094206C, 0, 12, true},
    {0x80942078, 1, 0, false},  {0x8094208C, 0, 4, true},    {0x80942090, 4, 0, true},
    {0x80942094, 12, 0, true},  {0x80942098, 4, 32, true},   {0x809420A2, 12, 0, false},
    {0x809420A5, 12, 0, false}, {0x809420C8, 0, 0, true},    {0x809420CC, 0, 0, true},
    {0x809420F0, 5, 0, true},   {0x809420F4, 0, 10, true},
};

TEST_F(ControlRequestsTest, RecordSizesAreEnforcedAndBytesReturnedAreExact)
{
    HANDLE control = Open(device);
    Configure(control);
    HANDLE pipe = BoundPipe(device, 0x81);
    uint8_t in[300]{};
    uint8_t out[800];
    for (const CodeSize &c : kCodeSizes) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code);
        if (c.in > 0) {
            EXPECT_EQ(0xE0001001u, Control(pipe, c.code, in, c.in - 1, out, c.out).error);
        }
        if (c.out > 0) {
            EXPECT_EQ(0xE0001002u, Control(pipe, c.code, in, c.in, out, c.out - 1).error);
        }
        if (c.succeeds) {
            IoResult exact = Control(pipe, c.code, in, c.in, out, c.out);
            EXPECT_TRUE(exact.ok);
            EXPECT_EQ(c.out, exact.bytes);
            IoResult roomy = Control(pipe, c.code, in, c.in, out, c.out + 16);
            EXPECT_EQ(c.out, roomy.bytes);
        }
    }
}

TEST_F(ControlRequestsTest, UnknownCodesAreRefused)
{
    HANDLE h = Open(device);
    uint8_t buffer[64]{};
    for (DWORD code : {0x80942004u, 0x80942000u, 0x8094202Eu, 0x809420F8u, 0x00220000u}) {
        SCOPED_TRACE(testing::Message() << std::hex << code);
        EXPECT_EQ(0xE000100Fu, Control(h, code, buffer, sizeof buffer, buffer, sizeof buffer).error);
    }
}

TEST_F(ControlRequestsTest, DriverAndDeviceInformationRecords)
{
    HANDLE h = Open(device);
    uint8_t out[16];
    ASSERT_EQ(12u, Control(h, 0x8094206C, nullptr, 0, out, 12).bytes);
    EXPECT_EQ((Bytes{0x32, 0x02, 0x00, 0x01, 1, 0, 0, 0, 0, 0, 0, 0}), Prefix(out, 12));

    sim.SetDriverInfo(device, 0x0231, 0x0304, 0x11223344, 0x130);
    Control(h, 0x8094206C, nullptr, 0, out, 12);
    EXPECT_EQ((Bytes{0x31, 0x02, 0x04, 0x03, 0x44, 0x33, 0x22, 0x11, 0x30, 0x01, 0, 0}), Prefix(out, 12));
    sim.SetApiVersion(device, 0x0240);
    Control(h, 0x8094206C, nullptr, 0, out, 12);
    EXPECT_EQ((Bytes{0x40, 0x02}), Prefix(out, 2));

    ASSERT_EQ(16u, Control(h, 0x80942068, nullptr, 0, out, 16).bytes);
    EXPECT_EQ((Bytes{0x00, 0x00, 0x10, 0x00, 0, 0, 0, 0}), Prefix(out, 8));   // bit 20: high speed
    sim.SetHighSpeed(device, false);
    Control(h, 0x80942068, nullptr, 0, out, 16);
    EXPECT_EQ((Bytes{0, 0, 0, 0}), Prefix(out, 4));
    sim.SetDeviceInfo(device, 0x00100001, 0xA1B2C3D4);
    Control(h, 0x80942068, nullptr, 0, out, 16);
    EXPECT_EQ((Bytes{0x01, 0x00, 0x10, 0x00, 0xD4, 0xC3, 0xB2, 0xA1}), Prefix(out, 8));

    const uint8_t tail[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    sim.SetControl83D(device, tail);
    ASSERT_EQ(10u, Control(h, 0x809420F4, nullptr, 0, out, 10).bytes);
    EXPECT_EQ(Bytes(tail, tail + 10), Prefix(out, 10));
}

TEST_F(ControlRequestsTest, DescriptorsAnswerWithTheirBytes)
{
    HANDLE h = Open(device);
    auto get = [&](uint8_t type, uint8_t index, uint16_t language, DWORD length) {
        const uint8_t request[8] = {0, 0, 0, 0, type, index, uint8_t(language), uint8_t(language >> 8)};
        Bytes out(length);
        IoResult r = Control(h, 0x80942006, request, 8, out.data(), length);
        out.resize(r.ok ? r.bytes : 0);
        return std::make_pair(r, out);
    };

    EXPECT_EQ((Bytes{18, 1, 0x00, 0x02, 0xFF, 0, 0, 64, 0x17, 0x5A, 0x15, 0x0B, 0x00, 0x01, 1, 2, 3, 1}),
              get(1, 0, 0, 255).second);
    const Bytes configuration = {9, 2, 55, 0, 1, 1, 0, 0x80, 50,
                                 9, 4, 0, 0, 2, 0xFF, 0, 0, 0,
                                 7, 5, 0x02, 2, 64, 0, 0,
                                 7, 5, 0x81, 2, 64, 0, 0,
                                 9, 4, 0, 1, 2, 0xFF, 0, 0, 0,
                                 7, 5, 0x02, 2, 0, 2, 0,
                                 7, 5, 0x81, 2, 0, 2, 0};
    EXPECT_EQ(configuration, get(2, 0, 0, 1024).second);
    EXPECT_EQ(Bytes(configuration.begin(), configuration.begin() + 9), get(2, 0, 0, 9).second);
    EXPECT_EQ((Bytes{4, 3, 0x07, 0x04}), get(3, 0, 0, 255).second);
    EXPECT_EQ((Bytes{16, 3, 'V', 0, 'T', 0, '-', 0, '0', 0, '0', 0, '4', 0, '2', 0}), get(3, 3, 0x0407, 516).second);
    EXPECT_EQ((Bytes{16, 3, 'V', 0, 'T', 0, '-', 0}), get(3, 3, 0x0407, 8).second);

    EXPECT_EQ(0xE0000004u, get(3, 3, 0x0409, 516).first.error);   // no text in that language
    EXPECT_EQ(0xE0000004u, get(2, 1, 0, 255).first.error);        // one configuration only
    const uint8_t badRecipient[8] = {5, 0, 0, 0, 1, 0, 0, 0};
    uint8_t out[18];
    EXPECT_EQ(0xE000100Du, Control(h, 0x80942006, badRecipient, 8, out, 18).error);
}

TEST_F(ControlRequestsTest, ConfigurationInformationListsThePipesOfTheChosenSetting)
{
    HANDLE h = Open(device);
    uint8_t info[776];
    std::memset(info, 0xEE, sizeof info);
    ASSERT_EQ(776u, Control(h, 0x80942050, nullptr, 0, info, 776).bytes);
    EXPECT_EQ((Bytes{0, 0, 0, 0, 0, 0, 0, 0}), Prefix(info, 8));

    Configure(h, 1);
    ASSERT_EQ(776u, Control(h, 0x80942050, nullptr, 0, info, 776).bytes);
    EXPECT_EQ((Bytes{1, 0, 0, 0, 2, 0, 0, 0, 0, 0, 1, 0, 0x00, 0x80, 0, 0}), Prefix(info, 16));
    // Pipe entries from byte 264: type at 0, packet size at 8, endpoint at 10.
    EXPECT_EQ(2u, info[264]);
    EXPECT_EQ((Bytes{0x00, 0x02, 0x02}), Prefix(info + 272, 3));
    EXPECT_EQ(2u, info[280]);
    EXPECT_EQ((Bytes{0x00, 0x02, 0x81}), Prefix(info + 288, 3));
    EXPECT_EQ(0u, info[296 + 10]);

    uint8_t value = 0xEE;
    EXPECT_EQ(1u, Control(h, 0x80942018, nullptr, 0, &value, 1).bytes);
    EXPECT_EQ(1u, value);

    // Alternate setting 0 is the full-speed one with 64-byte packets.
    const uint8_t setting[8] = {0, 0, 0, 0, 0x40, 0, 0, 0};
    ASSERT_EQ(0u, Control(h, 0x8094202C, setting, 8, nullptr, 0).error);
    Control(h, 0x80942050, nullptr, 0, info, 776);
    EXPECT_EQ((Bytes{64, 0, 0x02}), Prefix(info + 272, 3));
    const uint16_t number = 0;
    EXPECT_EQ(1u, Control(h, 0x8094201C, &number, 2, &value, 1).bytes);
    EXPECT_EQ(0u, value);
}

// A device-side control handler that keeps what it was sent and answers
// device-to-host requests with five bytes.
struct ControlRecorder {
    ControlRequest last{};
    Bytes sent;

    static uint32_t Answer(void *context, const ControlRequest &request, uint8_t *data, uint32_t *length)
    {
        auto *self = static_cast<ControlRecorder *>(context);
        self->last = request;
        if (!request.deviceToHost) {
            self->sent.assign(data, data + *length);
            return 0;
        }
        const uint8_t answer[5] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4};
        *length = std::min<uint32_t>(*length, 5);
        std::memcpy(data, answer, *length);
        return 0;
    }
};

TEST_F(ControlRequestsTest, DirectInCodesSendTheOutputBuffer)
{
    HANDLE h = Open(device);
    const uint8_t request[8] = {0, 0, 0, 0, 3, 7, 0x07, 0x04};
    uint8_t text[6] = {6, 3, 'o', 0, 'k', 0};
    IoResult set = Control(h, 0x80942009, request, 8, text, 6);
    EXPECT_TRUE(set.ok);
    EXPECT_EQ(6u, set.bytes);
    uint8_t back[16]{};
    EXPECT_EQ(6u, Control(h, 0x80942006, request, 8, back, 16).bytes);
    EXPECT_EQ(Bytes(text, text + 6), Prefix(back, 6));

    // Class or vendor requests: flags, type, recipient, reserved bits, request, value, index.
    uint8_t vendor[18] = {1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 0x03, 0x42, 0x34, 0x12, 0x78, 0x56};
    uint8_t data[4] = {9, 8, 7, 6};
    EXPECT_EQ(0xE0000004u, Control(h, 0x80942035, vendor, 18, data, 4).error);   // the device stalls

    ControlRecorder recorder;
    sim.SetControlHandler(device, ControlRecorder::Answer, &recorder);
    IoResult out = Control(h, 0x80942035, vendor, 18, data, 4);
    EXPECT_EQ(4u, out.bytes);
    EXPECT_EQ(Bytes(data, data + 4), recorder.sent);
    EXPECT_FALSE(recorder.last.deviceToHost);
    EXPECT_EQ(2u, recorder.last.requestType);
    EXPECT_EQ(1u, recorder.last.recipient);
    EXPECT_EQ(3u, recorder.last.reservedBits);
    EXPECT_EQ(0x42u, recorder.last.request);
    EXPECT_EQ(0x1234u, recorder.last.value);
    EXPECT_EQ(0x5678u, recorder.last.index);
    EXPECT_EQ(1u, recorder.last.flags);

    uint8_t answer[8]{};
    IoResult in = Control(h, 0x80942032, vendor, 18, answer, 3);
    EXPECT_EQ(3u, in.bytes);
    EXPECT_EQ((Bytes{0xA0, 0xA1, 0xA2, 0}), Prefix(answer, 4));
    EXPECT_TRUE(recorder.last.deviceToHost);

    vendor[4] = 3;
    EXPECT_EQ(0xE000100Eu, Control(h, 0x80942032, vendor, 18, answer, 3).error);
}

TEST_F(ControlRequestsTest, PipeStateIsChecked)
{
    HANDLE control = Open(device);
    HANDLE pipe = Open(device);
    uint8_t endpoint = 0x81;
    uint8_t data[8]{};
    const uint16_t interface0 = 0;
    uint8_t value;

    EXPECT_EQ(0xE0001006u, Control(pipe, 0x80942078, &endpoint, 1, nullptr, 0).error);
    EXPECT_EQ(0xE0001006u, Control(pipe, 0x8094201C, &interface0, 2, &value, 1).error);
    Configure(control);
    uint8_t request[260]{};
    request[2] = 1;
    EXPECT_EQ(0xE0001005u, Control(control, 0x80942024, request, 260, nullptr, 0).error);

    EXPECT_EQ(0xE0001009u, Transfer(pipe, false, data, 8).error);
    EXPECT_EQ(0xE0001009u, Control(pipe, 0x80942084, nullptr, 0, nullptr, 0).error);
    uint8_t missing = 0x85;
    EXPECT_EQ(0xE0001013u, Control(pipe, 0x80942078, &missing, 1, nullptr, 0).error);
    ASSERT_EQ(0u, Control(pipe, 0x80942078, &endpoint, 1, nullptr, 0).error);
    EXPECT_EQ(0xE0001008u, Control(pipe, 0x80942078, &endpoint, 1, nullptr, 0).error);
    EXPECT_EQ(0xE0001008u, Control(control, 0x80942078, &endpoint, 1, nullptr, 0).error);
    EXPECT_EQ(0xE0001010u, Transfer(pipe, true, data, 8).error);
    const uint8_t setting[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0xE0001007u, Control(control, 0x8094202C, setting, 8, nullptr, 0).error);

    // A pending read keeps the pipe from being reset, not from being aborted.
    Overlapped read;
    ASSERT_FALSE(seam.ReadFile(pipe, data, 8, nullptr, &read.ov));
    ASSERT_EQ(DWORD(ERROR_IO_PENDING), GetLastError());
    EXPECT_EQ(0xE0001004u, Control(pipe, 0x80942080, nullptr, 0, nullptr, 0).error);
    EXPECT_EQ(0u, Control(pipe, 0x80942084, nullptr, 0, nullptr, 0).error);
    EXPECT_TRUE(read.Signalled());
    DWORD bytes;
    EXPECT_FALSE(GetOverlappedResult(pipe, &read.ov, &bytes, FALSE));
    EXPECT_EQ(DWORD(ERROR_OPERATION_ABORTED), GetLastError());
    EXPECT_EQ(0u, Control(pipe, 0x80942080, nullptr, 0, nullptr, 0).error);

    // Powered down, the device takes no transfers until it is back in D0.
    const uint32_t d2 = 2, d3 = 3, d0 = 0;
    ASSERT_EQ(0u, Send(control, 0x8094205C, d2).error);
    EXPECT_EQ(0xE000101Bu, Transfer(pipe, false, data, 8).error);
    EXPECT_EQ(0xE000101Au, Send(control, 0x8094205C, d3).error);
    ASSERT_EQ(0u, Send(control, 0x8094205C, d0).error);

    // Unbinding frees the pipe for another handle; unconfiguring drops every pipe.
    EXPECT_EQ(0u, Control(pipe, 0x8094207C, nullptr, 0, nullptr, 0).error);
    EXPECT_EQ(0u, Control(control, 0x80942078, &endpoint, 1, nullptr, 0).error);
    EXPECT_EQ(0u, Control(pipe, 0x80942028, nullptr, 0, nullptr, 0).error);
    EXPECT_EQ(0xE0001009u, Control(control, 0x8094207C, nullptr, 0, nullptr, 0).error);
    request[6] = 7;
    EXPECT_EQ(0xE0001016u, Control(control, 0x80942024, request, 260, nullptr, 0).error);
}

TEST_F(ControlRequestsTest, PipeFlagsAndStatistics)
{
    HANDLE control = Open(device);
    Configure(control);
    sim.SetLoopback(device, 0x02, 0x81);
    HANDLE out = BoundPipe(device, 0x02);
    HANDLE in = BoundPipe(device, 0x81);

    const uint32_t flags = 0x10000;
    ASSERT_EQ(0u, Send(in, 0x80942090, flags).error);
    uint32_t read = 0;
    EXPECT_EQ(4u, Control(in, 0x8094208C, nullptr, 0, &read, 4).bytes);
    EXPECT_EQ(0x10000u, read);

    const uint32_t setup[3] = {1000, 0, 0};
    ASSERT_EQ(0u, Send(in, 0x80942094, setup).error);
    uint8_t data[100]{};
    for (DWORD length : {10u, 20u, 30u}) {
        ASSERT_TRUE(Transfer(out, true, data, length).ok);
        ASSERT_TRUE(Transfer(in, false, data, sizeof data).ok);
    }
    uint32_t stats[8];
    const uint32_t keep = 0, reset = 7;
    ASSERT_EQ(32u, Control(in, 0x80942098, &reset, 4, stats, 32).bytes);
    EXPECT_EQ(60u, stats[0]);
    EXPECT_EQ(0u, stats[1]);
    EXPECT_EQ(3u, stats[2]);
    EXPECT_EQ(0u, stats[3]);
    EXPECT_EQ(1000u, stats[4]);
    Control(in, 0x80942098, &keep, 4, stats, 32);
    EXPECT_EQ(0u, stats[0]);
    EXPECT_EQ(0u, stats[2]);
}

TEST_F(ControlRequestsTest, FeaturesShowInTheStatusWord)
{
    HANDLE h = Open(device);
    const uint8_t halt[8] = {2, 0, 0, 0, 0, 0, 0x81, 0};
    const uint8_t wakeUp[8] = {0, 0, 0, 0, 1, 0, 0, 0};
    const uint8_t endpointStatus[6] = {2, 0, 0, 0, 0x81, 0};
    const uint8_t deviceStatus[6] = {0, 0, 0, 0, 0, 0};
    uint16_t word = 0xFFFF;
    ASSERT_EQ(0u, Control(h, 0x8094200C, halt, 8, nullptr, 0).error);
    ASSERT_EQ(0u, Control(h, 0x8094200C, wakeUp, 8, nullptr, 0).error);
    EXPECT_EQ(2u, Control(h, 0x80942014, endpointStatus, 6, &word, 2).bytes);
    EXPECT_EQ(1u, word);
    Control(h, 0x80942014, deviceStatus, 6, &word, 2);
    EXPECT_EQ(2u, word);
    ASSERT_EQ(0u, Control(h, 0x80942010, halt, 8, nullptr, 0).error);
    Control(h, 0x80942014, endpointStatus, 6, &word, 2);
    EXPECT_EQ(0u, word);
}

} // namespace
} // namespace dravio::sim::test
