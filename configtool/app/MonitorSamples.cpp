#include "MonitorSamples.h"

#include "Panels.h"
#include "Vantrel_Kelto_uir.h"

namespace {

constexpr int kPositionPage = 1;

} // namespace

std::array<std::int32_t, kMonitorSampleCapacity> PositionSamples{};
std::array<std::uint8_t, kMonitorSampleCapacity> VefSamples{};
std::uint32_t SampleCount = 0;
std::uint32_t VefPlotColour = kVefPlotBlue;

int CLR_GRAPHS_CB(int, int, int event, void *, int, int)
{
    if (event != EVENT_COMMIT)
        return 0;
    PositionSamples.fill(0);
    VefSamples.fill(0);
    SampleCount = 0;
    const int page = GetTabPanel(kPositionPage);
    DeleteGraphPlot(page, TAB_POS_POS_GRAPH, -1, 1);
    DeleteGraphPlot(page, TAB_POS_VEF_GRAPH, -1, 1);
    VefPlotColour = kVefPlotBlue;
    return 0;
}
