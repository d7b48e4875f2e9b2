// Bulk read throughput against the simulated driver: through the server's
// worker, as an automation client sees it, and through the class library
// directly. The ratio is what the COM layer and the worker cost.
#include "DeviceSupport.h"

#include "DravioPipe.h"
#include "DriverSeam.h"

#include <com/Bstr.h>

#include <chrono>
#include <cstdio>

extern "C" const dravio::DriverSeam *DravioSim_GetSeam();

namespace {

const DWORD kMessageSize = 4096;
const int kMessages = 4000;

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

class ReadThroughput : public DeviceTest {
protected:
    void Fill(uint32_t number)
    {
        std::vector<BYTE> message(kMessageSize, 0x5A);
        for (int i = 0; i < kMessages; ++i) {
            ASSERT_EQ(Sim().Deliver(number, 0x81, message.data(), kMessageSize), 0u);
        }
    }
};

TEST_F(ReadThroughput, WorkerAgainstTheClassLibrary)
{
    // Through the server: the worker keeps 8 reads submitted; the client takes buffers as they are told.
    com::ComPtr<IDravioInterface> reader = OpenObject(true);
    LONG status = -1;
    reader->Bind(0x81, &status);
    ASSERT_EQ(status, 0);
    Sim().SetLoopback(DeviceNumber(), 0x02, 0);
    Fill(DeviceNumber());
    HANDLE told = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EventSink sink;
    sink.handler = [&](DISPID, IDispatch *) { SetEvent(told); };
    Connection connection(reader.Get(), &sink);

    com::SafeArray data = ByteArray(kMessageSize);
    SAFEARRAY *array = data.Get();
    auto start = std::chrono::steady_clock::now();
    reader->StartReading(kMessageSize, 8, 0, &status);
    ASSERT_EQ(status, 0);
    int received = 0;
    while (received < kMessages) {
        LONG length = 0;
        reader->ReadData(&array, &length, &status);
        if (status == kNoData) {
            ASSERT_EQ(WaitForSingleObject(told, kPatienceMs), WAIT_OBJECT_0);
            continue;
        }
        ASSERT_EQ(status, 0);
        ASSERT_EQ(static_cast<DWORD>(length), kMessageSize);
        ++received;
    }
    double throughCom = Seconds(start);
    reader->StopReading();
    reader->CloseDevice();
    CloseHandle(told);

    // Through the class library alone, one synchronous read after the other.
    dravio::InstallDriverSeam(DravioSim_GetSeam());
    dravio::sim::DeviceSetup setup{};
    setup.interfaceClass = kOtherClass;
    uint32_t number = 0;
    ASSERT_EQ(Sim().AddDevice(setup, &number), 0u);
    Fill(number);
    dravio::CDravioPipe pipe;
    ASSERT_EQ(pipe.OpenByNumber(static_cast<int>(number), nullptr, nullptr, false), 0u);
    dravio::DRAVIO_CONFIGURATION_REQUEST configuration = {};
    configuration.NumberOfInterfaces = 1;
    configuration.Interfaces[0].MaximumTransferSize = kMessageSize;
    ASSERT_EQ(pipe.SetConfiguration(configuration), 0u);
    ASSERT_EQ(pipe.BindEndpoint(0x81), 0u);
    std::vector<BYTE> buffer(kMessageSize);
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < kMessages; ++i) {
        DWORD length = kMessageSize;
        ASSERT_EQ(pipe.ReadSync(buffer.data(), length, 5000), 0u);
        ASSERT_EQ(length, kMessageSize);
    }
    double direct = Seconds(start);
    pipe.Close();
    Sim().RemoveDevice(number);
    dravio::InstallDriverSeam(nullptr);

    const double megabytes = static_cast<double>(kMessages) * kMessageSize / (1024.0 * 1024.0);
    std::printf("bulk read, %d x %lu bytes: server worker %.1f MB/s, class library %.1f MB/s, worker/library %.2f\n",
                kMessages, static_cast<unsigned long>(kMessageSize), megabytes / throughCom, megabytes / direct,
                direct / throughCom);
    RecordProperty("worker_MBps", static_cast<int>(megabytes / throughCom));
    RecordProperty("classlib_MBps", static_cast<int>(megabytes / direct));
}

} // namespace
