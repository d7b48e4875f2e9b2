#include "KeltoCrc.h"

namespace sim::kelto {

uint8_t Crc8(const uint8_t *bytes, size_t count, uint8_t start, uint8_t polynomial)
{
    uint8_t crc = start;
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            const bool feedback = ((crc ^ b) & 0x80) != 0;
            crc = static_cast<uint8_t>(crc << 1);
            if (feedback)
                crc ^= polynomial;
            b = static_cast<uint8_t>(b << 1);
        }
    }
    return crc;
}

uint8_t DorvelBlockCrc(const uint8_t *block) { return Crc8(block, 15, 0x00, 0x27); }

uint8_t PellinBlockCrc(const uint8_t *block) { return Crc8(block, 31, 0x01, 0x1D); }

} // namespace sim::kelto
