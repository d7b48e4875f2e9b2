// The points of graph plots. A program that plots a growing record again every tick hands over
// the same leading points each time; plots of one graph whose points begin alike share one
// series, so a new plot costs its new points and a comparison, not a copy of the whole record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "PlotRaster.h"

namespace cvi {

// The arrays a program plots: x null for a plot against the point's index.
struct PlotSource {
    const void *x = nullptr;
    const void *y = nullptr;
    std::size_t count = 0;
    int xType = 0;
    int yType = 0;
};

// The smallest and largest finite values of some points; empty when there are none.
struct Extent {
    double minimum = 0.0;
    double maximum = 0.0;
    bool empty = true;

    void Include(double value);
    void Include(const Extent &other);
};

class PlotSeries {
public:
    PlotSeries(bool hasX, int xType, int yType);

    // Whether this series' points, as far as the source has points, are the source's first ones.
    bool Serves(const PlotSource &source) const;
    // Adds the source's points beyond this series' end.
    void Extend(const PlotSource &source);

    std::size_t Size() const { return size_; }
    double X(std::size_t index) const;
    double Y(std::size_t index) const;
    // Extremes of the first count points, found in time independent of count.
    Extent XExtent(std::size_t count) const;
    Extent YExtent(std::size_t count) const;

    // What the plot area last showed of these points; the painter keeps it up to date.
    RasterCache &Raster() const { return raster_; }

private:
    static constexpr std::size_t kBlock = 256;

    Extent Extremes(std::size_t count, bool ofX) const;

    bool hasX_;
    int xType_;
    int yType_;
    std::size_t size_ = 0;
    std::vector<unsigned char> rawX_;
    std::vector<unsigned char> rawY_;
    // Extremes of the points before the end of each whole block.
    std::vector<Extent> xBlocks_;
    std::vector<Extent> yBlocks_;
    mutable RasterCache raster_;
};

// The series a new plot of a graph uses: one of the graph's plots' that begins with the source's
// points (extended by the rest), or a new one.
std::shared_ptr<PlotSeries> SeriesForPlot(const std::vector<std::shared_ptr<PlotSeries>> &candidates,
                                          const PlotSource &source);

} // namespace cvi
