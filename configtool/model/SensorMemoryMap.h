// Byte addresses of the encoder memory. The register image uses them unchanged as cell indices.
#pragma once

#include <cstdint>

namespace calvista {

inline constexpr std::uint16_t kEepromSize = 2048;  // EEPROM addresses 0-2047
inline constexpr std::uint16_t kRamSize = 128;      // RAM addresses 0-127, laid out like the EEPROM start

inline constexpr std::uint16_t kSystemBlockAddress = 0x00;  // 81 system fields
inline constexpr std::uint16_t kSystemBlockSize = 0x30;
inline constexpr std::uint16_t kDorvelBlockAddress = 0x30;  // 39 chip fields, CRC-8 in the last byte
inline constexpr std::uint16_t kDorvelBlockSize = 0x10;
inline constexpr std::uint16_t kDorvelCrcAddress = 0x3F;
inline constexpr std::uint16_t kPellinBlockAddress = 0x40;  // chip bytes without fields, CRC-8 last
inline constexpr std::uint16_t kPellinBlockSize = 0x20;
inline constexpr std::uint16_t kPellinCrcAddress = 0x5F;

// The rotary ring parameters: code length, pole count and the code's start value.
inline constexpr std::uint16_t kRingParameterAddress = 0x00;
inline constexpr std::uint16_t kRingParameterSize = 5;

// 0x60-0xBF hold the factory copy of 0x00-0x5F.
inline constexpr std::uint16_t kMirrorAddress = 0x60;
inline constexpr std::uint16_t kMirrorSize = kSystemBlockSize + kDorvelBlockSize + kPellinBlockSize;
// The factory copy of the chip block's second byte: reading it refreshes the chip block's image.
inline constexpr std::uint16_t kDorvelSecondMirrorByte = kMirrorAddress + kDorvelBlockAddress + 1;

inline constexpr std::uint16_t kDeviceIdAddress = 0xC4;  // 8 characters
inline constexpr std::uint16_t kDeviceIdLength = 8;
inline constexpr std::uint16_t kProductInfoAddress = 0xD0;   // 0xD0-0x1D8, ProdInfoTable
inline constexpr std::uint16_t kServiceInfoAddress = 0x1D9;  // 0x1D9-0x293, ServiceInfoTable

// Image cell for a byte read from the encoder: a mirror byte lands on the cell of the byte it
// copies, so reading a mirror block overlays the primary block; every other byte keeps its address.
constexpr std::uint16_t ImageIndexForRead(std::uint16_t sensorAddress)
{
    const bool mirror = sensorAddress >= kMirrorAddress && sensorAddress < kMirrorAddress + kMirrorSize;
    return mirror ? static_cast<std::uint16_t>(sensorAddress - kMirrorAddress) : sensorAddress;
}

} // namespace calvista
