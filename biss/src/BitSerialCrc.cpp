// CRC over a run of bytes with a caller-given polynomial, one bit at a time.
#include <bit>

#include "BissParams.h"

namespace ferrolink {

int BissParamClass::CalculateCrc(uint32_t polynomial, const BISS_U32 *data, uint32_t count, BISS_U32 *crc)
{
    if (crc == nullptr || (data == nullptr && count != 0))
        return eBISS_INVALID_PARAMETER;
    *crc = 0;
    // The register is at most 15 bits wide; higher bits would be silently lost.
    if (polynomial > 0xFFFF)
        return eBISS_VALUE_RANGE;
    const int width = static_cast<int>(std::bit_width(polynomial)) - 1;
    if (width <= 0)
        return eBISS_NO_ERROR;  // no CRC bits

    const uint32_t mask = (1u << width) - 1;
    // Bit 0 always takes the feedback; the other bits where the polynomial has a 1.
    const uint32_t feedback = (polynomial & mask) | 1;
    uint32_t reg = 0;
    for (uint32_t i = 0; i < count; ++i) {
        for (int bit = 7; bit >= 0; --bit) {
            const uint32_t f = ((reg >> (width - 1)) ^ (data[i] >> bit)) & 1;
            reg = ((reg << 1) & mask) ^ (f != 0 ? feedback : 0);
        }
    }
    *crc = reg;
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
