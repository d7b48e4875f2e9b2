#include "ExpertPageRules.h"

#include <algorithm>

#include "SensorMemoryMap.h"

std::uint16_t ExpertMemorySize(ExpertTarget target)
{
    return target == ExpertTarget::Ram ? calvista::kRamSize : calvista::kEepromSize;
}

std::optional<std::uint16_t> SingleRegisterAddress(int base, int registerAddress, ExpertTarget target)
{
    const int address = base + registerAddress;
    if (base < 0 || registerAddress < 0 || address >= ExpertMemorySize(target))
        return std::nullopt;
    return static_cast<std::uint16_t>(address);
}

std::size_t TextRunLength(int start, std::size_t requested)
{
    if (start < 0 || start >= calvista::kEepromSize)
        return 0;
    const auto room = static_cast<std::size_t>(calvista::kEepromSize - start);
    return std::min({requested, kMaxTextRun, room});
}

std::string TextFromEepromBytes(std::string_view bytes)
{
    std::string text(bytes);
    std::replace(text.begin(), text.end(), '\0', ' ');
    return text;
}

std::string EepromBytesFromText(std::string_view text)
{
    std::string bytes(text);
    std::replace(bytes.begin(), bytes.end(), ' ', '\0');
    return bytes;
}
