#include "FactoryDefaultsTable.h"

#include <string_view>
#include <vector>

namespace calvista {
namespace {

constexpr std::size_t kRequiredTokens = 6;
constexpr std::size_t kSettingsToken = 3;
constexpr std::size_t kEdgeTimeMarkerToken = 4;
constexpr std::size_t kEdgeTimeToken = 5;
constexpr std::string_view kEdgeTimeMarker = "M5EQ";

constexpr std::int32_t kProtocolBiss = 0;
constexpr std::int32_t kProtocolSsi = 1;
constexpr std::int32_t kSsiLength32Bits = 3;

// Character 3 of the settings token: four groups of four, one group per SSI length; the place
// within the group gives coding (odd places Gray) and edge (second half falling).
constexpr std::string_view kSsiLayoutGroups[] = {"0123", "6789", "ABCD", "EFGH"};
constexpr std::string_view kResolutions = "CDEFG";
constexpr std::string_view kEdgeTimes = "DEFGHKLNP";

std::vector<std::string_view> Tokens(std::string_view text)
{
    std::vector<std::string_view> tokens;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t start = text.find_first_not_of('-', position);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = text.find('-', start);
        tokens.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        position = end == std::string_view::npos ? text.size() : end;
    }
    return tokens;
}

std::optional<std::int32_t> ProtocolFor(char character)
{
    switch (character) {
    case 'B':
        return kProtocolBiss;
    case 'S':
        return kProtocolSsi;
    default:
        return std::nullopt;
    }
}

bool ApplySsiLayout(char character, FactorySettings &settings)
{
    for (std::size_t group = 0; group < std::size(kSsiLayoutGroups); ++group) {
        const std::size_t place = kSsiLayoutGroups[group].find(character);
        if (place == std::string_view::npos)
            continue;
        settings.ssiLength = static_cast<std::int32_t>(group);
        // The 32-bit layout of the first place belongs to SSI encoders only.
        if (settings.ssiLength == kSsiLength32Bits && place == 0 && settings.protocol != kProtocolSsi)
            settings.ssiLength = 0;
        settings.ssiCoding = static_cast<std::int32_t>(place % 2);
        settings.ssiEdge = static_cast<std::int32_t>(place / 2);
        return true;
    }
    return false;
}

std::optional<std::int32_t> IndexIn(std::string_view characters, char character)
{
    const std::size_t index = characters.find(character);
    if (index == std::string_view::npos)
        return std::nullopt;
    return static_cast<std::int32_t>(index);
}

} // namespace

std::optional<FactorySettings> FactorySettingsFromTypeCode(std::string_view typeCode)
{
    const std::vector<std::string_view> tokens = Tokens(typeCode);
    if (tokens.size() < kRequiredTokens)
        return std::nullopt;
    const std::string_view settingsToken = tokens[kSettingsToken];
    if (settingsToken.size() < 4)
        return std::nullopt;

    FactorySettings settings;
    const auto protocol = ProtocolFor(settingsToken[0]);
    if (!protocol)
        return std::nullopt;
    settings.protocol = *protocol;
    if (!ApplySsiLayout(settingsToken[2], settings))
        return std::nullopt;
    const auto resolution = IndexIn(kResolutions, settingsToken[3]);
    if (!resolution)
        return std::nullopt;
    settings.resolution = *resolution;

    if (tokens[kEdgeTimeMarkerToken] == kEdgeTimeMarker) {
        const auto edgeTime = IndexIn(kEdgeTimes, tokens[kEdgeTimeToken].front());
        if (!edgeTime)
            return std::nullopt;
        settings.edgeTime = *edgeTime;
    }
    return settings;
}

} // namespace calvista
