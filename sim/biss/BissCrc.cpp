#include "BissCrc.h"

namespace sim::biss {

unsigned CrcWidth(uint32_t polynomial)
{
    unsigned width = 0;
    while (polynomial > 1) {
        polynomial >>= 1;
        ++width;
    }
    return width;
}

uint32_t ComputeCrc(uint64_t data, unsigned bitCount, uint32_t polynomial, uint32_t start)
{
    const unsigned width = CrcWidth(polynomial);
    if (width == 0)
        return 0;
    const uint32_t mask = width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1;
    const uint32_t taps = polynomial & mask;
    uint32_t reg = start & mask;
    for (unsigned i = bitCount; i-- > 0;) {
        const uint32_t in = static_cast<uint32_t>(data >> i) & 1u;
        const uint32_t feedback = in ^ ((reg >> (width - 1)) & 1u);
        reg = (reg << 1) & mask;
        if (feedback)
            reg ^= taps;
    }
    return reg;
}

uint32_t ControlCrc(uint32_t bits, unsigned bitCount)
{
    return ComputeCrc(bits, bitCount, kControlCrcPolynomial, 0);
}

} // namespace sim::biss
