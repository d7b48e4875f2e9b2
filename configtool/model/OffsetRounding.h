// The sine and cosine offsets of the Dorvel chip: typed as decimal numbers, snapped to the chip's
// offset step, and held in DORVEL_SINOFFS / DORVEL_COSOFFS as a sign-and-magnitude byte.
#pragma once

#include <cstdint>

namespace calvista {

inline constexpr double kOffsetStep = 0.0078125;  // 1/128

// -1, 0 or +1.
std::int16_t Sgn(double x);

// value rounded to a multiple of step: a fraction of half a step or more (less 1e-15) rounds away
// from zero, a smaller one is dropped. A value or step that cannot be rounded (not finite, step
// not above 0) comes back unchanged.
double RoundToStep(double value, double step);

// b of 128 or more: (b - 128) / 128; below 128: -b / 128.
double OffsetByteToValue(std::uint8_t b);

// |x| in whole steps, truncated toward zero and at most 127, plus 128 when x is above 0.
std::uint8_t OffsetValueToByte(double x);

} // namespace calvista
