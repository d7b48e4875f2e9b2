// The tables behind the user-level settings of the system page: resolution and minimum edge time
// as chip settings, the start-set offsets of a rotary zero shift, the SSI frame by bit length and
// the interface variants.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace calvista {

// Resolution index (VANTREL_RES) -> chip and system fields.
struct ResolutionSetting {
    std::int32_t selres;          // DORVEL_SELRES
    std::int32_t ssiRes;          // SSI_RES
    std::int32_t fixedEdgeFctr;   // DORVEL_FCTR while the minimum edge time cannot be chosen
};

inline constexpr int kResolutionCount = 5;
inline constexpr int kDefaultResolutionIndex = 1;  // "1 µm/inc"
inline constexpr std::array<ResolutionSetting, kResolutionCount> kResolutionTable{{
    {5, 255, 0x4702},
    {16, 1, 0x4304},
    {18, 2, 0x4304},
    {21, 5, 0x4304},
    {28, 10, 0x4304},
}};

// The row of the resolution table, or none for an index outside 0-4.
std::optional<ResolutionSetting> ResolutionSettingFor(int index);
// The index whose SELRES and SSI_RES both match; any other pair gives the default index 1.
int ResolutionIndexFor(std::int32_t selres, std::int32_t ssiRes);

// Edge-time index (EDGETIME) -> DORVEL_FCTR. 255 ("- - -") has no chip value.
inline constexpr int kEdgeTimeCount = 9;
inline constexpr int kEdgeTimeUnset = 255;
inline constexpr std::array<std::int32_t, kEdgeTimeCount> kEdgeTimeFctrTable{
    0x4304, 0x4102, 4, 10, 20, 40, 81, 163, 245,
};

std::optional<std::int32_t> EdgeTimeFctrFor(int index);
// The index of a listed FCTR, else 255.
int EdgeTimeIndexFor(std::int32_t fctr);

// Start-set offsets of a rotary zero shift: row h for a shift of h x 11.25 degrees, column r for
// resolution index r.
inline constexpr int kStartsetRows = 32;
inline constexpr double kStartsetRowDegrees = 11.25;
using StartsetOffsetRows = std::array<std::array<std::uint32_t, kResolutionCount>, kStartsetRows>;
extern const StartsetOffsetRows StartsetOffsetTable;

// The first row whose cell in the resolution's column holds the offset; none when no row does or
// the index is outside 0-4.
std::optional<int> StartsetRowFor(std::uint32_t offset, int resolutionIndex);

// The zero shift in counts moves in these steps at each resolution index.
int ZeroShiftStep(int resolutionIndex);

// SCD frame for an SSI length index: 24, 25 or 26 bits with clock divider 15, or 32 bits with 9.
struct SsiScdSettings {
    std::uint16_t frameLength;
    std::uint16_t clockDivider;
};
std::optional<SsiScdSettings> SsiScdSettingsFor(int ssiLengthIndex);

// The output interface variant the system block declares; SARVIK wins over QUAD_ADV.
enum class InterfaceVariant { Standard, Sarvik, AbsoluteQuadrature };
InterfaceVariant InterfaceVariantFor(std::int32_t sarvik, std::int32_t quadAdv);

// The chip's 5-bit RATIO is split over two fields: bits 0-3 and bit 4.
struct RatioFields {
    std::int32_t low;   // DORVEL_RATIO_0_3
    std::int32_t high;  // DORVEL_RATIO_4
};
std::int32_t RatioFromFields(RatioFields fields);
RatioFields RatioToFields(std::int32_t ratio);

} // namespace calvista
