// One hour of the tool's virtual time spent reading a simulated SSI encoder live (every tick shows
// a frame, so the record restarts at 99,999 samples on the way): the process's working set stays
// flat. The peak working set is printed and kept in the test's XML properties.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "EncoderRig.h"
#include "FirmwareSpecifics.h"
#include "LiveRead.h"
#include "MasterSetup.h"
#include "MonitorSamples.h"
#include "Panels.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr double kSoakSeconds = 3600.0;
constexpr double kStepSeconds = 60.0;
constexpr double kWarmUpSeconds = 600.0;  // the record has grown to its full size by then
constexpr double kAllowedGrowthMegabytes = 8.0;

PROCESS_MEMORY_COUNTERS MemoryCounters()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

double Megabytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

class LiveMonitorSoak : public MainPanelTest {
protected:
    ~LiveMonitorSoak() override
    {
        SetTimerEnabled(ToolTimer::Read, false);
        SetTimerEnabled(ToolTimer::Main, false);
        g_reading = 0;
        g_scd = {};
    }
};

} // namespace

TEST_F(LiveMonitorSoak, AnHourOfLiveReadingKeepsMemoryFlat)
{
    const auto model = sim::kelto::KeltoScenario("ssi-output");
    ASSERT_TRUE(model);
    EncoderRig rig(*model);
    // The SSI settings the connection reaches this encoder with; its firmware appends VEF and errors.
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 24;
    g_link.scdClockDivider = 15;
    SetFirmwareFromText(model->FirmwareText().c_str());
    SetFwVerSpecific(true, false, true);
    ASSERT_EQ(g_link.ssiFrameType, 3);
    ASSERT_EQ(ConfigInterface(), 0);
    const double start = driver.Now();
    rig.Encoder().SetMotion([this, start](double) { return 20000.0 * std::sin((driver.Now() - start) / 30.0); });

    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.SetValue(GetTabPanel(1), TAB_POS_READ_SENSORS, 1), cvi::InputStatus::Accepted);

    const ULONGLONG began = GetTickCount64();
    SIZE_T settled = 0;
    SIZE_T highest = 0;
    std::uint32_t mostSamples = 0;
    bool restarted = false;
    for (double elapsed = 0.0; elapsed < kSoakSeconds; elapsed += kStepSeconds) {
        const std::uint32_t before = SampleCount;
        driver.Advance(kStepSeconds);
        ASSERT_TRUE(IsTimerEnabled(ToolTimer::Read)) << "reading ended after " << elapsed << " s, code " << g_link.lastError;
        restarted = restarted || SampleCount < before;
        mostSamples = std::max(mostSamples, SampleCount);
        const SIZE_T workingSet = MemoryCounters().WorkingSetSize;
        if (elapsed + kStepSeconds >= kWarmUpSeconds && settled == 0)
            settled = workingSet;
        highest = std::max(highest, workingSet);
    }
    const double realSeconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
    const PROCESS_MEMORY_COUNTERS end = MemoryCounters();

    std::printf("live reading soak: %.0f s of tool time in %.1f s; working set after warm-up %.1f MB, highest %.1f MB, "
                "at the end %.1f MB; peak working set %.1f MB\n",
                kSoakSeconds, realSeconds, Megabytes(settled), Megabytes(highest), Megabytes(end.WorkingSetSize),
                Megabytes(end.PeakWorkingSetSize));
    RecordProperty("PeakWorkingSetBytes", std::to_string(end.PeakWorkingSetSize));
    RecordProperty("RealSeconds", std::to_string(realSeconds));

    EXPECT_TRUE(restarted) << "the record never reached its limit; most samples " << mostSamples;
    EXPECT_LE(Megabytes(highest), Megabytes(settled) + kAllowedGrowthMegabytes);
    EXPECT_LE(Megabytes(end.WorkingSetSize), Megabytes(settled) + kAllowedGrowthMegabytes);
}
