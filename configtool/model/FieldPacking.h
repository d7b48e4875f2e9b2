// Conversion between the field tables and the register image, in both directions.
//
// The fields of a block lie end to end in table order, least significant bit first. A system
// field wider than 8 bits is held most significant byte first; the one wide Dorvel field
// (DORVEL_FCTR) least significant byte first.
#pragma once

#include "BlockCrc.h"

#include <cstdint>

namespace calvista {

// Size 2: the low 16 bits with their bytes exchanged; size 4: the four bytes reversed; other
// sizes give 0.
std::uint32_t ChangeByteOrder(std::uint32_t value, std::uint8_t size);

// System fields -> image cells 0x00-0x2F.
void SysRegfieldsToCfgvector();

// Image cells 0x00-0x2F -> system fields (all values cleared first).
void SysCfgvectorToRegfields();

// Dorvel fields -> image cells 0x30-0x3F, then the block's CRC into 0x3F (so 0x3F never holds
// the packed DORVEL_CRC_EP2 value). The report is what the pages show.
[[nodiscard]] CrcReport DorvelRegfieldsToCfgvector();

// Image cells 0x30-0x3F -> Dorvel fields, DORVEL_CRC_EP2 included (all values cleared first).
void DorvelCfgvectorToRegfields();

} // namespace calvista
