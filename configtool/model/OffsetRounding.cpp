#include "OffsetRounding.h"

#include <cmath>

namespace calvista {
namespace {

constexpr double kHalfStepTolerance = 1e-15;
constexpr double kLargestMagnitude = 127.0;  // steps a sign-and-magnitude byte can hold

} // namespace

std::int16_t Sgn(double x)
{
    if (x > 0)
        return 1;
    if (x < 0)
        return -1;
    return 0;
}

double RoundToStep(double value, double step)
{
    if (!std::isfinite(value) || !std::isfinite(step) || step <= 0)
        return value;
    double whole = 0;
    const double fraction = std::modf(value / step, &whole);
    if (std::fabs(fraction) + kHalfStepTolerance < 0.5)
        return step * whole;
    return step * (whole + Sgn(fraction));
}

double OffsetByteToValue(std::uint8_t b)
{
    if (b >= 128)
        return (b - 128) / 128.0;
    return -b / 128.0;
}

std::uint8_t OffsetValueToByte(double x)
{
    if (std::isnan(x))
        return 0;
    const double magnitude = std::fmin(std::trunc(std::fabs(x / kOffsetStep)), kLargestMagnitude);
    const auto steps = static_cast<std::uint8_t>(magnitude);
    return x > 0 ? static_cast<std::uint8_t>(steps + 128) : steps;
}

} // namespace calvista
