// A USB configuration descriptor taken apart into the interfaces, alternate
// settings and endpoints the simulated driver builds its pipes from.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace dravio::sim {

struct EndpointDescription {
    uint8_t address;
    uint8_t type;            // USB transfer type: 0 control, 1 isochronous, 2 bulk, 3 interrupt
    uint16_t maxPacketSize;
    uint8_t interval;
};

struct InterfaceDescription {
    uint8_t number;
    uint8_t alternateSetting;
    std::vector<EndpointDescription> endpoints;
};

struct ConfigurationDescription {
    uint8_t value;
    std::vector<InterfaceDescription> interfaces;
    std::vector<uint8_t> bytes;

    const InterfaceDescription *Find(uint8_t number, uint8_t alternateSetting) const;
};

// One configuration descriptor of exactly its total length; nullopt when the
// bytes do not form one.
std::optional<ConfigurationDescription> ParseConfiguration(std::span<const uint8_t> bytes);

// Configuration descriptors laid end to end.
std::optional<std::vector<ConfigurationDescription>> ParseConfigurations(std::span<const uint8_t> bytes);

} // namespace dravio::sim
