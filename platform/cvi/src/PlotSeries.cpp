#include "PlotSeries.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ValueRules.h"
#include "cvi/UserInterface.h"

namespace cvi {

namespace {

std::size_t ElementSize(int dataType)
{
    switch (dataType) {
    case VAL_CHAR:
    case VAL_UNSIGNED_CHAR: return 1;
    case VAL_SHORT_INTEGER:
    case VAL_UNSIGNED_SHORT_INTEGER: return 2;
    case VAL_INTEGER:
    case VAL_UNSIGNED_INTEGER:
    case VAL_FLOAT: return 4;
    default: return 8;
    }
}

bool SameBytes(const std::vector<unsigned char> &stored, const void *array, std::size_t bytes)
{
    return bytes == 0 || std::memcmp(stored.data(), array, bytes) == 0;
}

} // namespace

void Extent::Include(double value)
{
    if (!std::isfinite(value))
        return;
    if (empty) {
        minimum = maximum = value;
        empty = false;
        return;
    }
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
}

void Extent::Include(const Extent &other)
{
    if (other.empty)
        return;
    Include(other.minimum);
    Include(other.maximum);
}

PlotSeries::PlotSeries(bool hasX, int xType, int yType) : hasX_(hasX), xType_(xType), yType_(yType) {}

bool PlotSeries::Serves(const PlotSource &source) const
{
    if ((source.x != nullptr) != hasX_ || source.yType != yType_ || (hasX_ && source.xType != xType_))
        return false;
    const std::size_t shared = std::min(size_, source.count);
    if (!SameBytes(rawY_, source.y, shared * ElementSize(yType_)))
        return false;
    return !hasX_ || SameBytes(rawX_, source.x, shared * ElementSize(xType_));
}

void PlotSeries::Extend(const PlotSource &source)
{
    if (source.count <= size_)
        return;
    const auto append = [&](std::vector<unsigned char> &raw, const void *array, int type) {
        const std::size_t element = ElementSize(type);
        const auto *bytes = static_cast<const unsigned char *>(array);
        raw.insert(raw.end(), bytes + size_ * element, bytes + source.count * element);
    };
    append(rawY_, source.y, yType_);
    if (hasX_)
        append(rawX_, source.x, xType_);
    const std::size_t previous = size_;
    size_ = source.count;
    for (std::size_t end = (previous / kBlock + 1) * kBlock; end <= size_; end += kBlock) {
        Extent x = xBlocks_.empty() ? Extent{} : xBlocks_.back();
        Extent y = yBlocks_.empty() ? Extent{} : yBlocks_.back();
        for (std::size_t i = end - kBlock; i < end; ++i) {
            x.Include(X(i));
            y.Include(Y(i));
        }
        xBlocks_.push_back(x);
        yBlocks_.push_back(y);
    }
}

double PlotSeries::X(std::size_t index) const
{
    return hasX_ ? ReadArrayElement(rawX_.data(), xType_, static_cast<int>(index)) : static_cast<double>(index);
}

double PlotSeries::Y(std::size_t index) const
{
    return ReadArrayElement(rawY_.data(), yType_, static_cast<int>(index));
}

Extent PlotSeries::Extremes(std::size_t count, bool ofX) const
{
    count = std::min(count, size_);
    const std::size_t blocks = count / kBlock;
    Extent extent;
    if (blocks > 0)
        extent = (ofX ? xBlocks_ : yBlocks_)[blocks - 1];
    for (std::size_t i = blocks * kBlock; i < count; ++i)
        extent.Include(ofX ? X(i) : Y(i));
    return extent;
}

Extent PlotSeries::XExtent(std::size_t count) const
{
    if (!hasX_) {
        Extent extent;
        if (count > 0) {
            extent.Include(0.0);
            extent.Include(static_cast<double>(count - 1));
        }
        return extent;
    }
    return Extremes(count, true);
}

Extent PlotSeries::YExtent(std::size_t count) const
{
    return Extremes(count, false);
}

std::shared_ptr<PlotSeries> SeriesForPlot(const std::vector<std::shared_ptr<PlotSeries>> &candidates,
                                          const PlotSource &source)
{
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (*it && (*it)->Serves(source)) {
            (*it)->Extend(source);
            return *it;
        }
    }
    auto series = std::make_shared<PlotSeries>(source.x != nullptr, source.xType, source.yType);
    series->Extend(source);
    return series;
}

} // namespace cvi
