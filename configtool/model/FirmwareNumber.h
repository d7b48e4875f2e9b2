// The encoder's firmware number, as its firmware text starts, and what the number decides about
// the frames the encoder can send.
#pragma once

#include <cstdint>
#include <string_view>

namespace calvista {

// The decimal number at the start of the firmware text, up to the first "_" ("141000_R01.07"
// gives 141000). No leading digit, or an empty first part, gives 0 (unknown); a number too large
// for 32 bits gives the largest one.
std::int32_t FirmwareNumberFromText(std::string_view text);

// The frame type (standard or diagnosis) can be chosen: 143000-299999 and 307000 upward.
bool IsFrameTypeCapable(std::int32_t firmware);

} // namespace calvista
