// Where writing, reading and restoring the configuration reach into the encoder memory, and the
// two flag bytes around them: the tool's modification marker and the factory copy's validity.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace calvista {

struct AddressRange {
    std::uint16_t start;
    std::uint16_t count;

    constexpr bool Contains(std::uint16_t address) const { return address >= start && address - start < count; }
};

// The system block without the work-time counters (8-13), then the whole Dorvel block with its CRC.
inline constexpr std::array<AddressRange, 2> kWrittenConfiguration{{{0, 8}, {14, 50}}};
// System, Dorvel and Pellin blocks.
inline constexpr AddressRange kReadConfiguration{0, 96};
// The factory copy of what a write sends; the sensor link reads it onto the cells it copies.
inline constexpr std::array<AddressRange, 2> kFactoryCopy{{{96, 8}, {110, 50}}};

// The third character of the device identifier records the frame type on capable encoders.
inline constexpr std::uint16_t kFrameTypeIdentifierAddress = 198;
// '1' for the standard frame (BISS_SSI_FRAME_TYPE 1), else '2'.
constexpr std::uint8_t FrameTypeIdentifierCharacter(std::int32_t frameType)
{
    return frameType == 1 ? '1' : '2';
}

// CONFIGTOOL_MOD_INDICATOR: bit 0 set (or the erased 0xFF) = as delivered, clear = changed by the tool.
inline constexpr std::uint16_t kModificationMarkerAddress = 659;
enum class ParameterState { Delivered, Modified };
// The marker byte that says the state, or none when the byte already says it.
std::optional<std::uint8_t> MarkerForState(std::uint8_t marker, ParameterState state);

// PARAMETER_MIRROR_VALID: bit 0 clear = the mirror blocks hold a valid factory copy.
inline constexpr std::uint16_t kMirrorValidAddress = 460;
constexpr bool FactoryCopyValid(std::uint8_t flag)
{
    return (flag & 1) == 0;
}

} // namespace calvista
