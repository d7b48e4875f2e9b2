#include "FirmwareNumber.h"

#include <limits>

namespace calvista {

std::int32_t FirmwareNumberFromText(std::string_view text)
{
    const std::string_view number = text.substr(0, text.find('_'));
    constexpr std::int64_t kLargest = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (const char c : number) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > kLargest)
            return static_cast<std::int32_t>(kLargest);
    }
    return static_cast<std::int32_t>(value);
}

bool IsFrameTypeCapable(std::int32_t firmware)
{
    return firmware > 306999 || (firmware > 142999 && firmware < 300000);
}

} // namespace calvista
