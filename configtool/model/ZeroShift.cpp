#include "ZeroShift.h"

#include <cmath>

#include "ParameterTables.h"

namespace calvista {
namespace {

// The shift that leaves the offset as the preset made it.
constexpr std::int32_t kNeutralShift[kResolutionCount] = {10240, 10000, 5000, 2000, 1000};
constexpr std::int32_t kCountDivisor[kResolutionCount] = {0, 1, 2, 5, 10};
constexpr double kFineCountsPerInput = 1.024;  // index 0: 0.976 µm counts

bool Known(int resolutionIndex)
{
    return resolutionIndex >= 0 && resolutionIndex < kResolutionCount;
}

// The x87 unit keeps intermediate results in extended precision; the shift and the sum are
// doubles, and 1.024 x 10000 must come out as the neutral 10240, not a hair above it.
double AsDouble(double value)
{
    volatile double stored = value;
    return stored;
}

// Two's complement wrap of a 64-bit sum into the 32-bit offset.
std::uint32_t Wrap(std::int64_t sum)
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(sum));
}

} // namespace

double ZeroShiftCounts(std::int32_t z, int resolutionIndex)
{
    if (!Known(resolutionIndex))
        return 0.0;
    if (resolutionIndex == 0)
        return AsDouble(kFineCountsPerInput * z);
    return z / kCountDivisor[resolutionIndex];
}

ShiftedOffset ApplyZeroShift(std::uint32_t offset, std::int32_t z, int resolutionIndex)
{
    const double shift = ZeroShiftCounts(z, resolutionIndex);
    if (!Known(resolutionIndex))
        return {offset, false, shift};
    const std::int32_t neutral = kNeutralShift[resolutionIndex];
    if (shift == neutral)
        return {offset, false, shift};
    const auto signedOffset = static_cast<std::int32_t>(offset);
    if (resolutionIndex == 0) {
        // |offset| < 2^31 and |shift| <= 1.024 x 2^31: the sum always fits 64 bits.
        const double sum = AsDouble(signedOffset + AsDouble(neutral - shift));
        return {Wrap(static_cast<std::int64_t>(std::trunc(sum))), true, shift};
    }
    const auto counts = static_cast<std::int64_t>(shift);
    return {Wrap(std::int64_t{signedOffset} + (neutral - counts)), true, shift};
}

std::int32_t TruncatedCounts(double shift)
{
    if (!std::isfinite(shift) || std::fabs(shift) >= 0x1p63)
        return 0;
    return static_cast<std::int32_t>(Wrap(static_cast<std::int64_t>(std::trunc(shift))));
}

int StartsetRowForDegrees(double degrees)
{
    if (!(degrees > 0.0))
        return 0;
    const double row = std::trunc(degrees / kStartsetRowDegrees);
    return row >= kStartsetRows - 1 ? kStartsetRows - 1 : static_cast<int>(row);
}

} // namespace calvista
