// What the encoder's supply reports when the encoder looks at it: 0 while it
// delivers nothing, else the number of the uninterrupted stretch of delivery
// it is in. A stretch that ended, however briefly, never goes on under its old
// number, so an outage between two looks still reaches the encoder as a power
// cycle.
#pragma once

#include <cstdint>
#include <functional>

namespace sim::kelto {

using PowerSupply = std::function<uint32_t()>;

} // namespace sim::kelto
