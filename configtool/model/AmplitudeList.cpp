#include "AmplitudeList.h"

#include <array>

namespace calvista {
namespace {

constexpr std::array<const char *, 4> kSinMinusCosItems{
    "0.60*Vdda", "0.64*Vdda", "0.68*Vdda", "0.72*Vdda",
};

constexpr std::array<const char *, 4> kSinSquarePlusCosSquareItems{
    "0.2<->0.9 *Vdda", "0.3<->0.9 *Vdda", "0.4<->0.9 *Vdda", "0.5<->0.9 *Vdda",
};

} // namespace

std::span<const char *const> AmplitudeListItems(std::int32_t selampl)
{
    switch (selampl) {
    case kSelamplSinMinusCos:
        return kSinMinusCosItems;
    case kSelamplSinSquarePlusCosSquare:
        return kSinSquarePlusCosSquareItems;
    default:
        return {};
    }
}

} // namespace calvista
