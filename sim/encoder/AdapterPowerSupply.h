// The USB adapter feeds the encoder while the host holds its device open:
// closing the last handle switches the encoder off, opening it again powers
// it up. Every stretch the device is held open is a supply period of its own,
// so closing and reopening counts even when the encoder saw nothing between.
#pragma once

#include "PowerSupply.h"

#include "sim/dravio/SimController.h"

#include <cstdint>

namespace sim::kelto {

// For SimKeltoEncoder::SetPowerSupply. The driver must outlive the encoder's use of it.
PowerSupply PoweredWhileAdapterOpen(dravio::sim::ISimController &driver, uint32_t deviceNumber);

} // namespace sim::kelto
