// The amplitude values offered for DORVEL_AMPL depend on the amplitude mode DORVEL_SELAMPL.
#pragma once

#include <cstdint>
#include <span>

namespace calvista {

inline constexpr std::int32_t kSelamplSinMinusCos = 0;  // "|SIN|  -   |COS|"
inline constexpr std::int32_t kSelamplSinSquarePlusCosSquare = 1;  // "SIN2 + COS2"

// The labels of AMPL values 0-3 for an amplitude mode; an unknown mode offers none.
std::span<const char *const> AmplitudeListItems(std::int32_t selampl);

} // namespace calvista
