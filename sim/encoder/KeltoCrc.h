// The CRC-8 that closes each interpolator chip block: most significant bit
// first, no reflection, no final inversion.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim::kelto {

// polynomial without its x^8 term (0x127 -> 0x27).
uint8_t Crc8(const uint8_t *bytes, size_t count, uint8_t start, uint8_t polynomial);

// Over the first 15 bytes of the Dorvel block (x^8 + x^5 + x^2 + x + 1, start 0).
uint8_t DorvelBlockCrc(const uint8_t *block);
// Over the first 31 bytes of the Pellin block (x^8 + x^4 + x^3 + x^2 + 1, start 1).
uint8_t PellinBlockCrc(const uint8_t *block);

} // namespace sim::kelto
