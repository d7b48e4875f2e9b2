// The operator's zero shift applied to the position offset the encoder took at its preset, and
// the start-set row of a rotary zero shift in degrees.
#pragma once

#include <cstdint>

namespace calvista {

// The shift in encoder counts for the ZERO_SHIFT input z at a resolution index: 1.024 z at index 0,
// z divided by 1, 2, 5 or 10 (integer division) at 1-4, and 0 for any other index.
double ZeroShiftCounts(std::int32_t z, int resolutionIndex);

struct ShiftedOffset {
    std::uint32_t offset;  // the offset to write back
    bool changed;          // false: the shift was the neutral one, nothing to write
    double shift;          // ZeroShiftCounts
};

// The offset moved by (neutral - shift) counts, modulo 2^32. The offset is the encoder's signed
// 32-bit value; at index 0 the sum is formed in double precision and truncated toward zero.
// Another index changes nothing.
ShiftedOffset ApplyZeroShift(std::uint32_t offset, std::int32_t z, int resolutionIndex);

// A shift in whole counts as a 32-bit display shows it: truncated toward zero, modulo 2^32.
std::int32_t TruncatedCounts(double shift);

// The row of the start-set offset table for a shift of so many degrees: trunc(degrees / 11.25),
// kept within the table's 32 rows (below 0 or not a number gives row 0).
int StartsetRowForDegrees(double degrees);

} // namespace calvista
