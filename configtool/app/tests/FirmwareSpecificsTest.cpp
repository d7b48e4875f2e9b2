// What the firmware number decides: rotary calibration, the BiSS frame length, the SSI frame type,
// the frame-type setting, the VEF displays, the error indicators and clearing the graphs.
#include <string>

#include "FirmwareSpecifics.h"
#include "MonitorSamples.h"
#include "Panels.h"
#include "SensorInformation.h"
#include "SensorLinkState.h"
#include "ToolFixture.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"
#include "cvi/UserInterface.h"

namespace {

constexpr std::uint16_t kFirmwareVersion = 214;

constexpr int kErrorIndicators[] = {TAB_POS_VANTREL_READY,   TAB_POS_SSI_OVERCLK,   TAB_POS_DORVEL_SIG_LOW,
                                    TAB_POS_DRV_IN_MK,       TAB_POS_NO_MAGNETICTAPE, TAB_POS_INCONSISTENCY,
                                    TAB_POS_PELLIN_ERROR};

// The displays the firmware rules set, seen from the panels.
struct Displays {
    bool vefDimmed;
    bool errorIndicatorsDimmed;
    bool graphsCleared;
    int frameType;
    bool frameTypeDimmed;
};

// The frame type a case starts from: the one it keeps, or the other one.
int ScrambledFrameType(int expected, bool kept)
{
    return kept ? expected : 1 - expected;
}

class FirmwareSpecificsTest : public MainPanelTest {
protected:
    int SysPage() const { return GetTabPanel(0); }
    int PositionPage() const { return GetTabPanel(1); }

    // The firmware text as the encoder holds it, read into the tool's firmware number.
    void ReadFirmware(const std::string &text)
    {
        PutText(kFirmwareVersion, text);
        SetProdinfoField(MAIN_PANEL_FWVER);
    }

    // Every display the rules may change in the state no rule leaves it in, with a plot on each
    // graph and a sample in the record.
    void Scramble(bool vefDimmed, bool errorIndicatorsDimmed, int frameType, bool frameTypeDimmed)
    {
        SetCtrlAttribute(PositionPage(), TAB_POS_VEF, ATTR_DIMMED, vefDimmed ? 1 : 0);
        SetCtrlAttribute(PositionPage(), TAB_POS_VEF_GRAPH, ATTR_DIMMED, vefDimmed ? 1 : 0);
        for (const int control : kErrorIndicators)
            SetCtrlAttribute(PositionPage(), control, ATTR_DIMMED, errorIndicatorsDimmed ? 1 : 0);
        SetCtrlVal(SysPage(), TAB_SYS_FRAME_TYPE, frameType);
        SetCtrlAttribute(SysPage(), TAB_SYS_FRAME_TYPE, ATTR_DIMMED, frameTypeDimmed ? 1 : 0);
        const int points[] = {1, 2, 3};
        PlotY(PositionPage(), TAB_POS_POS_GRAPH, points, 3, VAL_INTEGER, VAL_CONNECTED_POINTS, 0, 0, 1, 0x0000FF);
        PlotY(PositionPage(), TAB_POS_VEF_GRAPH, points, 3, VAL_INTEGER, VAL_SCATTER, 0, 0, 1, 0xFF0000);
        PositionSamples[0] = 77;
        VefSamples[0] = 2;
        SampleCount = 1;
        VefPlotColour = 0xFF0000;
    }

    Displays Observe() const
    {
        Displays seen{};
        seen.vefDimmed = Dimmed(PositionPage(), TAB_POS_VEF);
        EXPECT_EQ(Dimmed(PositionPage(), TAB_POS_VEF_GRAPH), seen.vefDimmed);
        seen.errorIndicatorsDimmed = Dimmed(PositionPage(), kErrorIndicators[0]);
        for (const int control : kErrorIndicators)
            EXPECT_EQ(Dimmed(PositionPage(), control), seen.errorIndicatorsDimmed) << control;
        const bool plotsGone = driver.PlotCount(PositionPage(), TAB_POS_POS_GRAPH) == 0 &&
                               driver.PlotCount(PositionPage(), TAB_POS_VEF_GRAPH) == 0;
        seen.graphsCleared = plotsGone && SampleCount == 0;
        if (seen.graphsCleared) {
            EXPECT_EQ(PositionSamples[0], 0);
            EXPECT_EQ(VefSamples[0], 0);
            EXPECT_EQ(VefPlotColour, 0x0000FFu);
        }
        seen.frameType = Value(SysPage(), TAB_SYS_FRAME_TYPE);
        seen.frameTypeDimmed = Dimmed(SysPage(), TAB_SYS_FRAME_TYPE);
        return seen;
    }

    void ExpectDisplays(const Displays &expected) const
    {
        const Displays seen = Observe();
        EXPECT_EQ(seen.vefDimmed, expected.vefDimmed);
        EXPECT_EQ(seen.errorIndicatorsDimmed, expected.errorIndicatorsDimmed);
        EXPECT_EQ(seen.graphsCleared, expected.graphsCleared);
        EXPECT_EQ(seen.frameType, expected.frameType);
        EXPECT_EQ(seen.frameTypeDimmed, expected.frameTypeDimmed);
    }
};

} // namespace

TEST_F(FirmwareSpecificsTest, BissFrameLengthFollowsTheFirmware)
{
    struct Case {
        const char *firmware;
        bool interfaceVariant;
        std::uint16_t frameLength;
        Displays displays;
        bool frameTypeKept;
    };
    // Frame type 0 = DIAG., 1 = STANDARD.
    const Case cases[] = {
        {"141000_R01.07", false, 40, {true, false, true, 1, true}, false},
        {"141001_R01.07", false, 54, {false, false, false, 0, true}, false},
        {"142999_R01.07", false, 54, {false, false, false, 0, true}, false},
        {"143000_R01.07", false, 54, {false, false, false, 1, false}, true},  // capable: the operator chooses
        {"307000_R01.07", true, 54, {false, false, false, 1, true}, true},    // capable, fixed by the variant
        {"300000_R01.07", false, 54, {false, false, false, 0, true}, false},
        {"R01.07", false, 40, {true, false, true, 1, true}, false},
        {"0_R01.07", false, 40, {true, false, true, 1, true}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.firmware);
        ReadFirmware(c.firmware);
        g_link.protocol = kProtocolBiss;
        g_link.frameLength = 25;
        g_absoluteQuadrature = c.interfaceVariant ? 1 : 0;
        Scramble(!c.displays.vefDimmed, true, ScrambledFrameType(c.displays.frameType, c.frameTypeKept),
                 !c.displays.frameTypeDimmed);

        SetFwVerSpecific(false, true, false);

        EXPECT_EQ(g_link.frameLength, c.frameLength);
        ExpectDisplays(c.displays);
    }
}

TEST_F(FirmwareSpecificsTest, FramePartLeavesAnSsiLinkAlone)
{
    ReadFirmware("141001_R01.07");
    g_link.protocol = kProtocolSsi;
    g_link.frameLength = 26;
    Scramble(true, true, 1, false);

    SetFwVerSpecific(false, true, false);

    EXPECT_EQ(g_link.frameLength, 26);
    ExpectDisplays({true, true, false, 1, false});
}

TEST_F(FirmwareSpecificsTest, SsiFrameTypeAndDisplaysFollowTheFirmware)
{
    struct Case {
        const char *firmware;
        bool sarvik;
        std::uint8_t ssiFrameType;
        Displays displays;
        bool frameTypeKept;
    };
    const Case cases[] = {
        {"308012_R01.07", false, 3, {false, false, false, 1, false}, true},
        {"308012_R01.07", true, 3, {false, false, false, 0, true}, true},
        {"139001_R01.07", false, 3, {false, false, false, 0, true}, false},  // not capable: DIAG.
        {"139000_R01.07", false, 2, {false, false, false, 0, true}, false},
        {"137001_R01.07", false, 2, {false, false, false, 0, true}, false},
        {"137000_R01.07", false, 1, {false, false, false, 0, true}, false},
        {"129001_R01.07", false, 1, {false, false, false, 0, true}, false},
        {"129000_R01.07", false, 0, {true, true, true, 1, true}, false},
        {"1_R01.07", false, 0, {true, true, true, 1, true}, false},
        {"_R01.07", false, 0, {true, false, true, 1, true}, false},  // unknown: errors may still come
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.firmware);
        ReadFirmware(c.firmware);
        g_sarvikInterface = c.sarvik ? 1 : 0;
        g_link.ssiFrameType = 7;
        const std::uint16_t frameLength = g_link.frameLength;
        Scramble(!c.displays.vefDimmed, !c.displays.errorIndicatorsDimmed,
                 ScrambledFrameType(c.displays.frameType, c.frameTypeKept), !c.displays.frameTypeDimmed);

        SetFwVerSpecific(false, false, true);

        EXPECT_EQ(g_link.ssiFrameType, c.ssiFrameType);
        EXPECT_EQ(g_link.frameLength, frameLength);
        ExpectDisplays(c.displays);
    }
}

TEST_F(FirmwareSpecificsTest, RotaryCalibrationNeedsFirmware300000)
{
    struct Case {
        const char *firmware;
        bool dimmed;
    };
    const Case cases[] = {{"R01.07", true}, {"299999_R", true}, {"300000_R", false}, {"141000_R", true}};
    for (const Case &c : cases) {
        ReadFirmware(c.firmware);
        SetCtrlAttribute(SysPage(), TAB_SYS_ROTATIVE_CALIB, ATTR_DIMMED, c.dimmed ? 0 : 1);
        const std::uint16_t frameLength = g_link.frameLength;
        const std::uint8_t ssiFrameType = g_link.ssiFrameType;
        SetFwVerSpecific(true, false, false);
        EXPECT_EQ(Dimmed(SysPage(), TAB_SYS_ROTATIVE_CALIB), c.dimmed) << c.firmware;
        EXPECT_EQ(g_link.frameLength, frameLength);
        EXPECT_EQ(g_link.ssiFrameType, ssiFrameType);
    }
}

TEST_F(FirmwareSpecificsTest, ClearGraphsButtonEmptiesTheRecordAndBothGraphs)
{
    Scramble(false, false, 0, false);
    PositionSamples[kMonitorSampleCapacity - 1] = -5;
    VefSamples[kMonitorSampleCapacity - 1] = 9;
    ASSERT_EQ(SetActiveTabPage(g_mainPanel, MAIN_PANEL_TABS, 1), 0);

    // Other events than a commit leave everything.
    CLR_GRAPHS_CB(PositionPage(), TAB_POS_CLR_GRAPHS, EVENT_VAL_CHANGED, nullptr, 0, 0);
    EXPECT_EQ(SampleCount, 1u);
    EXPECT_EQ(driver.PlotCount(PositionPage(), TAB_POS_POS_GRAPH), 1);

    ASSERT_EQ(driver.Click(PositionPage(), TAB_POS_CLR_GRAPHS), cvi::InputStatus::Accepted);
    EXPECT_EQ(SampleCount, 0u);
    EXPECT_EQ(PositionSamples[0], 0);
    EXPECT_EQ(PositionSamples[kMonitorSampleCapacity - 1], 0);
    EXPECT_EQ(VefSamples[kMonitorSampleCapacity - 1], 0);
    EXPECT_EQ(VefPlotColour, 0x0000FFu);
    EXPECT_EQ(driver.PlotCount(PositionPage(), TAB_POS_POS_GRAPH), 0);
    EXPECT_EQ(driver.PlotCount(PositionPage(), TAB_POS_VEF_GRAPH), 0);
}
