// The pseudo-random code on a rotary ring's poles: an n-bit shift register
// (6 to 15 bits) whose maximal cycle is shortened to exactly one state per
// pole by one inverted feedback step. The encoder accepts a ring
// configuration only when its length and start value are the ones that
// produce the ring's code.
#pragma once

#include <cstdint>
#include <optional>

namespace sim::kelto {

// The smallest length n >= 6 with poles <= 2^n - 2, after rounding the
// poles down to an even count; 0 above 32766 poles.
unsigned CodeLength(unsigned poles);

// How firmware before the numeric code length stores a length.
uint8_t LegacyCodeLengthCode(unsigned length);

// The start value (n bits) that gives a cycle of `count` states; none when
// the length is outside 6-15 or no start value gives that cycle.
std::optional<uint32_t> CodeStartValue(unsigned length, unsigned count);

} // namespace sim::kelto
