// Content descriptions of a channel's single-cycle data.
#pragma once

#include <cstdint>
#include <string>

namespace ferrolink {

// One content item as the caller (or the detection) describes it.
struct ScdContentClass {
    std::string label;
    uint8_t skip = 0;  // not split out: reads as 0
    uint8_t flag = 0;  // first word of BissScdContentParams, kept as 0 or 1
    uint32_t bitLength = 0;
    uint32_t value3 = 0;
    uint32_t value4 = 0;
    std::string unit;
};

// One content item as an identifier or profile file describes it.
struct ScdContentXmlClass {
    std::string label;
    uint8_t skip = 0;  // marked "unused" (or "zero")
    uint8_t zero = 0;
    int32_t topBit = 0;  // -1 when the file gives the item no bits
    int32_t bottomBit = 0;
    uint32_t scale = 0;
    uint32_t offset = 0;
    std::string unit;
};

} // namespace ferrolink
