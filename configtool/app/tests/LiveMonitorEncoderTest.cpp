// The position page reading a simulated Kelto encoder through ferrolink.dll, the simulated adapter
// and its master, in the tool's virtual time: the display follows the moving head, the error bits
// the encoder reports light their LEDs, and a lost encoder ends reading with "CONNECTION ERROR".
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
#include "cvi/UserInterface.h"

namespace {

namespace error = sim::kelto::error;

constexpr double kMicrometresPerSecond = 1000.0;  // 1000 counts per second at 1 µm
constexpr double kErrorByteReadSeconds = 3.0;     // two control reads of register 0x48 at most

class LiveMonitorEncoderTest : public MainPanelTest {
protected:
    ~LiveMonitorEncoderTest() override
    {
        SetTimerEnabled(ToolTimer::Read, false);
        SetTimerEnabled(ToolTimer::Main, false);
        g_reading = 0;
        g_scd = {};
    }

    // A BiSS encoder whose head moves with the tool's clock.
    void Plug()
    {
        const auto model = sim::kelto::KeltoScenario("standard");
        ASSERT_TRUE(model);
        rig_ = std::make_unique<EncoderRig>(*model);
        ASSERT_EQ(ConfigInterface(), 0);
        SetFirmwareFromText(model->FirmwareText().c_str());
        SetFwVerSpecific(true, true, true);
        ASSERT_EQ(ConfigInterface(), 0);
        ASSERT_EQ(g_link.frameLength, 54);
        const double start = driver.Now();
        rig_->Encoder().SetMotion([this, start](double) { return kMicrometresPerSecond * (driver.Now() - start); });
    }

    static int Page() { return GetTabPanel(1); }

    void StartReading()
    {
        ASSERT_EQ(driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1), cvi::InputStatus::Accepted);
        ASSERT_EQ(driver.SetValue(Page(), TAB_POS_READ_SENSORS, 1), cvi::InputStatus::Accepted);
        ASSERT_TRUE(IsTimerEnabled(ToolTimer::Read));
    }

    std::unique_ptr<EncoderRig> rig_;
};

} // namespace

TEST_F(LiveMonitorEncoderTest, DisplayFollowsTheHeadAndItsErrorBits)
{
    Plug();
    StartReading();
    driver.Advance(1.0);
    // A tick may lag the head by one read cycle of two ticks.
    EXPECT_NEAR(Value(Page(), TAB_POS_SENSDATA), 1000, 45);
    driver.Advance(1.0);
    EXPECT_NEAR(Value(Page(), TAB_POS_SENSDATA), 2000, 45);
    ASSERT_GE(SampleCount, 80U);  // every second tick shows the SCD
    for (std::uint32_t i = 1; i < SampleCount; ++i)
        ASSERT_GE(PositionSamples[i], PositionSamples[i - 1]) << i;
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA_ERROR), 0);
    EXPECT_EQ(Value(Page(), TAB_POS_DRV_IN_MK), 0);

    // The error byte travels over the control channel, one bit per frame: a read takes a while.
    rig_->Encoder().SetErrors(error::kDriveInMk | error::kNoMagnetBand);
    driver.Advance(kErrorByteReadSeconds);
    EXPECT_EQ(Value(Page(), TAB_POS_DRV_IN_MK), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_NO_MAGNETICTAPE), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_SSI_OVERCLK), 0);
    EXPECT_EQ(Value(Page(), TAB_POS_PELLIN_ERROR), 0);
    rig_->Encoder().SetErrors(0);
    driver.Advance(kErrorByteReadSeconds);
    EXPECT_EQ(Value(Page(), TAB_POS_DRV_IN_MK), 0);

    // Released by the operator: supervision takes over again.
    ASSERT_EQ(driver.SetValue(Page(), TAB_POS_READ_SENSORS, 0), cvi::InputStatus::Accepted);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READY");
}

TEST_F(LiveMonitorEncoderTest, LostEncoderEndsReadingWithConnectionError)
{
    Plug();
    StartReading();
    driver.Advance(0.5);
    ASSERT_GT(Value(Page(), TAB_POS_SENSDATA), 0);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "READING SENSOR...");

    rig_->Encoder().SetLost(true);
    driver.Advance(0.1);
    EXPECT_NE(g_link.lastError, 0);
    EXPECT_EQ(Text(g_mainPanel, MAIN_PANEL_MAIN_MESSAGE), "CONNECTION ERROR");
    EXPECT_EQ(Value(Page(), TAB_POS_READ_SENSORS), 0);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA), 0);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_SENSOR));
}
