#include "PlotRaster.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Model.h"
#include "PlotSeries.h"

namespace cvi {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;
// Far beyond any area: such a line would be a fault of the scale, not something to trace.
constexpr long kLargestCoordinate = 1L << 20;

double RoundStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    const double mantissa = rough / power;
    const double round = mantissa <= 1.0 ? 1.0 : mantissa <= 2.0 ? 2.0 : mantissa <= 5.0 ? 5.0 : 10.0;
    return round * power;
}

bool Covers(int style, bool markers)
{
    return markers || style == VAL_SCATTER || style == VAL_CONNECTED_POINTS;
}

class Marker {
public:
    Marker(RasterCache &raster) : raster_(raster) {}

    void Set(long x, long y)
    {
        if (x >= 0 && y >= 0 && x < raster_.mapping.width && y < raster_.mapping.height)
            raster_.cells[static_cast<std::size_t>(y) * raster_.mapping.width + x] = 1;
    }

    void Dot(long x, long y)
    {
        for (long dy = -1; dy <= 1; ++dy) {
            for (long dx = -1; dx <= 1; ++dx)
                Set(x + dx, y + dy);
        }
    }

    void Line(long x0, long y0, long x1, long y1)
    {
        const long dx = std::labs(x1 - x0);
        const long dy = -std::labs(y1 - y0);
        const long sx = x0 < x1 ? 1 : -1;
        const long sy = y0 < y1 ? 1 : -1;
        long error = dx + dy;
        for (;;) {
            Set(x0, y0);
            if (x0 == x1 && y0 == y1)
                return;
            const long twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x0 += sx;
            }
            if (twice <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }

private:
    RasterCache &raster_;
};

// Marks points [raster.done, count) of the series.
void MarkPoints(RasterCache &raster, const PlotSeries &series, std::size_t count, bool dots)
{
    const PlotMapping &mapping = raster.mapping;
    const double xSpan = mapping.x.maximum - mapping.x.minimum;
    const double ySpan = mapping.y.maximum - mapping.y.minimum;
    const double right = mapping.width - 1;
    const double bottom = mapping.height - 1;
    Marker marker(raster);
    for (std::size_t i = raster.done; i < count; ++i) {
        const double x = series.X(i);
        const double y = series.Y(i);
        if (!std::isfinite(x) || !std::isfinite(y))
            continue;
        const long px = std::lround((x - mapping.x.minimum) / xSpan * right);
        const long py = static_cast<long>(bottom) - std::lround((y - mapping.y.minimum) / ySpan * bottom);
        if (std::labs(px) > kLargestCoordinate || std::labs(py) > kLargestCoordinate)
            continue;
        if (raster.style != VAL_SCATTER && raster.hasPrevious)
            marker.Line(raster.previousX, raster.previousY, px, py);
        if (dots)
            marker.Dot(px, py);
        raster.hasPrevious = true;
        raster.previousX = px;
        raster.previousY = py;
    }
    raster.done = std::max(raster.done, count);
}

void Restart(RasterCache &raster, const PlotMapping &mapping, int style)
{
    raster.mapping = mapping;
    raster.style = style;
    raster.done = 0;
    raster.hasPrevious = false;
    raster.cells.assign(static_cast<std::size_t>(mapping.width) * mapping.height, 0);
}

// The pixels of a plot: from its series' raster, brought up to date, where that raster can serve.
const std::vector<std::uint8_t> &PlotCells(const Plot &plot, const PlotMapping &mapping, RasterCache &scratch)
{
    const PlotSeries &series = *plot.series;
    // A line of one point shows as a dot; once it has two it is a line without dots.
    const bool lonePoint = plot.count == 1 && !Covers(plot.style, false);
    RasterCache &cached = series.Raster();
    const bool usable = !lonePoint && cached.mapping == mapping && cached.style == plot.style;
    if (usable && cached.done <= plot.count) {
        MarkPoints(cached, series, plot.count, Covers(plot.style, false));
        return cached.cells;
    }
    // An older, shorter plot of a series that has moved on is drawn on its own.
    RasterCache &raster = usable || lonePoint ? scratch : cached;
    Restart(raster, mapping, plot.style);
    MarkPoints(raster, series, plot.count, Covers(plot.style, lonePoint));
    return raster.cells;
}

} // namespace

AxisScale RoundScale(const Extent &extent)
{
    if (extent.empty)
        return AxisScale{0.0, 1.0};
    double minimum = extent.minimum;
    double maximum = extent.maximum;
    if (maximum == minimum) {
        minimum -= 1.0;
        maximum += 1.0;
    }
    const double step = RoundStep((maximum - minimum) / 5.0);
    AxisScale scale{std::floor(minimum / step) * step, std::ceil(maximum / step) * step};
    if (!(scale.maximum > scale.minimum) || !std::isfinite(scale.minimum) || !std::isfinite(scale.maximum))
        return AxisScale{minimum, maximum};
    return scale;
}

PlotMapping MapPlots(const std::vector<Plot> &plots, int width, int height)
{
    Extent x;
    Extent y;
    for (const Plot &plot : plots) {
        x.Include(plot.series->XExtent(plot.count));
        y.Include(plot.series->YExtent(plot.count));
    }
    return PlotMapping{RoundScale(x), RoundScale(y), width, height};
}

std::vector<std::uint32_t> RenderPlots(const std::vector<Plot> &plots, const PlotMapping &mapping,
                                       std::uint32_t frameColour)
{
    const int width = mapping.width;
    const int height = mapping.height;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height, kWhite);
    for (int x = 0; x < width; ++x) {
        pixels[x] = frameColour;
        pixels[static_cast<std::size_t>(height - 1) * width + x] = frameColour;
    }
    for (int y = 0; y < height; ++y) {
        pixels[static_cast<std::size_t>(y) * width] = frameColour;
        pixels[static_cast<std::size_t>(y) * width + width - 1] = frameColour;
    }
    std::vector<const Plot *> order;
    for (const Plot &plot : plots)
        order.push_back(&plot);
    std::stable_sort(order.begin(), order.end(), [](const Plot *a, const Plot *b) { return a->layer < b->layer; });
    RasterCache scratch;
    for (const Plot *plot : order) {
        if (plot->count == 0)
            continue;
        const std::vector<std::uint8_t> &cells = PlotCells(*plot, mapping, scratch);
        const std::uint32_t colour = static_cast<std::uint32_t>(plot->color) & 0xFFFFFF;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            if (cells[i])
                pixels[i] = colour;
        }
    }
    return pixels;
}

} // namespace cvi
