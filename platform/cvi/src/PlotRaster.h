// A graph's plot area as pixels: which pixels each plot covers, kept per series and brought up to
// date with the points added since, so drawing a plot costs what its pixels and its new points
// cost, not what its whole record does. The axes take round limits that hold while the data
// stays within them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvi {

class PlotSeries;
struct Plot;
struct Extent;

struct AxisScale {
    double minimum = 0.0;
    double maximum = 1.0;

    bool operator==(const AxisScale &) const = default;
};

// From data values to the pixels of a plot area width x height.
struct PlotMapping {
    AxisScale x;
    AxisScale y;
    int width = 0;
    int height = 0;

    bool operator==(const PlotMapping &) const = default;
};

// The pixels covered by the first `done` points of a series, for one mapping and plot style.
struct RasterCache {
    PlotMapping mapping;
    int style = -1;
    std::size_t done = 0;
    bool hasPrevious = false; // the last finite point, where the next line starts
    long previousX = 0;
    long previousY = 0;
    std::vector<std::uint8_t> cells; // width * height, row by row from the top; 1 = covered
};

// Round limits around the values: an empty extent gives 0 to 1, a single value itself +- 1.
AxisScale RoundScale(const Extent &extent);
// The scales that show every point of the plots.
PlotMapping MapPlots(const std::vector<Plot> &plots, int width, int height);

// The plots drawn in layer order onto a white area framed in frameColour (plots cover the frame),
// as 0x00RRGGBB pixels row by row from the top.
std::vector<std::uint32_t> RenderPlots(const std::vector<Plot> &plots, const PlotMapping &mapping,
                                       std::uint32_t frameColour);

} // namespace cvi
