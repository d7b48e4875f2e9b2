// The whole road of an automation client: enumerate, open, configure, bind,
// start, write, and read the same bytes back from the simulated loopback,
// with the events on the worker threads.
#include "DeviceSupport.h"

#include <com/Bstr.h>

#include <thread>

namespace {

const DISPID kReadDataAvailable = 1;
const DISPID kWriteBufferAvailable = 2;
const DISPID kWriteStatusAvailable = 3;

com::ComPtr<IUnknown> IdentityOf(IUnknown *object)
{
    com::ComPtr<IUnknown> identity;
    object->QueryInterface(IID_IUnknown, identity.PutVoid());
    return identity;
}

TEST_F(DeviceTest, WrittenBytesComeBackWithEventsFromTheWorkers)
{
    com::ComPtr<IDravioInterface> reader = OpenObject(true);
    com::ComPtr<IDravioInterface> writer = OpenObject(false);
    ASSERT_TRUE(reader && writer);
    Automation readerCalls(reader.Get());
    Automation writerCalls(writer.Get());
    EventSink readerEvents;
    EventSink writerEvents;
    Connection readerConnection(reader.Get(), &readerEvents);
    Connection writerConnection(writer.Get(), &writerEvents);
    ASSERT_TRUE(readerConnection.Connected() && writerConnection.Connected());

    EXPECT_EQ(readerCalls.CallForLong(L"OpenDevice", {Long(0)}), static_cast<LONG>(0xE000A010));
    EXPECT_EQ(readerCalls.CallForLong(L"Bind", {Long(0x81)}), 0);
    EXPECT_EQ(writerCalls.CallForLong(L"Bind", {Long(0x02)}), 0);
    EXPECT_EQ(readerCalls.CallForLong(L"GetMaxPacketSize", {}), 64);
    EXPECT_EQ(readerCalls.CallForLong(L"StartReading", {Long(64), Long(4), Long(0)}), 0);
    EXPECT_EQ(writerCalls.CallForLong(L"StartWriting", {Long(64), Long(4), Long(0), Long(1)}), 0);

    com::SafeArray out = ByteArray(10);
    {
        com::SafeArrayAccess<BYTE> bytes(out.Get());
        ASSERT_NE(bytes.Data(), nullptr);
        BYTE *data = bytes.Data();
        for (BYTE i = 0; i < 10; ++i) {
            data[i] = static_cast<BYTE>(0xA0 + i);
        }
    }
    SAFEARRAY *outArray = out.Get();
    EXPECT_EQ(writerCalls.CallForLong(L"WriteData", {ArrayRef(&outArray, VT_UI1), Long(7)}), 0);

    ASSERT_TRUE(writerEvents.WaitFor(kWriteStatusAvailable, 1));
    LONG tag = 0;
    EXPECT_EQ(writerCalls.CallForLong(L"GetWriteStatus", {LongRef(&tag)}), 0);
    EXPECT_EQ(tag, 7);
    // Taking the status frees a buffer: told on this thread.
    ASSERT_TRUE(writerEvents.WaitFor(kWriteBufferAvailable, 1, 0));

    ASSERT_TRUE(readerEvents.WaitFor(kReadDataAvailable, 1));
    com::SafeArray in = ByteArray(64);
    SAFEARRAY *inArray = in.Get();
    LONG length = 0;
    EXPECT_EQ(readerCalls.CallForLong(L"ReadData", {ArrayRef(&inArray, VT_UI1), LongRef(&length)}), 0);
    ASSERT_EQ(length, 10);
    EXPECT_EQ(ArrayBytes(inArray, 10), ArrayBytes(outArray, 10));

    const DWORD me = GetCurrentThreadId();
    for (const ReceivedEvent &e : writerEvents.Events()) {
        EXPECT_EQ(e.source, IdentityOf(writer.Get()).Get());
        if (e.id == kWriteStatusAvailable) {
            EXPECT_NE(e.thread, me);
        } else {
            EXPECT_EQ(e.thread, me);
        }
    }
    std::vector<ReceivedEvent> readEvents = readerEvents.Events();
    ASSERT_FALSE(readEvents.empty());
    EXPECT_NE(readEvents[0].thread, me);
    EXPECT_EQ(readEvents[0].source, IdentityOf(reader.Get()).Get());

    EXPECT_EQ(readerCalls.Call(L"StopReading", {}), S_OK);
    EXPECT_EQ(writerCalls.Call(L"StopWriting", {}), S_OK);
    EXPECT_EQ(readerCalls.Call(L"CloseDevice", {}), S_OK);
    EXPECT_EQ(writerCalls.Call(L"CloseDevice", {}), S_OK);
}

// Runs the loopback from a client thread of the given apartment through the
// registered class, late-bound; returns what went wrong or an empty text.
std::wstring LoopbackThroughRegisteredClass(DWORD model)
{
    std::wstring failure;
    std::thread client([&] {
        Apartment apartment(model);
        CLSID clsid = {};
        if (FAILED(CLSIDFromProgID(L"DravioCOM.DravioInterface.1", &clsid))) {
            failure = L"no ProgID";
            return;
        }
        com::ComPtr<IDravioInterface> reader;
        com::ComPtr<IDravioInterface> writer;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDravioInterface, reader.PutVoid())) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDravioInterface, writer.PutVoid()))) {
            failure = L"not created";
            return;
        }
        Automation r(reader.Get());
        Automation w(writer.Get());
        com::Bstr deviceClass(kDeviceClassText);
        const struct {
            Automation *object;
            const wchar_t *method;
            std::vector<VARIANT> arguments;
            LONG expected;
        } steps[] = {
            {&r, L"EnumerateDevices", {Text(deviceClass.Get())}, 1},
            {&r, L"OpenDevice", {Long(0)}, 0},
            {&w, L"OpenDevice", {Long(0)}, 0},
            {&r, L"AddInterface", {Long(0), Long(0), Long(4096)}, 0},
            {&r, L"SetConfiguration", {Long(0)}, 0},
            {&r, L"Bind", {Long(0x81)}, 0},
            {&w, L"Bind", {Long(0x02)}, 0},
            {&r, L"StartReading", {Long(64), Long(2), Long(0)}, 0},
            {&w, L"StartWriting", {Long(64), Long(2), Long(0), Long(0)}, 0},
        };
        for (const auto &step : steps) {
            com::Variant result;
            HRESULT hr = S_OK;
            switch (step.arguments.size()) {
            case 0:
                hr = step.object->Call(step.method, {}, result.Put());
                break;
            case 1:
                hr = step.object->Call(step.method, {step.arguments[0]}, result.Put());
                break;
            case 3:
                hr = step.object->Call(step.method, {step.arguments[0], step.arguments[1], step.arguments[2]},
                                       result.Put());
                break;
            default:
                hr = step.object->Call(step.method,
                                       {step.arguments[0], step.arguments[1], step.arguments[2], step.arguments[3]},
                                       result.Put());
                break;
            }
            if (FAILED(hr) || result.Type() != VT_I4 || result.Get().lVal != step.expected) {
                failure = std::wstring(step.method) + L" failed: " +
                          (result.Type() == VT_I4 ? std::to_wstring(static_cast<ULONG>(result.Get().lVal)) : L"?");
                return;
            }
        }
        com::SafeArray out = ByteArray(4);
        {
            com::SafeArrayAccess<BYTE> bytes(out.Get());
            bytes.Data()[0] = 1, bytes.Data()[1] = 2, bytes.Data()[2] = 3, bytes.Data()[3] = 4;
        }
        SAFEARRAY *outArray = out.Get();
        LONG status = -1;
        writer->WriteData(&outArray, 1, &status);
        com::SafeArray in = ByteArray(64);
        SAFEARRAY *inArray = in.Get();
        LONG length = 0;
        if (status != 0 || ReadWhenThere(reader.Get(), &inArray, length) != 0 || length != 4 ||
            ArrayBytes(inArray, 4) != ArrayBytes(outArray, 4)) {
            failure = L"loopback failed";
        }
        reader->UnconfigureDevice(&status);
        reader->CloseDevice();
        writer->CloseDevice();
    });
    client.join();
    return failure;
}

TEST_F(DeviceTest, RegisteredClassServesSingleAndMultiThreadedApartments)
{
    ASSERT_EQ(Server().Register(), S_OK);
    EXPECT_EQ(LoopbackThroughRegisteredClass(COINIT_MULTITHREADED), L"");
    EXPECT_EQ(LoopbackThroughRegisteredClass(COINIT_APARTMENTTHREADED), L"");
    EXPECT_EQ(Server().Unregister(), S_OK);
}

} // namespace
