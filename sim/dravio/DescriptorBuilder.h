// Builds the standard USB descriptors a simulated device answers with.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace dravio::sim {

struct DeviceDescriptorFields {
    uint16_t usbVersion = 0x0200;
    uint8_t deviceClass = 0xFF;
    uint8_t deviceSubClass = 0;
    uint8_t deviceProtocol = 0;
    uint8_t maxPacketSize0 = 64;
    uint16_t vendorId = 0x5A17;
    uint16_t productId = 0x0B15;
    uint16_t deviceVersion = 0x0100;
    uint8_t manufacturerIndex = 1;
    uint8_t productIndex = 2;
    uint8_t serialNumberIndex = 3;
    uint8_t configurationCount = 1;
};

inline std::vector<uint8_t> BuildDeviceDescriptor(const DeviceDescriptorFields &f)
{
    return {18, 1,
            uint8_t(f.usbVersion), uint8_t(f.usbVersion >> 8),
            f.deviceClass, f.deviceSubClass, f.deviceProtocol, f.maxPacketSize0,
            uint8_t(f.vendorId), uint8_t(f.vendorId >> 8),
            uint8_t(f.productId), uint8_t(f.productId >> 8),
            uint8_t(f.deviceVersion), uint8_t(f.deviceVersion >> 8),
            f.manufacturerIndex, f.productIndex, f.serialNumberIndex, f.configurationCount};
}

// A string descriptor: length, type 3, then the UTF-16 text without terminator.
inline std::vector<uint8_t> BuildStringDescriptor(std::u16string_view text)
{
    std::vector<uint8_t> bytes{uint8_t(2 + 2 * text.size()), 3};
    for (char16_t c : text) {
        bytes.push_back(uint8_t(c));
        bytes.push_back(uint8_t(c >> 8));
    }
    return bytes;
}

// Collects interfaces and endpoints in order and writes one configuration
// descriptor with its total length and interface count filled in.
class ConfigurationBuilder {
public:
    explicit ConfigurationBuilder(uint8_t configurationValue = 1, uint8_t attributes = 0x80, uint8_t maxPower = 50)
        : bytes_{9, 2, 0, 0, 0, configurationValue, 0, attributes, maxPower}
    {
    }

    ConfigurationBuilder &Interface(uint8_t number, uint8_t alternateSetting, uint8_t interfaceClass = 0xFF)
    {
        if (alternateSetting == 0)
            ++interfaceCount_;
        endpointCountAt_ = bytes_.size() + 4;
        Append({9, 4, number, alternateSetting, 0, interfaceClass, 0, 0, 0});
        return *this;
    }

    // type: 1 isochronous, 2 bulk, 3 interrupt
    ConfigurationBuilder &Endpoint(uint8_t address, uint8_t type, uint16_t maxPacketSize, uint8_t interval = 0)
    {
        Append({7, 5, address, type, uint8_t(maxPacketSize), uint8_t(maxPacketSize >> 8), interval});
        if (endpointCountAt_ != 0)
            ++bytes_[endpointCountAt_];
        return *this;
    }

    std::vector<uint8_t> Build() const
    {
        std::vector<uint8_t> result = bytes_;
        result[2] = uint8_t(result.size());
        result[3] = uint8_t(result.size() >> 8);
        result[4] = interfaceCount_;
        return result;
    }

private:
    void Append(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes)
            bytes_.push_back(b);
    }

    std::vector<uint8_t> bytes_;
    uint8_t interfaceCount_ = 0;
    size_t endpointCountAt_ = 0;
};

} // namespace dravio::sim
