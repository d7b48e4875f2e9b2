// Master register accesses per second through the USB adapter path, against the
// simulated adapter, and the CPU time this process spends per access.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "ProcessTimes.h"
#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::ProcessCpuSeconds;

using ferrolink_test::SimulatedAdapterTest;

TEST_F(SimulatedAdapterTest, RegisterAccessRate)
{
    Plug();
    ASSERT_EQ(0, BISS(BISS_SetInterface)(handle_, eBISS_IF_DRAVIO_A, ""));
    rig_->master.Trace().SetEnabled(false);
    auto *read = BISS(BISS_ReadMasterRegister);
    auto *write = BISS(BISS_WriteMasterRegister);
    constexpr int kAccesses = 20000;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    const double cpuStart = ProcessCpuSeconds();
    const uint64_t eventsStart = ferrolink_test::SimulatedDriver().EventOperations();
    QueryPerformanceCounter(&start);
    BISS_U32 value = 0;
    for (int i = 0; i < kAccesses / 2; ++i) {
        ASSERT_EQ(0, write(handle_, 0xE2, i & 0xFF));
        ASSERT_EQ(0, read(handle_, 0xE2, &value));
    }
    QueryPerformanceCounter(&end);
    const double wall = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const uint64_t events = ferrolink_test::SimulatedDriver().EventOperations() - eventsStart;
    std::printf("master register accesses: %.0f per second; %.1f us CPU per access (library, class "
                "library and in-process simulator together); %.2f event operations of the simulated "
                "driver per access\n",
                kAccesses / wall, cpu * 1e6 / kAccesses, double(events) / kAccesses);
}

} // namespace
