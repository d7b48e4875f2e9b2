// The older exported names answer in an older code set of 13 values.
#pragma once

#include <cstdint>

namespace ferrolink {

int TranslateLegacyCode(int code);

// Older configuration item numbers: where each lives today.
struct LegacyItem {
    enum Kind { kNone, kExtra, kCom, kFrame, kFrameFourIsZero } kind;
    uint32_t index;
};

LegacyItem LookupLegacyItem(uint32_t item, bool forSet);

} // namespace ferrolink
