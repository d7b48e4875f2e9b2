// Whether the encoder's last single-cycle data reports good data, read from the bit that the
// frame layout (frame length and SSI frame type) gives its status.
#pragma once

#include <cstdint>

namespace calvista {

enum class ScdDataStatus { Good, Bad, Unknown };

// low and high: the low and high 32-bit words of channel 0. Frame lengths other than 24, 25, 26,
// 32, 40 and 54, and SSI frame types above 3 on an SSI length, give Unknown.
ScdDataStatus EvaluateScdData(std::uint16_t frameLength, std::uint8_t ssiFrameType, std::uint32_t low,
                              std::uint32_t high);

} // namespace calvista
