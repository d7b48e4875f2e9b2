#include "StreamedFrame.h"

#include "BissMaster.h"

namespace ferrolink {
namespace {

constexpr uint32_t kNumberOffset = 4;
constexpr uint32_t kFirstValueOffset = 13;

// count SCD bytes from position first, least significant first, cut to bits.
BitValueClass Assemble(const uint8_t *record, uint32_t first, uint32_t count, uint32_t bits)
{
    uint64_t value = 0;
    for (uint32_t j = 0; j < count && j < 8; ++j)
        value |= uint64_t{record[kFirstValueOffset + 2 * (first + j)]} << (8 * j);
    if (bits == 0)
        return BitValueClass();
    const BitValueClass whole(static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
    return bits >= 64 ? whole : whole.Bits(static_cast<int>(bits) - 1, static_cast<int>(bits));
}

uint64_t Combined(const BitValueClass &value)
{
    return (uint64_t{value.GetHigh()} << 32) | value.GetLow();
}

// The bit-serial CRC over the data bits against the complement of the one received.
bool CrcMatches(const ScdStreamLayout::Channel &channel, const BitValueClass &data, uint32_t received)
{
    const uint32_t width = channel.crcBits;
    const uint32_t dataBits = channel.length > width ? channel.length - width : 0;
    const uint32_t allOnes = width >= 32 ? UINT32_MAX : (1u << width) - 1;
    const std::string crc = BissMasterClass::CrcOfBitText(BissMasterClass::BitsToText(Combined(data), dataBits),
                                                          BissMasterClass::BitsToText(channel.polynomial, width + 1),
                                                          BissMasterClass::BitsToText(channel.crcStart, width));
    return crc == BissMasterClass::BitsToText(~received & allOnes, width);
}

} // namespace

StreamedFrame StreamedFrame::Decode(const ScdStreamLayout &layout, const uint8_t *record)
{
    StreamedFrame frame;
    frame.number = (uint32_t{record[kNumberOffset]} << 24) | (uint32_t{record[kNumberOffset + 1]} << 16) |
                   (uint32_t{record[kNumberOffset + 2]} << 8) | record[kNumberOffset + 3];
    frame.status = record[kStatusOffset];

    for (uint32_t c = 0; c < ScdStreamLayout::kChannels; ++c) {
        if (static_cast<int32_t>(c) == layout.partnerSlot)
            continue;  // the long channel's CRC bits, not a channel of its own
        const ScdStreamLayout::Channel &channel = layout.channels[c];
        BitValueClass value = Assemble(record, channel.firstByte, channel.bytes, channel.dataBits);
        if (channel.checkedHere) {
            uint32_t received;
            if (static_cast<int32_t>(c) == layout.longChannel) {
                const ScdStreamLayout::Channel &partner = layout.channels[layout.partnerSlot];
                received = Assemble(record, partner.firstByte, partner.bytes, partner.dataBits)
                               .GetBitsLow(static_cast<int>(channel.crcBits) - 1, static_cast<int>(channel.crcBits));
            } else {
                received = value.GetBitsLow(static_cast<int>(channel.crcBits) - 1, static_cast<int>(channel.crcBits));
                value.ShiftRight(static_cast<int>(channel.crcBits));
            }
            if (!CrcMatches(channel, value, received))
                frame.crcGood = false;
        }
        frame.values[c] = value;
    }
    return frame;
}

} // namespace ferrolink
