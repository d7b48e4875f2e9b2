#include "ScdDecoding.h"

namespace calvista {

namespace {

constexpr std::int32_t kBiss = 0;
constexpr std::int32_t kSsi = 2;
constexpr double kVefScale = 6.66;  // the raw 8-bit VEF over the 0-38 scale the display uses

// D[first..first+width-1] of the 64-bit word high:low.
std::uint64_t Bits(std::uint64_t word, unsigned first, unsigned width)
{
    const std::uint64_t mask = width >= 64 ? ~0ULL : (1ULL << width) - 1;
    return (word >> first) & mask;
}

// The raw field compared with the largest positive value of its width; the sign bits are set
// only when the raw value exceeds it. Gray conversion comes after the comparison.
std::int32_t Position(std::uint32_t raw, unsigned width, bool grayCode)
{
    const auto max = static_cast<std::int32_t>((1U << (width - 1)) - 1);
    const auto field = static_cast<std::int32_t>(raw);
    const std::int32_t value = grayCode ? GrayToBinary(field) : field;
    if (field <= max)
        return value;
    const std::uint32_t signBits = width >= 32 ? 0 : ~((1U << width) - 1);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) | signBits);
}

std::uint8_t ScaledVef(std::uint64_t raw)
{
    return static_cast<std::uint8_t>(static_cast<double>(raw) / kVefScale);
}

ScdReading DecodeBiss(const ScdLayout &layout, std::uint64_t d)
{
    ScdReading r;
    switch (layout.frameLength) {
    case 54:
        r.layoutKnown = true;
        r.crc = static_cast<std::uint32_t>(Bits(d, 14, 6));
        r.error = Bits(d, 21, 1) == 0;
        r.vef = static_cast<std::uint8_t>(Bits(d, 10, 4));
        r.vefLow = static_cast<std::uint8_t>(Bits(d, 6, 4));
        r.sample = *r.vef;
        r.position = Position(static_cast<std::uint32_t>(Bits(d, 22, 32)), 28, layout.grayCode);
        r.vefGraph = true;
        break;
    case 40:
        r.layoutKnown = true;
        r.crc = static_cast<std::uint32_t>(Bits(d, 0, 6));
        r.error = Bits(d, 7, 1) == 0;
        r.vef = 0;
        r.position = Position(static_cast<std::uint32_t>(Bits(d, 8, 32)), 28, layout.grayCode);
        break;
    default:
        break;
    }
    return r;
}

unsigned SsiPositionWidth(std::uint16_t frameLength)
{
    switch (frameLength) {
    case 24:
    case 25:
    case 26:
        return frameLength - 2U;
    case 32:
        return 28;
    default:
        return 0;
    }
}

ScdReading DecodeSsi(const ScdLayout &layout, std::uint64_t d)
{
    ScdReading r;
    r.vefGraph = layout.ssiFrameType >= 1 && layout.ssiFrameType <= 3;
    const unsigned width = SsiPositionWidth(layout.frameLength);
    if (width == 0 || layout.ssiFrameType > 3)
        return r;
    r.layoutKnown = true;
    const unsigned length = layout.frameLength;
    unsigned positionAt = 0;
    switch (layout.ssiFrameType) {
    case 0:
        r.error = Bits(d, length - 1, 1) != 0;
        r.vef = 0;
        break;
    case 1:
        positionAt = 8;
        r.error = Bits(d, length + 7, 1) != 0;
        r.vef = ScaledVef(Bits(d, 0, 8));
        r.sample = *r.vef;
        break;
    case 2:
        positionAt = 16;
        r.errorByte = static_cast<std::uint8_t>(Bits(d, 0, 8));
        r.error = *r.errorByte != 0;
        if (!r.error) {
            r.vef = ScaledVef(Bits(d, 8, 8));
            r.sample = *r.vef;
        }
        break;
    default:
        positionAt = 16;
        r.errorByte = static_cast<std::uint8_t>(Bits(d, 0, 8));
        r.error = *r.errorByte != 0;
        r.vef = static_cast<std::uint8_t>(Bits(d, 12, 4));
        r.vefLow = static_cast<std::uint8_t>(Bits(d, 8, 4));
        r.sample = *r.vef;
        break;
    }
    if (!r.error)
        r.position = Position(static_cast<std::uint32_t>(Bits(d, positionAt, width)), width, layout.grayCode);
    return r;
}

} // namespace

std::int32_t GrayToBinary(std::int32_t value)
{
    if (value < 0)
        return value;
    std::int32_t binary = value;
    for (std::int32_t shifted = value >> 1; shifted > 0; shifted >>= 1)
        binary ^= shifted;
    return binary;
}

std::optional<ScdReading> DecodeScd(const ScdLayout &layout, std::uint32_t high, std::uint32_t low)
{
    const std::uint64_t d = (static_cast<std::uint64_t>(high) << 32) | low;
    switch (layout.protocol) {
    case kBiss:
        return DecodeBiss(layout, d);
    case kSsi:
        return DecodeSsi(layout, d);
    default:
        return std::nullopt;
    }
}

} // namespace calvista
