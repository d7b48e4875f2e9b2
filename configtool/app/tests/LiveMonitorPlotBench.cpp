// Live reading of a simulated BiSS encoder in real windows and real time (Wine's null display
// driver), with the record already holding 1,000, 20,000 and 99,999 samples: samples read per
// second and CPU time per tick, each also as a ratio to the first. The monitor plots its whole
// record every tick; what that costs must not grow with the record.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

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

constexpr double kWarmUpSeconds = 0.5;
constexpr double kMeasureSeconds = 3.0;
// Room left below the record's limit for the ticks of one measurement.
constexpr std::uint32_t kTicksAtMost = 250;
constexpr std::uint32_t kRecordLimit = 99999;
// What the longer records may cost against the shortest.
constexpr double kLeastRateRatio = 0.8;
constexpr double kMostCpuRatio = 2.0;

double ProcessCpuSeconds()
{
    FILETIME created{}, ended{}, kernel{}, user{};
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto seconds = [](const FILETIME &time) {
        return static_cast<double>(static_cast<ULONGLONG>(time.dwHighDateTime) << 32 | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

struct Measurement {
    double samplesPerSecond = 0.0;
    double cpuMillisecondsPerTick = 0.0;
};

class LiveMonitorPlotBench : public MainPanelTest {
protected:
    LiveMonitorPlotBench() : MainPanelTest(cvi::TestDriver::Options{true}) {}
    ~LiveMonitorPlotBench() override
    {
        SetTimerEnabled(ToolTimer::Read, false);
        SetTimerEnabled(ToolTimer::Main, false);
        g_reading = 0;
        g_scd = {};
    }

    // The record as if that many samples had been read, then the reading measured.
    Measurement MeasureWithRecord(std::uint32_t recorded)
    {
        CLR_GRAPHS_CB(GetTabPanel(1), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
        for (std::uint32_t i = 0; i < recorded; ++i) {
            PositionSamples[i] = static_cast<std::int32_t>(std::lround(200000.0 * std::sin(i / 900.0)));
            VefSamples[i] = static_cast<std::uint8_t>(5 + i % 11);
        }
        SampleCount = recorded;
        driver.Advance(kWarmUpSeconds);
        const std::uint32_t firstSample = SampleCount;
        const double cpu = ProcessCpuSeconds();
        const ULONGLONG began = GetTickCount64();
        driver.Advance(kMeasureSeconds);
        const double seconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
        const double ticks = static_cast<double>(SampleCount - firstSample);
        EXPECT_GT(SampleCount, firstSample) << "reading ended, code " << g_link.lastError;
        EXPECT_GE(SampleCount, recorded) << "the record started again while measuring";
        if (ticks <= 0.0)
            return {};
        return Measurement{ticks / seconds, (ProcessCpuSeconds() - cpu) * 1000.0 / ticks};
    }
};

} // namespace

TEST_F(LiveMonitorPlotBench, PlottingTheWholeRecordCostsTheSameAtAnyLength)
{
    const auto model = sim::kelto::KeltoScenario("standard");
    ASSERT_TRUE(model);
    EncoderRig rig(*model);
    rig.Adapter().master.Trace().SetEnabled(false);
    rig.Encoder().SetStepPerFrame(3.0);
    SetFirmwareFromText(model->FirmwareText().c_str());
    SetFwVerSpecific(true, true, true);
    ASSERT_EQ(ConfigInterface(), 0);
    ASSERT_EQ(g_link.frameLength, 54); // the VEF graph is drawn too
    ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1), cvi::InputStatus::Accepted);
    ASSERT_EQ(driver.SetValue(GetTabPanel(1), TAB_POS_READ_SENSORS, 1), cvi::InputStatus::Accepted);

    const std::uint32_t lengths[] = {1000, 20000, kRecordLimit - kTicksAtMost};
    Measurement first;
    for (const std::uint32_t length : lengths) {
        const Measurement measured = MeasureWithRecord(length);
        if (length == lengths[0])
            first = measured;
        ASSERT_GT(first.samplesPerSecond, 0.0);
        const double rateRatio = measured.samplesPerSecond / first.samplesPerSecond;
        const double cpuRatio = measured.cpuMillisecondsPerTick / first.cpuMillisecondsPerTick;
        std::printf("record of %5u samples: %5.1f samples/s (x%.2f), %6.2f ms CPU per tick (x%.2f)\n", length,
                    measured.samplesPerSecond, rateRatio, measured.cpuMillisecondsPerTick, cpuRatio);
        const std::string key = "Record" + std::to_string(length);
        RecordProperty(key + "SamplesPerSecond", std::to_string(measured.samplesPerSecond));
        RecordProperty(key + "CpuMsPerTick", std::to_string(measured.cpuMillisecondsPerTick));
        EXPECT_GE(rateRatio, kLeastRateRatio) << length;
        EXPECT_LE(cpuRatio, kMostCpuRatio) << length;
    }
}
