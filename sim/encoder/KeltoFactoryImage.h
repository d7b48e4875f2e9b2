// The EEPROM of a Kelto encoder as it leaves the factory: the configuration
// from the model, both chip blocks with their CRC-8, the factory copy in the
// mirror, the identifier, product information, empty service entries, and
// everything else erased (0xFF).
#pragma once

#include "KeltoMemoryMap.h"
#include "KeltoModel.h"

#include <array>
#include <cstdint>

namespace sim::kelto {

using EepromImage = std::array<uint8_t, kEepromSize>;

EepromImage BuildFactoryImage(const KeltoModel &model);

} // namespace sim::kelto
