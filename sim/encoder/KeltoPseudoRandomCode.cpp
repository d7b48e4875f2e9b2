#include "KeltoPseudoRandomCode.h"

#include <bit>
#include <vector>

namespace sim::kelto {

namespace {

// Feedback taps as bit numbers of the 32-bit state word; the register of n
// bits occupies bits 31 down to 32 - n, bit 31 holding the newest bit.
uint32_t TapMask(unsigned length)
{
    switch (length) {
    case 6: return 1u << 26 | 1u << 27;
    case 7: return 1u << 25 | 1u << 26;
    case 8: return 1u << 24 | 1u << 26 | 1u << 27 | 1u << 28;
    case 9: return 1u << 23 | 1u << 27;
    case 10: return 1u << 22 | 1u << 25;
    case 11: return 1u << 21 | 1u << 23;
    case 12: return 1u << 20 | 1u << 26 | 1u << 28 | 1u << 31;
    case 13: return 1u << 19 | 1u << 28 | 1u << 29 | 1u << 31;
    case 14: return 1u << 18 | 1u << 27 | 1u << 29 | 1u << 31;
    case 15: return 1u << 17 | 1u << 18;
    default: return 0;
    }
}

uint32_t Step(uint32_t state, unsigned length, uint32_t taps, bool inverted)
{
    uint32_t next = (state >> 1) & ~(1u << 31) & ~(1u << (31 - length));
    uint32_t feedback = std::popcount(state & taps) & 1u;
    if (inverted)
        feedback ^= 1u;
    return next | feedback << 31;
}

uint32_t ReverseBits(uint32_t x)
{
    uint32_t reversed = 0;
    for (int i = 0; i < 32; ++i)
        if (x & (1u << i))
            reversed |= 1u << (31 - i);
    return reversed;
}

} // namespace

unsigned CodeLength(unsigned poles)
{
    poles &= ~1u;
    for (unsigned n = 6; n <= 15; ++n)
        if (poles <= (1u << n) - 2)
            return n;
    return 0;
}

uint8_t LegacyCodeLengthCode(unsigned length)
{
    switch (length) {
    case 7: return 8;
    case 8: return 4;
    case 10: return 2;
    case 15: return 1;
    default: return 0;
    }
}

std::optional<uint32_t> CodeStartValue(unsigned length, unsigned count)
{
    const uint32_t taps = TapMask(length);
    if (taps == 0)
        return std::nullopt;
    const unsigned shift = 32 - length;
    if (count == 0)
        return Step(0, length, taps, true) >> shift;

    // Walk the maximal cycle once; the position of every state on it turns
    // the length of each shortened cycle into a subtraction.
    const uint32_t states = (1u << length) - 1;
    if (count > states)
        return std::nullopt;
    std::vector<uint32_t> position(1u << length, 0);
    uint32_t state = 0x80000000u;
    for (uint32_t i = 0; i < states; ++i) {
        position[state >> shift] = i;
        state = Step(state, length, taps, false);
    }

    for (uint32_t k = 1; k <= states; ++k) {
        const uint32_t start = ReverseBits(k);
        const uint32_t jumped = Step(start, length, taps, true);
        const uint32_t from = jumped == 0 ? 0x80000000u : jumped;
        const uint32_t distance = (position[start >> shift] + states - position[from >> shift]) % states;
        if (distance + 1 == count)
            return jumped >> shift;
    }
    return std::nullopt;
}

} // namespace sim::kelto
