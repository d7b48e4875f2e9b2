// The factory settings a type code stands for, used when the encoder holds no valid factory copy
// of its configuration.
//
// The type code is split into tokens at "-" (a run of "-" is one separator); it needs at least six.
// Counting from 0, the first four characters of token 3 give protocol, SSI layout and resolution
// (its second character means nothing here); when token 4 is exactly "M5EQ", the first character of
// token 5 gives the minimum edge time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace calvista {

// Values of the system page's rings.
struct FactorySettings {
    std::int32_t protocol = 0;    // COMM_PROTOCOL: 0 BiSS, 1 SSI
    std::int32_t ssiLength = 0;   // SSI_LENGTH: 0-3 for 24, 25, 26, 32 bits
    std::int32_t ssiCoding = 0;   // SSI_CODING: 0 binary, 1 Gray
    std::int32_t ssiEdge = 0;     // SSI_VALUE: 0 rising, 1 falling
    std::int32_t resolution = 0;  // VANTREL_RES: 0-4
    std::optional<std::int32_t> edgeTime;  // EDGETIME 0-8; none leaves the edge time as it is

    bool operator==(const FactorySettings &) const = default;
};

// None when there are too few tokens or a character in a used position means nothing.
std::optional<FactorySettings> FactorySettingsFromTypeCode(std::string_view typeCode);

} // namespace calvista
