// The factory settings read from a type code.
#include "FactoryDefaultsTable.h"

#include <gtest/gtest.h>

using calvista::FactorySettings;
using calvista::FactorySettingsFromTypeCode;

namespace {

constexpr std::int32_t kBiss = 0;
constexpr std::int32_t kSsi = 1;

struct Case {
    const char *typeCode;
    std::optional<FactorySettings> settings;
};

FactorySettings Settings(std::int32_t protocol, std::int32_t length, std::int32_t coding, std::int32_t edge,
                         std::int32_t resolution, std::optional<std::int32_t> edgeTime)
{
    return {protocol, length, coding, edge, resolution, edgeTime};
}

} // namespace

TEST(FactoryDefaultsTableTest, TypeCodesGiveTheirSettings)
{
    const Case cases[] = {
        {"KELTO-L-1-B00D-M5EQ-E", Settings(kBiss, 0, 0, 0, 1, 1)},
        // "E" as the third character is 32 bits only for SSI.
        {"KELTO-L-1-S0ED-M5EQ-E", Settings(kSsi, 3, 0, 0, 1, 1)},
        {"KELTO-L-1-B0ED-M5EQ-E", Settings(kBiss, 0, 0, 0, 1, 1)},
        {"KELTO-L-1-BXFD-M5EQ-E", Settings(kBiss, 3, 1, 0, 1, 1)},
        // The place within a group of four: binary/Gray, rising/falling.
        {"KELTO-L-1-S01C-M5EQ-D", Settings(kSsi, 0, 1, 0, 0, 0)},
        {"KELTO-L-1-S08G-M5EQ-P", Settings(kSsi, 1, 0, 1, 4, 8)},
        {"KELTO-L-1-S0DF-M5EQ-N", Settings(kSsi, 2, 1, 1, 3, 7)},
        {"KELTO-R-1-S0HE-M5EQ-K", Settings(kSsi, 3, 1, 1, 2, 5)},
        // Only "M5EQ" carries the edge time; token 5 is not looked at otherwise.
        {"KELTO-L-1-S0ED-M5EX-?", Settings(kSsi, 3, 0, 0, 1, std::nullopt)},
        // Runs of "-" separate like one; leading ones start no empty token.
        {"--KELTO--L-1---S0ED-M5EQ-E-", Settings(kSsi, 3, 0, 0, 1, 1)},
        {"KELTO-L-1-S0ED-M5EQ", std::nullopt},    // five tokens
        {"KELTO-L-1-X0ED-M5EQ-E", std::nullopt},  // protocol
        {"KELTO-L-1-S04D-M5EQ-E", std::nullopt},  // SSI layout
        {"KELTO-L-1-S0EA-M5EQ-E", std::nullopt},  // resolution
        {"KELTO-L-1-S0E-M5EQ-E", std::nullopt},   // token 3 too short
        {"KELTO-L-1-S0ED-M5EQ-J", std::nullopt},  // edge time
        {"", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typeCode);
        EXPECT_EQ(FactorySettingsFromTypeCode(c.typeCode), c.settings);
    }
}
