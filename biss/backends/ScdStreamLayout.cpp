#include "ScdStreamLayout.h"

#include <algorithm>

namespace ferrolink {

ScdStreamLayout ScdStreamLayout::Compute(const BissParamClass &params, int32_t splitSlot, uint32_t splitCrcLength)
{
    ScdStreamLayout layout;
    // A channel longer than 64 bits hands its CRC bits to the slot after it.
    if (splitSlot >= 1 && splitSlot < static_cast<int32_t>(kChannels)) {
        layout.partnerSlot = splitSlot;
        layout.longChannel = splitSlot - 1;
    }
    uint32_t position = 0;
    for (uint32_t c = 0; c < kChannels; ++c) {
        Channel &channel = layout.channels[c];
        channel.polynomial = params.Frame(c, eBISS_FP_CRC_POLY);
        channel.crcStart = params.Frame(c, eBISS_FP_CRC_START);
        channel.crcBits = CrcLength(channel.polynomial);
        const bool partner = static_cast<int32_t>(c) == layout.partnerSlot;
        const bool longOne = static_cast<int32_t>(c) == layout.longChannel;
        channel.length = partner ? splitCrcLength : params.Frame(c, eBISS_FP_SCD_LENGTH);
        // The master keeps the CRC bits it checks itself; a CRC it cannot check
        // comes with the data (or, for the long channel, in the partner slot).
        channel.checkedHere = !partner && channel.crcBits != 0 && (channel.crcStart != 0 || channel.crcBits >= 8);
        const uint32_t withoutCrc = channel.length > channel.crcBits ? channel.length - channel.crcBits : 0;
        if (partner)
            channel.dataBits = channel.length;
        else if (longOne || !channel.checkedHere)
            channel.dataBits = withoutCrc;
        else
            channel.dataBits = channel.length;
        channel.bytes = channel.length == 0 ? 0 : std::min(channel.dataBits / 8 + 1, kMaxChannelBytes);
        channel.firstByte = position;
        position += channel.bytes;
    }
    layout.scdBytes = position;
    layout.recordSize = 2 * position + kRecordOverhead;
    layout.recordsPerPacket = kPacketSize / layout.recordSize;
    return layout;
}

bool ScdStreamLayout::PlanBuffers(uint32_t frameCount, uint32_t *packets, uint32_t *blockSize) const
{
    const uint64_t count = uint64_t{frameCount} / recordsPerPacket + 2;
    const uint64_t bytes = count * kBufferReserve;
    if (bytes > UINT32_MAX)
        return false;
    *packets = static_cast<uint32_t>(count);
    *blockSize = static_cast<uint32_t>(bytes);
    return true;
}

} // namespace ferrolink
