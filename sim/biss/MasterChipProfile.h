// The master chips the simulation can stand in for, told apart by their chip
// id (0xEB) and revision (0xEA).
#pragma once

#include <cstdint>

namespace sim::biss {

struct MasterChipProfile {
    uint8_t chipId = 0;
    uint8_t revision = 0;
    // Chips with id bit 7 set show this in 0xEA until a 0 is written there.
    uint8_t revisionBeforeClear = 0;
    unsigned channels = 0;
    // Older channel layout: protocol in bit 7 of 0xC0 (SSI) and 0xC2 (BiSS), no 0xEC-0xEE.
    bool legacyLayout = false;
    // The received control bit shows in 0xF8 bit 1 as well as in 0xF3 bit 6.
    bool controlBitInLineRegister = false;

    static MasterChipProfile Chip52Rev4();   // 8 channels
    static MasterChipProfile Chip83Legacy(); // 3 channels, legacy layout
    static MasterChipProfile Chip84();       // 8 channels
    static MasterChipProfile Chip48Rev3();   // 6 channels
    static MasterChipProfile Chip48Rev2();
};

} // namespace sim::biss
