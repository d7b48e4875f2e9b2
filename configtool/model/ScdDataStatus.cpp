#include "ScdDataStatus.h"

namespace calvista {
namespace {

ScdDataStatus GoodWhen(bool good)
{
    return good ? ScdDataStatus::Good : ScdDataStatus::Bad;
}

bool BitSet(std::uint32_t word, unsigned bit)
{
    return ((word >> bit) & 1u) != 0;
}

// The SSI word of `length` bits; its top bit is the error flag of type 0. Type 1 puts the raw VEF
// byte below it, which moves that flag up by 8; types 2 and 3 report through the error byte in
// bits 0-7.
ScdDataStatus EvaluateSsi(unsigned length, std::uint8_t ssiFrameType, std::uint32_t low, std::uint32_t high)
{
    switch (ssiFrameType) {
    case 0:
        return GoodWhen(!BitSet(low, length - 1));
    case 1: {
        const unsigned bit = length - 1 + 8;
        return GoodWhen(!(bit < 32 ? BitSet(low, bit) : BitSet(high, bit - 32)));
    }
    case 2:
    case 3:
        return GoodWhen((low & 0xFFu) == 0);
    default:
        return ScdDataStatus::Unknown;
    }
}

} // namespace

ScdDataStatus EvaluateScdData(std::uint16_t frameLength, std::uint8_t ssiFrameType, std::uint32_t low,
                              std::uint32_t high)
{
    switch (frameLength) {
    case 24:
    case 25:
    case 26:
    case 32:
        return EvaluateSsi(frameLength, ssiFrameType, low, high);
    case 40:
        return GoodWhen(BitSet(low, 7));
    case 54:
        return GoodWhen(BitSet(low, 21));
    default:
        return ScdDataStatus::Unknown;
    }
}

} // namespace calvista
