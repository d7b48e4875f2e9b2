// One frame record of the USB adapter's stream, taken apart: frame number,
// master status and the value of each channel, with the CRCs the master could
// not check checked here.
//
// Record: 0-3 header, 4-7 frame number (most significant byte first), 8 not
// used, 9 master status, 10-11 instruction pair, 12 + 2i address and 13 + 2i
// value of SCD byte i (channel by channel, least significant byte first).
#pragma once

#include <array>
#include <cstdint>

#include "BitValue.h"
#include "ScdStreamLayout.h"

namespace ferrolink {

struct StreamedFrame {
    uint32_t number = 0;
    uint8_t status = 0;
    // Right-aligned data bits without CRC; the partner slot of a long channel stays 0.
    std::array<BitValueClass, ScdStreamLayout::kChannels> values{};
    bool crcGood = true;

    static constexpr uint32_t kStatusOffset = 9;
    static constexpr uint8_t kStatusStreaming = 0x80;  // automatic frames running
    static constexpr uint8_t kStatusAnswered = 0x40;
    static constexpr uint8_t kStatusNoErrors = 0x78;   // bits 3 to 6

    static StreamedFrame Decode(const ScdStreamLayout &layout, const uint8_t *record);
};

} // namespace ferrolink
