// Single-cycle reads and slave register transfers per second through the USB
// adapter path against the simulated adapter, with the CPU time this process
// spends per call (library, class library and in-process simulator together).
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "ProcessTimes.h"
#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::ProcessCpuSeconds;

// Wall and CPU seconds of calls() repeated count times.
template <class Call>
void Measure(const char *what, int count, double unitsPerCall, const char *unit, Call call)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const double cpuStart = ProcessCpuSeconds();
    const uint64_t eventsStart = ferrolink_test::SimulatedDriver().EventOperations();
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i)
        call();
    QueryPerformanceCounter(&end);
    const double wall = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const uint64_t events = ferrolink_test::SimulatedDriver().EventOperations() - eventsStart;
    std::printf("%s: %.0f %s per second; %.1f us CPU per call; %.2f event operations of the simulated driver "
                "per call\n",
                what, count * unitsPerCall / wall, unit, cpu * 1e6 / count, double(events) / count);
}

class UsbScdBench : public ferrolink_test::SimulatedAdapterTest {
protected:
    void SetUp() override
    {
        Plug();
        rig_->line.AddSlave().SetChannels({{34, 0x12345678, 0x43, 0}});
        Select();
        ConfigureChannel(0, 40, 0x43);
        ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
        rig_->master.Trace().SetEnabled(false);
    }
};

TEST_F(UsbScdBench, SingleCycleReads)
{
    auto *read = BISS(BISS_ReadSCD);
    BISS_U32 high[1], low[1], mask = 0;
    Measure("single-cycle reads", 5000, 1, "reads", [&] {
        ASSERT_EQ(0, read(handle_, high, low, &mask, 0, nullptr));
    });
}

TEST_F(UsbScdBench, SlaveRegisterTransfers)
{
    auto *read = BISS(BISS_ReadSlaveRegister);
    auto *write = BISS(BISS_WriteSlaveRegister);
    std::vector<BISS_U32> data(64, 0x5A);
    Measure("mode 0 reads of 64 bytes", 10, 64, "bytes", [&] {
        BISS_U32 count = 64;
        ASSERT_EQ(0, read(handle_, 0, 0, 0, &count, data.data()));
    });
    Measure("mode 0 writes of 64 bytes", 10, 64, "bytes", [&] {
        BISS_U32 count = 64;
        ASSERT_EQ(0, write(handle_, 0, 0, 0, &count, data.data()));
    });
    Measure("mode 0 reads of 1 byte", 20, 1, "bytes", [&] {
        BISS_U32 count = 1;
        ASSERT_EQ(0, read(handle_, 0, 0, 0x48, &count, data.data()));
    });
    Measure("mode 1 reads of 64 bytes", 50, 64, "bytes", [&] {
        BISS_U32 count = 64;
        ASSERT_EQ(0, read(handle_, 1, 0, 0, &count, data.data()));
    });
}

} // namespace
