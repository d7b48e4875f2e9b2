// Bit-serial CRCs as BiSS devices compute them: data most significant bit
// first, a shift register as wide as the polynomial's degree, no final
// inversion (the sender puts the complement on the line).
#pragma once

#include <cstdint>

namespace sim::biss {

// Degree of a polynomial given with its top bit (0x43 -> 6); 0 for no polynomial.
unsigned CrcWidth(uint32_t polynomial);

// CRC of the low `bitCount` bits of `data`, taken from bit bitCount-1 down to 0.
uint32_t ComputeCrc(uint64_t data, unsigned bitCount, uint32_t polynomial, uint32_t start);

// The 4-bit CRC of the control channel: x^4 + x + 1, start value 0.
inline constexpr uint32_t kControlCrcPolynomial = 0x13;
uint32_t ControlCrc(uint32_t bits, unsigned bitCount);

} // namespace sim::biss
