// The USB adapter feeds the encoder while the host holds its device open:
// closing the last handle switches the encoder off, opening it again powers
// it up.
#pragma once

#include "sim/dravio/SimController.h"

#include <cstdint>
#include <functional>

namespace sim::kelto {

// For SimKeltoEncoder::SetPowerSupply. The driver must outlive the encoder's use of it.
std::function<bool()> PoweredWhileAdapterOpen(dravio::sim::ISimController &driver, uint32_t deviceNumber);

} // namespace sim::kelto
