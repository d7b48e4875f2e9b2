// What one single-cycle data word of channel 0 says, read by the layout the encoder is set to:
// BiSS frames of 40 or 54 bits, SSI words of 24, 25, 26 or 32 bits with what the SSI frame type
// appends below them.
#pragma once

#include <cstdint>
#include <optional>

namespace calvista {

struct ScdLayout {
    std::int32_t protocol = 0;       // 0 BiSS, 2 SSI
    std::uint16_t frameLength = 40;  // bits
    std::uint8_t ssiFrameType = 0;   // 0-3
    bool grayCode = false;           // the position field is Gray-coded
};

struct ScdReading {
    bool layoutKnown = false;        // false: only the zero sample is recorded
    std::int32_t position = 0;       // 0 while the frame reports an error in SSI mode
    std::uint32_t crc = 0;           // CRC bits (BiSS), 0 in SSI mode
    bool error = false;
    std::optional<std::uint8_t> vef; // empty: the shown VEF keeps its value
    std::uint8_t vefLow = 0;
    std::uint8_t sample = 0;         // the VEF recorded with the position
    std::optional<std::uint8_t> errorByte;  // empty: the live error bits are shown as 0
    bool vefGraph = false;           // the layout carries a VEF worth plotting
};

// Binary value of a Gray-coded number; a negative value is returned unchanged.
std::int32_t GrayToBinary(std::int32_t value);

// high and low: the SCD words of channel 0. Returns nothing for a protocol other than BiSS or SSI.
std::optional<ScdReading> DecodeScd(const ScdLayout &layout, std::uint32_t high, std::uint32_t low);

} // namespace calvista
