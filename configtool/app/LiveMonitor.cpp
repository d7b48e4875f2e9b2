#include "LiveMonitor.h"

#include <algorithm>

#include "DataStatusLed.h"
#include "Languages.h"
#include "LiveRead.h"
#include "MonitorSamples.h"
#include "Panels.h"
#include "ScdDecoding.h"
#include "SensorLinkState.h"
#include "Timers.h"
#include "ToolState.h"
#include "Vantrel_Kelto_uir.h"

std::uint32_t g_storedErrorByte = 0;

namespace {

constexpr int kSystemPage = 0;
constexpr int kPositionPage = 1;
constexpr std::uint32_t kRed = 0xFF0000;
constexpr std::uint8_t kVefLimit = 2;       // at or below it the VEF plot turns red
constexpr std::uint32_t kRedrawEvery = 15;  // samples between redraws of the VEF graph
constexpr std::uint32_t kVefPlotsKept = 5000;
constexpr std::uint32_t kRecordLimit = 99999;
constexpr int kPointStyle = 24;
constexpr int kSolidLine = 0;
constexpr int kMessageReady = 63;
constexpr int kMessageReading = 65;
constexpr int kMessageConnectionError = 66;

constexpr int kSensorAndFileMenus[] = {VANTREL_MENU_SENSOR, VANTREL_MENU_LOAD_FILE, VANTREL_MENU_SAVE_FILE};

// The VEF reference line at 2, drawn across the positions recorded.
constexpr std::int32_t kReferenceY[] = {2, 2};

// Each plot holds the whole record, so the latest one covers its predecessors: the previous plot
// of the same kind is removed, which keeps the graphs' memory bounded by one record each.
struct LatestPlots {
    int position = 0;
    int vef = 0;
    int reference = 0;
};
LatestPlots g_plots;

// The range of the positions recorded, which the reference line spans.
struct RecordedRange {
    std::int32_t lowest = 0;
    std::int32_t highest = 0;
};
RecordedRange g_range;

int Page()
{
    return GetTabPanel(kPositionPage);
}

void Replace(int control, int &handle, int newHandle)
{
    if (handle > 0)
        DeleteGraphPlot(Page(), control, handle, 0);
    handle = newHandle > 0 ? newHandle : 0;
}

// Bit 0 into the ready LED, bits 2-7 into the six LEDs of the column (ids descending with the bit).
void ShowErrorBits(std::uint32_t byte, int readyLed, int firstLed)
{
    const int page = Page();
    SetCtrlVal(page, readyLed, static_cast<int>(byte & 1));
    for (int bit = 2; bit <= 7; ++bit)
        SetCtrlVal(page, firstLed - (bit - 2), static_cast<int>((byte >> bit) & 1));
}

void ClearLiveErrorBits()
{
    ShowErrorBits(0, TAB_POS_VANTREL_READY, TAB_POS_SSI_OVERCLK);
}

bool GrayCoded()
{
    int coding = 0;
    GetCtrlVal(GetTabPanel(kSystemPage), TAB_SYS_SSI_CODING, &coding);
    return coding == 1;
}

void ShowReading(const calvista::ScdReading &reading)
{
    const int page = Page();
    if (g_link.protocol == kProtocolSsi)
        SetCtrlVal(page, TAB_POS_SENSORCRC, 0);
    if (!reading.layoutKnown)
        return;
    if (g_link.protocol == kProtocolBiss)
        SetCtrlVal(page, TAB_POS_SENSORCRC, static_cast<int>(reading.crc));
    SetCtrlVal(page, TAB_POS_SENSDATA_ERROR, reading.error ? 1 : 0);
    if (reading.vef)
        SetCtrlVal(page, TAB_POS_VEF, static_cast<int>(*reading.vef));
    SetCtrlVal(page, TAB_POS_VEF_L, static_cast<int>(reading.vefLow));
    if (g_link.protocol == kProtocolSsi) {
        if (reading.errorByte)
            ShowErrorBits(*reading.errorByte, TAB_POS_VANTREL_READY, TAB_POS_SSI_OVERCLK);
        else
            ClearLiveErrorBits();
    }
    SetCtrlVal(page, TAB_POS_SENSDATA, reading.position);
}

void PlotVef(std::uint8_t sample)
{
    const int page = Page();
    if (sample <= kVefLimit)
        VefPlotColour = kRed;
    SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_GRAPH_PLOT_LAYER, 0);
    SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_GRAPH_COPY_DATA, 1);
    Replace(TAB_POS_VEF_GRAPH, g_plots.vef,
            PlotXY(page, TAB_POS_VEF_GRAPH, PositionSamples.data(), VefSamples.data(), static_cast<int>(SampleCount),
                   VAL_INTEGER, VAL_UNSIGNED_CHAR, VAL_SCATTER, kPointStyle, kSolidLine, 1,
                   static_cast<int>(VefPlotColour)));
    const bool redraw = SampleCount % kRedrawEvery == 0;
    if (redraw)
        SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_GRAPH_REDRAW, 0);
    SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_GRAPH_PLOT_LAYER, 3);
    const std::int32_t referenceX[] = {g_range.lowest, g_range.highest};
    Replace(TAB_POS_VEF_GRAPH, g_plots.reference,
            PlotXY(page, TAB_POS_VEF_GRAPH, referenceX, kReferenceY, 2, VAL_INTEGER, VAL_INTEGER,
                   VAL_CONNECTED_POINTS, kPointStyle, kSolidLine, 1, static_cast<int>(kRed)));
    if (redraw)
        SetCtrlAttribute(page, TAB_POS_VEF_GRAPH, ATTR_GRAPH_REDRAW, 1);
    if (SampleCount % kVefPlotsKept == 0) {
        DeleteGraphPlot(page, TAB_POS_VEF_GRAPH, -1, 0);
        g_plots.vef = 0;
        g_plots.reference = 0;
    }
}

void Record(std::int32_t position, std::uint8_t sample, bool vefGraph)
{
    if (SampleCount == 0) {
        g_plots = {};  // the graphs were cleared with the record
        g_range = {position, position};
    }
    g_range.lowest = std::min(g_range.lowest, position);
    g_range.highest = std::max(g_range.highest, position);
    PositionSamples[SampleCount] = position;
    VefSamples[SampleCount] = sample;
    ++SampleCount;
    Replace(TAB_POS_POS_GRAPH, g_plots.position,
            PlotY(Page(), TAB_POS_POS_GRAPH, PositionSamples.data(), static_cast<int>(SampleCount), VAL_INTEGER,
                  VAL_CONNECTED_POINTS, kPointStyle, kSolidLine, 1, 0x0000FF));
    if (vefGraph)
        PlotVef(sample);
    if (SampleCount >= kRecordLimit)
        CLR_GRAPHS_CB(Page(), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
}

void DimForReading(int dimmed)
{
    SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 0, ATTR_DIMMED, dimmed);
    if (g_expertMode) {
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 2, ATTR_DIMMED, dimmed);
        SetTabPageAttribute(g_mainPanel, MAIN_PANEL_TABS, 3, ATTR_DIMMED, dimmed);
    }
    SetCtrlAttribute(g_mainPanel, MAIN_PANEL_VENKOR_LINK_TXT, ATTR_DIMMED, dimmed);
}

void DimMenus(int dimmed)
{
    const int menuBar = MainMenuBar();
    for (const int entry : kSensorAndFileMenus)
        SetMenuBarAttribute(menuBar, entry, ATTR_DIMMED, dimmed);
}

void ResumeSupervision()
{
    SetSleepPolicy(SLEEP_MORE);
    SetTimerEnabled(ToolTimer::Main, true);
}

void PrintLiveErrorByte(std::uint16_t which)
{
    PrintErrorByte(which);
}

bool ReadingOn()
{
    return g_reading != 0;
}

void StartReading()
{
    SetLiveReadDisplay({ReadingOn, PrintScdData, PrintLiveErrorByte});
    CLR_GRAPHS_CB(Page(), TAB_POS_CLR_GRAPHS, EVENT_COMMIT, nullptr, 0, 0);
    SetLocalizedNotification(kMessageReading, kSlotMainMessage);
    SetTimerEnabled(ToolTimer::Main, false);
    DimForReading(1);
    SetSleepPolicy(SLEEP_SOME);
    DimMenus(1);
    SetTimerEnabled(ToolTimer::Read, true);
    g_scd.errorReadPending = 0;
}

void StopReading()
{
    const int page = Page();
    DimForReading(0);
    SetCtrlVal(page, TAB_POS_READ_SENSORS, 0);
    SetLocalizedNotification(kMessageReady, kSlotMainMessage);
    PrintScdData();
    for (const int control : {TAB_POS_SENSDATA, TAB_POS_VEF, TAB_POS_VEF_L, TAB_POS_SENSDATA_ERROR})
        SetCtrlVal(page, control, 0);
    ClearLiveErrorBits();
    SetTimerEnabled(ToolTimer::Read, false);
    if (g_link.lastError != 0)
        SetLocalizedNotification(kMessageConnectionError, kSlotMainMessage);
    DimMenus(0);
    ResumeSupervision();
}

} // namespace

void PrintScdData()
{
    const calvista::ScdLayout layout{g_link.protocol, g_link.frameLength, g_link.ssiFrameType, GrayCoded()};
    const auto reading = calvista::DecodeScd(layout, g_scd.high[0], g_scd.low[0]);
    if (!reading)
        return;
    ShowReading(*reading);
    Record(reading->position, reading->sample, reading->vefGraph);
}

void PrintErrorByte(std::uint16_t which)
{
    switch (which) {
    case kLiveErrorByteSelector:
        ShowErrorBits(g_scd.errorByte, TAB_POS_VANTREL_READY, TAB_POS_SSI_OVERCLK);
        break;
    case kStoredErrorByteSelector:
        ShowErrorBits(g_storedErrorByte, TAB_POS_VANTREL_READY_2, TAB_POS_SSI_OVERCLK_2);
        break;
    default:
        break;
    }
}

int READ_SENSORS_CB(int panel, int control, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    int reading = 0;
    GetCtrlVal(panel, control, &reading);
    g_reading = reading != 0 ? 1 : 0;
    if (g_reading)
        StartReading();
    else
        StopReading();
    return 0;
}

int READ_TIMER_CB(int panel, int, int event, void *, int, int)
{
    if (event != EVENT_TIMER_TICK)
        return 0;
    g_link.lastError = StartSensorRead();
    DisplayVantrel_LED();
    if (g_link.lastError != 0) {
        SetTimerEnabled(ToolTimer::Read, false);
        SetCtrlVal(panel, TAB_POS_READ_SENSORS, 0);
        READ_SENSORS_CB(panel, TAB_POS_READ_SENSORS, EVENT_COMMIT, nullptr, 0, 0);
        g_scd.errorReadPending = 0;
        ResumeSupervision();
        return 1;
    }
    if (!g_reading)
        ResumeSupervision();
    return 0;
}
