#include "ConfigurationDescriptor.h"

namespace dravio::sim {

namespace {
constexpr uint8_t kConfigurationType = 2;
constexpr uint8_t kInterfaceType = 4;
constexpr uint8_t kEndpointType = 5;

uint16_t TotalLength(std::span<const uint8_t> bytes)
{
    return uint16_t(bytes[2] | (bytes[3] << 8));
}
} // namespace

const InterfaceDescription *ConfigurationDescription::Find(uint8_t number, uint8_t alternateSetting) const
{
    for (const InterfaceDescription &i : interfaces)
        if (i.number == number && i.alternateSetting == alternateSetting)
            return &i;
    return nullptr;
}

std::optional<ConfigurationDescription> ParseConfiguration(std::span<const uint8_t> bytes)
{
    if (bytes.size() < 9 || bytes[0] != 9 || bytes[1] != kConfigurationType || TotalLength(bytes) != bytes.size())
        return std::nullopt;

    ConfigurationDescription config{bytes[5], {}, {bytes.begin(), bytes.end()}};
    for (size_t at = 9; at < bytes.size();) {
        const uint8_t length = bytes[at];
        if (length < 2 || at + length > bytes.size())
            return std::nullopt;
        const uint8_t type = bytes[at + 1];
        if (type == kInterfaceType) {
            if (length < 9)
                return std::nullopt;
            config.interfaces.push_back({bytes[at + 2], bytes[at + 3], {}});
        } else if (type == kEndpointType) {
            if (length < 7 || config.interfaces.empty() || (bytes[at + 2] & 0x0F) == 0)
                return std::nullopt;
            const uint16_t packet = uint16_t((bytes[at + 4] | (bytes[at + 5] << 8)) & 0x7FF);
            config.interfaces.back().endpoints.push_back(
                {bytes[at + 2], uint8_t(bytes[at + 3] & 3), packet, bytes[at + 6]});
        }
        at += length;
    }
    return config;
}

std::optional<std::vector<ConfigurationDescription>> ParseConfigurations(std::span<const uint8_t> bytes)
{
    std::vector<ConfigurationDescription> configs;
    while (!bytes.empty()) {
        if (bytes.size() < 4)
            return std::nullopt;
        const uint16_t total = TotalLength(bytes);
        if (total > bytes.size())
            return std::nullopt;
        auto config = ParseConfiguration(bytes.first(total));
        if (!config)
            return std::nullopt;
        configs.push_back(std::move(*config));
        bytes = bytes.subspan(total);
    }
    return configs;
}

} // namespace dravio::sim
