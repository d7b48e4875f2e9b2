// Every request the server passes through to the driver, driven from an
// automation client on an open simulated device: the driver's log must show
// the right control code with its record's fields in order, and the driver's
// answer must come back to the client.
#include "DeviceSupport.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Little-endian record fields, as the driver's records lay them out.
Bytes operator+(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes U8(uint8_t v) { return {v}; }
Bytes U16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// What a class or vendor request looked like when it reached the device.
struct SeenRequest {
    dravio::sim::ControlRequest request{};
    Bytes data;
    int calls = 0;
};

uint32_t AnswerRequest(void *context, const dravio::sim::ControlRequest &request, uint8_t *data, uint32_t *length)
{
    auto &seen = *static_cast<SeenRequest *>(context);
    seen.request = request;
    ++seen.calls;
    if (request.deviceToHost) {
        const uint8_t answer[] = {0xA1, 0xB2, 0xC3};
        *length = std::min<uint32_t>(*length, sizeof answer);
        std::copy(answer, answer + *length, data);
    } else {
        seen.data.assign(data, data + *length);
    }
    return 0;
}

struct PassedRequest {
    const char *method;
    DWORD code;
    Bytes input;
    // Calls the method and checks the answer it hands back; returns the call's status.
    std::function<LONG(IDravioInterface *)> call;
};

class RequestPassThroughTest : public DeviceTest {
protected:
    // The last control request the driver saw after the marker, and the status it completed with.
    bool LastControl(dravio::sim::LogEntry *control, uint32_t *status)
    {
        std::vector<dravio::sim::LogEntry> log(8192);
        log.resize(Sim().CopyLog(log.data(), static_cast<uint32_t>(log.size())));
        bool found = false;
        for (const dravio::sim::LogEntry &entry : log) {
            if (entry.event == dravio::sim::LogEvent::Control) {
                *control = entry;
                found = true;
            } else if (found && entry.event == dravio::sim::LogEvent::Complete && entry.request == control->request) {
                *status = entry.status;
            }
        }
        return found;
    }

    void Drive(IDravioInterface *object, const std::vector<PassedRequest> &requests)
    {
        for (const PassedRequest &r : requests) {
            SCOPED_TRACE(r.method);
            Sim().ClearLog();
            const LONG status = r.call(object);
            dravio::sim::LogEntry control{};
            uint32_t driverStatus = 0xFFFFFFFF;
            ASSERT_TRUE(LastControl(&control, &driverStatus));
            EXPECT_EQ(control.code, r.code);
            EXPECT_EQ(control.length, r.input.size());
            const size_t shown = std::min(r.input.size(), sizeof control.input);
            EXPECT_EQ(Bytes(control.input, control.input + shown), Bytes(r.input.begin(), r.input.begin() + shown));
            EXPECT_EQ(static_cast<uint32_t>(status), driverStatus) << "the driver's status reaches the client";
        }
    }
};

TEST_F(RequestPassThroughTest, DeviceRequestsCarryTheirFieldsAndAnswers)
{
    const uint32_t number = DeviceNumber();
    ASSERT_EQ(Sim().SetDriverInfo(number, 0x0105, 0x0302, 4711, 0x130), 0u);
    ASSERT_EQ(Sim().SetBandwidthInfo(number, 0x1111, 0x2222), 0u);
    ASSERT_EQ(Sim().SetDeviceInfo(number, 1u << 20, 0x5EC0), 0u);
    SeenRequest seen;
    ASSERT_EQ(Sim().SetControlHandler(number, &AnswerRequest, &seen), 0u);
    com::ComPtr<IDravioInterface> object = OpenObject(true);
    ASSERT_TRUE(object);

    com::SafeArray buffer = ByteArray(64);
    const auto descriptor = [&](IDravioInterface *o, LONG recipient, LONG type, LONG index, LONG language,
                                uint8_t expectedType) {
        SAFEARRAY *data = buffer.Get();
        LONG length = 64, status = -1;
        o->GetDescriptor(&data, &length, recipient, type, index, language, &status);
        EXPECT_GT(length, 2);
        com::SafeArrayAccess<BYTE> bytes(data);
        EXPECT_EQ(bytes.Data()[1], expectedType) << "the descriptor the driver gave";
        return status;
    };
    const auto word = [](LONG expected) {
        return [expected](LONG value) { EXPECT_EQ(value, expected); };
    };

    const std::vector<PassedRequest> requests = {
        {"GetDescriptor", 0x80942006, U32(0) + U8(3) + U8(2) + U16(0x0407),
         [&](IDravioInterface *o) { return descriptor(o, 0, 3, 2, 0x0407, 3); }},
        {"GetDeviceDescriptor", 0x80942006, U32(0) + U8(1) + U8(0) + U16(0),
         [&](IDravioInterface *o) {
             SAFEARRAY *data = buffer.Get();
             LONG length = 64, status = -1;
             o->GetDeviceDescriptor(&data, &length, &status);
             EXPECT_EQ(length, 18);
             return status;
         }},
        {"GetConfigurationDescriptor", 0x80942006, U32(0) + U8(2) + U8(0) + U16(0),
         [&](IDravioInterface *o) {
             SAFEARRAY *data = buffer.Get();
             LONG length = 64, status = -1;
             o->GetConfigurationDescriptor(&data, &length, 0, &status);
             com::SafeArrayAccess<BYTE> bytes(data);
             EXPECT_EQ(bytes.Data()[1], 2);
             return status;
         }},
        {"GetStringDescriptor", 0x80942006, U32(0) + U8(3) + U8(1) + U16(0x0407),
         [&](IDravioInterface *o) {
             SAFEARRAY *data = buffer.Get();
             LONG length = 64, status = -1;
             o->GetStringDescriptor(&data, &length, 1, 0x0407, &status);
             EXPECT_GT(length, 2);
             return status;
         }},
        {"SetDescriptor", 0x80942009, U32(0) + U8(2) + U8(1) + U16(0x0102),
         [&](IDravioInterface *o) {
             com::SafeArray sent = ByteArray(4);
             SAFEARRAY *data = sent.Get();
             LONG status = -1;
             o->SetDescriptor(&data, 0, 2, 1, 0x0102, &status);
             return status;
         }},
        {"SetFeature", 0x8094200C, U32(0) + U16(1) + U16(0),
         [](IDravioInterface *o) {
             LONG status = -1;
             o->SetFeature(0, 1, 0, &status);
             return status;
         }},
        {"GetStatus after SetFeature", 0x80942014, U32(0) + U16(0),
         [&](IDravioInterface *o) {
             LONG value = -1, status = -1;
             o->GetStatus(&value, 0, 0, &status);
             word(2)(value);
             return status;
         }},
        {"ClearFeature", 0x80942010, U32(2) + U16(0) + U16(0x81),
         [](IDravioInterface *o) {
             LONG status = -1;
             o->ClearFeature(2, 0, 0x81, &status);
             return status;
         }},
        {"GetStatus of an endpoint", 0x80942014, U32(2) + U16(0x81),
         [&](IDravioInterface *o) {
             LONG value = -1, status = -1;
             o->GetStatus(&value, 2, 0x81, &status);
             word(0)(value);
             return status;
         }},
        {"ClassOrVendorInRequest", 0x80942032,
         U32(0x11223344) + U32(2) + U32(1) + U8(0x05) + U8(0xA5) + U16(0x1234) + U16(0x5678),
         [&](IDravioInterface *o) {
             SAFEARRAY *data = buffer.Get();
             LONG length = 16, status = -1;
             o->ClassOrVendorInRequest(&data, &length, 0x11223344, 2, 1, 0x05, 0xA5, 0x1234, 0x5678, &status);
             EXPECT_EQ(length, 3);
             com::SafeArrayAccess<BYTE> bytes(data);
             EXPECT_EQ(Bytes(bytes.Data(), bytes.Data() + 3), (Bytes{0xA1, 0xB2, 0xC3}));
             EXPECT_EQ(seen.request.request, 0xA5);
             EXPECT_EQ(seen.request.value, 0x1234);
             EXPECT_EQ(seen.request.index, 0x5678);
             EXPECT_EQ(seen.request.flags, 0x11223344u);
             return status;
         }},
        {"ClassOrVendorOutRequest", 0x80942035,
         U32(1) + U32(1) + U32(3) + U8(0x02) + U8(0x0B) + U16(0x0102) + U16(0x0003),
         [&](IDravioInterface *o) {
             com::SafeArray sent = ByteArray(2);
             {
                 com::SafeArrayAccess<BYTE> bytes(sent.Get());
                 bytes.Data()[0] = 9;
                 bytes.Data()[1] = 8;
             }
             SAFEARRAY *data = sent.Get();
             LONG status = -1;
             o->ClassOrVendorOutRequest(&data, 1, 1, 3, 0x02, 0x0B, 0x0102, 0x0003, &status);
             EXPECT_EQ(seen.data, (Bytes{9, 8}));
             EXPECT_EQ(seen.request.recipient, 3);
             return status;
         }},
        {"SetDevicePowerState", 0x8094205C, U32(3),
         [](IDravioInterface *o) {
             LONG status = -1;
             o->SetDevicePowerState(3, &status);
             return status;
         }},
        {"GetDevicePowerState", 0x80942060, {},
         [&](IDravioInterface *o) {
             LONG state = -1, status = -1;
             o->GetDevicePowerState(&state, &status);
             word(3)(state);
             o->SetDevicePowerState(0, &status);
             o->GetDevicePowerState(&state, &status);
             return status;
         }},
        {"GetCurrentFrameNumber", 0x80942058, {},
         [](IDravioInterface *o) {
             LONG frame = -1, status = -1;
             o->GetCurrentFrameNumber(&frame, &status);
             EXPECT_GE(frame, 0);
             return status;
         }},
        {"GetBandwidthInfo", 0x80942064, {},
         [&](IDravioInterface *o) {
             LONG first = 0, second = 0, status = -1;
             o->GetBandwidthInfo(&first, &second, &status);
             word(0x1111)(first);
             word(0x2222)(second);
             return status;
         }},
        {"GetDriverInfo", 0x8094206C, {},
         [&](IDravioInterface *o) {
             LONG api = 0, version = 0, build = 0, flags = 0, status = -1;
             o->GetDriverInfo(&api, &version, &build, &flags, &status);
             word(0x0105)(api);
             word(0x0302)(version);
             word(4711)(build);
             word(0x130)(flags);
             LONG bit = -1;
             o->GetDriverFlagBit4(&bit);
             word(1)(bit);
             o->GetDriverFlagBit5(&bit);
             word(1)(bit);
             o->GetDriverFlagBit8(&bit);
             word(1)(bit);
             return status;
         }},
        {"GetDeviceInfoWord1", 0x80942068, {},
         [&](IDravioInterface *o) {
             LONG value = 0;
             o->GetDeviceInfoWord1(&value);
             word(0x5EC0)(value);
             o->IsHighSpeed(&value);
             word(1)(value);
             return LONG{0};
         }},
        {"SetDeviceParameter1", 0x80942040, U32(0xA1) + U32(0),
         [](IDravioInterface *o) {
             o->SetDeviceParameter1(0xA1);
             return LONG{0};
         }},
        {"SetDeviceParameter2", 0x80942040, U32(0xA1) + U32(0xB2),
         [](IDravioInterface *o) {
             o->SetDeviceParameter2(0xB2);
             return LONG{0};
         }},
        {"GetDeviceParameter2", 0x8094203C, {},
         [&](IDravioInterface *o) {
             LONG value = 0;
             o->GetDeviceParameter1(&value);
             word(0xA1)(value);
             o->GetDeviceParameter2(&value);
             word(0xB2)(value);
             return LONG{0};
         }},
        {"GetConfiguration", 0x80942018, {},
         [](IDravioInterface *o) {
             BYTE value = 0;
             LONG status = -1;
             o->GetConfiguration(&value, &status);
             EXPECT_EQ(value, 1) << "the value of the configuration the object chose";
             return status;
         }},
        {"SetInterface", 0x8094202C, U16(0) + U16(1) + U32(2048),
         [](IDravioInterface *o) {
             LONG status = -1;
             o->SetInterface(0, 1, 2048, &status);
             return status;
         }},
        {"GetInterface", 0x8094201C, U16(0),
         [](IDravioInterface *o) {
             BYTE alternate = 0;
             LONG status = -1;
             o->GetInterface(&alternate, 0, &status);
             EXPECT_EQ(alternate, 1);
             return status;
         }},
        {"Control832", 0x809420C8, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->Control832(&status);
             return status;
         }},
        {"Control833", 0x809420CC, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->Control833(&status);
             return status;
         }},
        {"ResetDevice", 0x80942054, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->ResetDevice(&status);
             return status;
         }},
        {"CyclePort", 0x80942070, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->CyclePort(&status);
             return status;
         }},
    };
    Drive(object.Get(), requests);
    EXPECT_EQ(seen.calls, 2) << "both class and vendor requests reached the device once";
}

TEST_F(RequestPassThroughTest, PipeRequestsCarryTheirFieldsAndAnswers)
{
    com::ComPtr<IDravioInterface> object = OpenObject(true);
    ASSERT_TRUE(object);
    LONG status = -1;
    object->Bind(0x81, &status);
    ASSERT_EQ(status, 0);

    const std::vector<PassedRequest> requests = {
        {"SetPipeFlag", 0x80942090, U32(0x10000),
         [](IDravioInterface *o) {
             o->SetPipeFlag(1);
             return LONG{0};
         }},
        {"GetPipeFlag", 0x8094208C, {},
         [](IDravioInterface *o) {
             LONG value = -1;
             o->GetPipeFlag(&value);
             EXPECT_EQ(value, 1);
             o->SetPipeFlag(0);
             o->GetPipeFlag(&value);
             EXPECT_EQ(value, 0);
             return LONG{0};
         }},
        {"SetupPipeStatistics", 0x80942094, U32(1000) + U32(0) + U32(0),
         [](IDravioInterface *o) {
             LONG status = -1;
             o->SetupPipeStatistics(1000, &status);
             return status;
         }},
        {"QueryPipeStatistics", 0x80942098, U32(5),
         [](IDravioInterface *o) {
             LONG v[6] = {-1, -1, -1, -1, -1, -1}, status = -1;
             o->QueryPipeStatistics(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5], 5, &status);
             EXPECT_EQ(v[4], 1000) << "the fifth value is the averaging interval the driver keeps";
             EXPECT_EQ(v[5], 0) << "no transfer pending";
             return status;
         }},
        {"ResetPipe", 0x80942080, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->ResetPipe(&status);
             return status;
         }},
        {"AbortPipe", 0x80942084, {},
         [](IDravioInterface *o) {
             LONG status = -1;
             o->AbortPipe(&status);
             return status;
         }},
    };
    Drive(object.Get(), requests);
}

} // namespace
