#include "ParameterTables.h"

namespace calvista {
namespace {

// Counts of one revolution of the start-set code at each resolution index.
constexpr std::array<std::uint32_t, kResolutionCount> kStartsetPeriods{2048, 2000, 1000, 400, 200};

// ((h + 16) mod 32) x P / 32, rounded half up. Two cells differ from the rule: encoders in the
// field were set up with those values, so the table keeps them.
constexpr StartsetOffsetRows BuildStartsetOffsetTable()
{
    StartsetOffsetRows rows{};
    for (int h = 0; h < kStartsetRows; ++h) {
        const std::uint32_t eighth = static_cast<std::uint32_t>((h + 16) % kStartsetRows);
        for (int r = 0; r < kResolutionCount; ++r)
            rows[h][r] = (2 * eighth * kStartsetPeriods[r] + kStartsetRows) / (2 * kStartsetRows);
    }
    rows[6][3] = 375;
    rows[9][4] = 150;
    return rows;
}

} // namespace

const StartsetOffsetRows StartsetOffsetTable = BuildStartsetOffsetTable();

std::optional<ResolutionSetting> ResolutionSettingFor(int index)
{
    if (index < 0 || index >= kResolutionCount)
        return std::nullopt;
    return kResolutionTable[static_cast<std::size_t>(index)];
}

int ResolutionIndexFor(std::int32_t selres, std::int32_t ssiRes)
{
    for (int index = 0; index < kResolutionCount; ++index) {
        const ResolutionSetting &row = kResolutionTable[static_cast<std::size_t>(index)];
        if (row.selres == selres && row.ssiRes == ssiRes)
            return index;
    }
    return kDefaultResolutionIndex;
}

std::optional<std::int32_t> EdgeTimeFctrFor(int index)
{
    if (index < 0 || index >= kEdgeTimeCount)
        return std::nullopt;
    return kEdgeTimeFctrTable[static_cast<std::size_t>(index)];
}

int EdgeTimeIndexFor(std::int32_t fctr)
{
    for (int index = 0; index < kEdgeTimeCount; ++index) {
        if (kEdgeTimeFctrTable[static_cast<std::size_t>(index)] == fctr)
            return index;
    }
    return kEdgeTimeUnset;
}

std::optional<int> StartsetRowFor(std::uint32_t offset, int resolutionIndex)
{
    if (resolutionIndex < 0 || resolutionIndex >= kResolutionCount)
        return std::nullopt;
    for (int row = 0; row < kStartsetRows; ++row) {
        if (StartsetOffsetTable[static_cast<std::size_t>(row)][static_cast<std::size_t>(resolutionIndex)] == offset)
            return row;
    }
    return std::nullopt;
}

int ZeroShiftStep(int resolutionIndex)
{
    switch (resolutionIndex) {
    case 4:
        return 10;
    case 3:
        return 5;
    case 2:
        return 2;
    default:
        return 1;
    }
}

std::optional<SsiScdSettings> SsiScdSettingsFor(int ssiLengthIndex)
{
    switch (ssiLengthIndex) {
    case 0:
        return SsiScdSettings{24, 15};
    case 1:
        return SsiScdSettings{25, 15};
    case 2:
        return SsiScdSettings{26, 15};
    case 3:
        return SsiScdSettings{32, 9};
    default:
        return std::nullopt;
    }
}

InterfaceVariant InterfaceVariantFor(std::int32_t sarvik, std::int32_t quadAdv)
{
    if (sarvik == 1)
        return InterfaceVariant::Sarvik;
    if (quadAdv == 1)
        return InterfaceVariant::AbsoluteQuadrature;
    return InterfaceVariant::Standard;
}

std::int32_t RatioFromFields(RatioFields fields)
{
    return (fields.low & 0x0F) | ((fields.high & 1) << 4);
}

RatioFields RatioToFields(std::int32_t ratio)
{
    return RatioFields{ratio & 0x0F, (ratio >> 4) & 1};
}

} // namespace calvista
