// The position page's live monitor headless: decoding into the page, the record and its graphs,
// and reading that ends on a failed read.
#include <cstdint>

#include "LiveMonitor.h"
#include "LiveRead.h"
#include "MonitorSamples.h"
#include "Panels.h"
#include "Runtime.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolFixture.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

class LiveMonitorTest : public MainPanelTest {
protected:
    LiveMonitorTest() : saved_(g_link) { CLR_GRAPHS_CB(Page(), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0); }
    ~LiveMonitorTest() override
    {
        g_link = saved_;
        g_scd = {};
    }

    static int Page() { return GetTabPanel(1); }

    void Feed(std::int32_t protocol, std::uint16_t length, std::uint8_t ssiType, std::uint32_t high, std::uint32_t low)
    {
        g_link.protocol = protocol;
        g_link.frameLength = length;
        g_link.ssiFrameType = ssiType;
        g_scd.high[0] = high;
        g_scd.low[0] = low;
        PrintScdData();
    }

    SensorLinkState saved_;
};

} // namespace

TEST_F(LiveMonitorTest, BissFrameIsShownRecordedAndPlotted)
{
    // 54 bits: position 1000, CRC 0x15, VEF 2, VEF_L 5, no error.
    Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA), 1000);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSORCRC), 0x15);
    EXPECT_EQ(Value(Page(), TAB_POS_VEF), 2);
    EXPECT_EQ(Value(Page(), TAB_POS_VEF_L), 5);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA_ERROR), 0);
    ASSERT_EQ(SampleCount, 1U);
    EXPECT_EQ(PositionSamples[0], 1000);
    EXPECT_EQ(VefSamples[0], 2);
    EXPECT_EQ(VefPlotColour, 0xFF0000U);
    EXPECT_GE(driver.PlotCount(Page(), TAB_POS_VEF_GRAPH), 2);

    // 40 bits: the sign is extended and D[7] = 0 flags the frame; no VEF graph.
    Feed(kProtocolBiss, 40, 0, 0x08, 0);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA), -134217728);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA_ERROR), 1);
    EXPECT_EQ(SampleCount, 2U);

    // Only the latest plot of each kind stays: the record would otherwise be copied every tick.
    for (int i = 0; i < 20; ++i)
        Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_POS_GRAPH), 1);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_VEF_GRAPH), 2);

    CLR_GRAPHS_CB(Page(), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
    EXPECT_EQ(SampleCount, 0U);
    EXPECT_EQ(VefPlotColour, 0x0000FFU);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_POS_GRAPH), 0);
}

TEST_F(LiveMonitorTest, TheVefReferenceLineSpansThePositionsRecorded)
{
    // 54-bit frames from position 1,000 to 30,000 with a VEF of 10: the VEF plot stays blue.
    for (std::uint64_t position = 1000; position <= 30000; position += 1000) {
        const std::uint64_t frame = position << 22 | 1U << 21 | 10U << 10;
        Feed(kProtocolBiss, 54, 0, static_cast<std::uint32_t>(frame >> 32), static_cast<std::uint32_t>(frame));
    }
    ASSERT_EQ(VefPlotColour, 0x0000FFU);

    // The position page as drawn: the red line crosses the VEF graph's plot area from side to side.
    SetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, 1);
    int bitmap = 0;
    ASSERT_EQ(GetPanelDisplayBitmap(g_mainPanel, &bitmap), 0);
    const cvi::Bitmap *picture = cvi::Runtime::Current()->FindBitmap(bitmap);
    ASSERT_NE(picture, nullptr);
    cvi::PictureBox graph;
    ASSERT_TRUE(cvi::Runtime::Current()->ControlBoxInPicture(Page(), TAB_POS_VEF_GRAPH, graph));
    // Within the axis margins of the graph.
    const int left = graph.left + 44;
    const int right = graph.left + graph.width - 8;
    int redColumns = 0;
    for (int x = left; x < right; ++x) {
        bool red = false;
        for (int y = graph.top + 6; y < graph.top + graph.height - 20 && !red; ++y)
            red = picture->pixels[static_cast<std::size_t>(y) * picture->width + x] == 0xFF0000;
        redColumns += red ? 1 : 0;
    }
    DiscardBitmap(bitmap);
    EXPECT_GE(redColumns, (right - left) * 9 / 10);
}

TEST_F(LiveMonitorTest, RecordStartsAgainAtItsLimit)
{
    Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);  // a red VEF plot
    SampleCount = 99997;
    Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);
    EXPECT_EQ(SampleCount, 99998U);
    EXPECT_EQ(PositionSamples[99997], 1000);
    // The 99,999th sample clears both graphs and the record.
    Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);
    EXPECT_EQ(SampleCount, 0U);
    EXPECT_EQ(PositionSamples[99998], 0);
    EXPECT_EQ(VefPlotColour, 0x0000FFU);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_POS_GRAPH), 0);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_VEF_GRAPH), 0);
    Feed(kProtocolBiss, 54, 0, 0, 0xFA254940);
    EXPECT_EQ(SampleCount, 1U);
    EXPECT_EQ(driver.PlotCount(Page(), TAB_POS_POS_GRAPH), 1);
}

TEST_F(LiveMonitorTest, SsiErrorByteKeepsVefAndShowsItsBits)
{
    Feed(kProtocolSsi, 32, 2, 0, (77U << 16) | (200U << 8));
    EXPECT_EQ(Value(Page(), TAB_POS_VEF), 30);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA), 77);
    Feed(kProtocolSsi, 32, 2, 0, (77U << 16) | (100U << 8) | 0x85);
    EXPECT_EQ(Value(Page(), TAB_POS_VEF), 30);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA), 0);
    EXPECT_EQ(Value(Page(), TAB_POS_SENSDATA_ERROR), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_VANTREL_READY), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_SSI_OVERCLK), 1);   // bit 2
    EXPECT_EQ(Value(Page(), TAB_POS_PELLIN_ERROR), 1);  // bit 7
    EXPECT_EQ(Value(Page(), TAB_POS_DORVEL_SIG_LOW), 0);
    EXPECT_EQ(PositionSamples[1], 0);
    EXPECT_EQ(VefSamples[1], 0);
}

TEST_F(LiveMonitorTest, ErrorByteSelectors)
{
    g_storedErrorByte = 0x41;
    PrintErrorByte(27);
    EXPECT_EQ(Value(Page(), TAB_POS_VANTREL_READY_2), 0);
    PrintErrorByte(kStoredErrorByteSelector);
    EXPECT_EQ(Value(Page(), TAB_POS_VANTREL_READY_2), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_INCONSISTENCY_2), 1);
    EXPECT_EQ(Value(Page(), TAB_POS_PELLIN_ERROR_2), 0);
    EXPECT_EQ(Value(Page(), TAB_POS_VANTREL_READY), 0);
    g_storedErrorByte = 0;
}

TEST_F(LiveMonitorTest, FailedReadEndsReadingAndResumesSupervision)
{
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 24;
    g_link.handle = 0;  // no master: the first read fails
    driver.SelectTab(g_mainPanel, MAIN_PANEL_TABS, 1);
    ASSERT_EQ(driver.SetValue(Page(), TAB_POS_READ_SENSORS, 1), cvi::InputStatus::Accepted);
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_TRUE(MenuDimmed(VANTREL_MENU_SENSOR));
    driver.Advance(0.05);
    EXPECT_FALSE(IsTimerEnabled(ToolTimer::Read));
    EXPECT_TRUE(IsTimerEnabled(ToolTimer::Main));
    EXPECT_FALSE(MenuDimmed(VANTREL_MENU_SENSOR));
    EXPECT_EQ(Value(Page(), TAB_POS_READ_SENSORS), 0);
    SetTimerEnabled(ToolTimer::Main, false);
}
