#include "ConfigurationAreas.h"

#include "InfoFields.h"

namespace calvista {

static_assert(kModificationMarkerAddress == ServiceInfoField(ServiceInfo::CONFIGTOOL_MOD_INDICATOR).address);
static_assert(kMirrorValidAddress == ProdInfoField(ProdInfo::PARAMETER_MIRROR_VALID).address);

std::optional<std::uint8_t> MarkerForState(std::uint8_t marker, ParameterState state)
{
    const bool delivered = (marker & 1) != 0;
    if (state == ParameterState::Modified && delivered)
        return static_cast<std::uint8_t>(marker & ~1U);
    if (state == ParameterState::Delivered && !delivered)
        return static_cast<std::uint8_t>(marker | 1U);
    return std::nullopt;
}

} // namespace calvista
