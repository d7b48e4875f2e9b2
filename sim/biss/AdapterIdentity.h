// What the USB adapter tells the host about itself: its descriptors, its
// serial-number text and whether it runs at high speed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim::biss {

struct AdapterIdentity {
    std::string serialNumber = "BA000001"; // empty: the device has no serial-number string
    bool highSpeed = true;
    uint16_t vendorId = 0x7A5C;
    uint16_t productId = 0x0B15;
    uint16_t deviceRelease = 0x0100;
    std::string manufacturer = "Simulated";
    std::string product = "BiSS USB adapter";
};

namespace descriptor {
constexpr uint8_t kManufacturerIndex = 1;
constexpr uint8_t kProductIndex = 2;
constexpr uint8_t kSerialNumberIndex = 3;
constexpr uint8_t kInterface = 0;
// Alternate setting 0 has 64-byte bulk endpoints; setting 1, present only at
// high speed, 512-byte ones.
constexpr uint8_t kFullSpeedSetting = 0;
constexpr uint8_t kHighSpeedSetting = 1;
} // namespace descriptor

// 18-byte device descriptor; the serial-number index (offset 16) is 0 without a serial number.
std::vector<uint8_t> DeviceDescriptor(const AdapterIdentity &identity);
// String descriptor in UTF-16; index 0 lists the languages. Empty for an unknown index.
// The adapter answers every language with the same text.
std::vector<uint8_t> StringDescriptor(const AdapterIdentity &identity, uint8_t index);
// Configuration 1 with interface 0 and its alternate settings (endpoints 0x81 and 0x02).
std::vector<uint8_t> ConfigurationDescriptor(const AdapterIdentity &identity);
// Largest packet of the bulk endpoints at the adapter's speed.
inline size_t MaxPacketSize(const AdapterIdentity &identity) { return identity.highSpeed ? 512 : 64; }

} // namespace sim::biss
