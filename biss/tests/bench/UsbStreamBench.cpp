// Frames per second streamed with BISS_ReadSCDFrames through the simulated USB
// adapter, and the CPU time per frame: on the calling thread (the library,
// the class library and the simulated driver's part of each transfer), and in
// the whole process (with the simulated adapter filling the packets).
#include <windows.h>

#include <cstdio>
#include <vector>

#include "SimulatedAdapter.h"

namespace {

double Seconds(const FILETIME &time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return value.QuadPart / 1e7;
}

double ThreadCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return Seconds(kernel) + Seconds(user);
}

class UsbStreamBench : public ferrolink_test::SimulatedAdapterTest {
protected:
    void Measure(const char *what, BISS_U32 frames, int runs)
    {
        rig_->master.Trace().SetEnabled(false);
        std::vector<BISS_U32> high(frames), low(frames), numbers(frames), status(frames);
        auto *stream = BISS(BISS_ReadSCDFrames);
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        const double threadStart = ThreadCpuSeconds();
        const double processStart = ProcessCpuSeconds();
        QueryPerformanceCounter(&start);
        for (int i = 0; i < runs; ++i)
            ASSERT_EQ(0, stream(handle_, frames, high.data(), low.data(), numbers.data(), status.data()));
        QueryPerformanceCounter(&end);
        const double wall = double(end.QuadPart - start.QuadPart) / frequency.QuadPart;
        const double total = double(frames) * runs;
        std::printf("%s: %.0f frames per second; %.2f us CPU per frame on the calling thread, %.2f us in the "
                    "process\n",
                    what, total / wall, (ThreadCpuSeconds() - threadStart) * 1e6 / total,
                    (ProcessCpuSeconds() - processStart) * 1e6 / total);
    }
};

TEST_F(UsbStreamBench, TwentyFourBitChannel)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{24, 0x123456, 0, 0}});
    Select();
    ConfigureChannel(0, 24, 0);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    Measure("stream of a 24-bit channel", 20000, 5);
}

TEST_F(UsbStreamBench, ChannelWithACrcCheckedInSoftware)
{
    Plug();
    rig_->line.AddSlave().SetChannels({{26, 0x2345678, 0x43, 5}});
    Select();
    ConfigureChannel(0, 32, 0x43, 1, 5);
    ASSERT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
    Measure("stream of a 32-bit channel with its CRC checked here", 20000, 5);
}

} // namespace
