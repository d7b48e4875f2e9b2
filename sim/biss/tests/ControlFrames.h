// The control-channel bit sequences a master sends, frame by frame as the
// software sequencer runs them (instruction 2 = master bit 1, 4 and 6
// = master bit 0), for driving a simulated slave or line frame by frame.
#pragma once

#include "BissCrc.h"

#include <cstdint>
#include <vector>

namespace sim::biss::testing {

// Frames 0-15 of a register access: S, CTS, 3 id bits, 7 address bits, inverted CRC.
inline std::vector<bool> RequestBits(uint8_t slave, uint8_t address)
{
    std::vector<bool> bits = {true, true};
    for (int i = 2; i >= 0; --i)
        bits.push_back((slave >> i) & 1);
    for (int i = 6; i >= 0; --i)
        bits.push_back((address >> i) & 1);
    const uint32_t request = (1u << 10) | ((slave & 7u) << 7) | (address & 0x7Fu);
    const uint32_t crc = ControlCrc(request, 11);
    for (int i = 3; i >= 0; --i)
        bits.push_back(((crc >> i) & 1) == 0);
    return bits;
}

// Data bits MSB first then the inverted control CRC: what a slave sends in a
// read and what the master sends in a write.
inline std::vector<bool> DataBits(uint8_t value)
{
    std::vector<bool> bits;
    for (int i = 7; i >= 0; --i)
        bits.push_back((value >> i) & 1);
    const uint32_t crc = ControlCrc(value, 8);
    for (int i = 3; i >= 0; --i)
        bits.push_back(((crc >> i) & 1) == 0);
    return bits;
}

} // namespace sim::biss::testing
