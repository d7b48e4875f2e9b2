// What the expert register page may reach: the single-byte address in the chosen memory, the
// length of a text run, and the text form of a run of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class ExpertTarget { Eeprom = 0, Ram = 1 };  // TARGET_RW

// Addresses 0-2047 in the EEPROM, 0-127 in the RAM.
std::uint16_t ExpertMemorySize(ExpertTarget target);

// Base + register address as a 16-bit number; none when that lies beyond the target's last
// address, which is then neither read, written nor stored in the image.
std::optional<std::uint16_t> SingleRegisterAddress(int base, int registerAddress, ExpertTarget target);

// At most 50 bytes, and none beyond the EEPROM's last address.
inline constexpr std::size_t kMaxTextRun = 50;
std::size_t TextRunLength(int start, std::size_t requested);

// Bytes read -> text shown: a 0 byte shows as a space.
std::string TextFromEepromBytes(std::string_view bytes);
// Text -> bytes written: a space is stored as 0, so a real space cannot be written.
std::string EepromBytesFromText(std::string_view text);
