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
constexpr double kReportSeconds = 600.0;
// What the working set may gain over the record's first round once the record starts again.
constexpr double kAllowedGrowthMegabytes = 6.0;

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
    // The simulated master records every bus event for tests to inspect; the soak measures the tool.
    rig.Adapter().master.Trace().SetEnabled(false);
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

    // The record's first round (up to its limit) sets the level; the rounds after it must stay there.
    const ULONGLONG began = GetTickCount64();
    SIZE_T firstRound = 0;
    SIZE_T laterRounds = 0;
    std::uint32_t mostSamples = 0;
    bool restarted = false;
    for (double elapsed = kStepSeconds; elapsed <= kSoakSeconds; elapsed += kStepSeconds) {
        const std::uint32_t before = SampleCount;
        driver.Advance(kStepSeconds);
        ASSERT_TRUE(IsTimerEnabled(ToolTimer::Read)) << "reading ended after " << elapsed << " s, code " << g_link.lastError;
        restarted = restarted || SampleCount < before;
        mostSamples = std::max(mostSamples, SampleCount);
        const SIZE_T workingSet = MemoryCounters().WorkingSetSize;
        SIZE_T &level = restarted ? laterRounds : firstRound;
        level = std::max(level, workingSet);
        if (std::fmod(elapsed, kReportSeconds) == 0.0)
            std::printf("%5.0f s: %6u samples, working set %.1f MB\n", elapsed, SampleCount, Megabytes(workingSet));
    }
    const double realSeconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
    const PROCESS_MEMORY_COUNTERS end = MemoryCounters();

    std::printf("live reading soak: %.0f s of tool time in %.1f s of real time; highest working set in the record's "
                "first round %.1f MB, after it %.1f MB, at the end %.1f MB; peak working set %.1f MB\n",
                kSoakSeconds, realSeconds, Megabytes(firstRound), Megabytes(laterRounds),
                Megabytes(end.WorkingSetSize), Megabytes(end.PeakWorkingSetSize));
    RecordProperty("PeakWorkingSetBytes", std::to_string(end.PeakWorkingSetSize));
    RecordProperty("RealSeconds", std::to_string(realSeconds));

    ASSERT_TRUE(restarted) << "the record never reached its limit; most samples " << mostSamples;
    EXPECT_LE(Megabytes(laterRounds), Megabytes(firstRound) + kAllowedGrowthMegabytes);
}
