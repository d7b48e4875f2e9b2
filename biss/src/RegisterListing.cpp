// The master's configuration registers as a readable listing, one line per
// register, taken from the image the parameters give.
#include <cstdio>
#include <string>

#include "BissMaster.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

// Where a listed register's value comes from.
enum class Source { kImage, kZero };

struct ListedRegister {
    uint32_t address;
    Source source;
    const char *label;
};

// The registers after the eight channels' blocks, in listing order.
constexpr ListedRegister kCommonRegisters[] = {
    {0xE0, Source::kZero, "Reserved"},
    {0xE1, Source::kZero, "Reserved"},
    {0xE2, Source::kZero, "WNR / REGADR"},
    {0xE3, Source::kZero, "REGADR"},
    {0xE4, Source::kZero, "CHSEL"},
    {0xE5, Source::kZero, "Slave ID"},
    {0xE6, Source::kImage, "Frequency Division"},
    {0xE7, Source::kZero, "Reserved"},
    {0xE8, Source::kImage, "Frequency Division AGS"},
    {0xE9, Source::kZero, "Reserved"},
    {0xEA, Source::kZero, "Reserved"},
    {0xEB, Source::kZero, "Reserved"},
    {0xEC, Source::kZero, "Reserved"},
    {0xED, Source::kImage, "Reserved"},
    {0xEE, Source::kZero, "Reserved"},
    {0xEF, Source::kZero, "Reserved"},
    {0xF5, Source::kImage, "CLKENI (Test Modes)"},
};

// Register 0xC0 + 4n + offset of each channel n.
constexpr struct {
    uint32_t offset;
    Source source;
    const char *label;
} kChannelRegisters[] = {
    {0, Source::kImage, "Config Sensor Data"},
    {1, Source::kImage, "Config Sensor Data CRC"},
    {2, Source::kImage, "Config Data Conversion"},
    {3, Source::kZero, "Reserved"},
};

void AppendLine(std::string *text, uint32_t address, uint32_t value, const std::string &label)
{
    char line[64];
    std::snprintf(line, sizeof line, "Adr.: 0x%.2X\tValue: 0x%.2X", static_cast<unsigned>(address),
                  static_cast<unsigned>(value));
    *text += line;
    *text += '\t';
    *text += label;
    *text += "\r\n";
}

std::string ListingText(const BissMasterClass &master)
{
    auto valueOf = [&](uint32_t address, Source source) {
        return source == Source::kImage ? master.TargetRegister(address) : 0u;
    };
    std::string text;
    for (uint32_t channel = 0; channel < BissMasterClass::kChannels; ++channel) {
        const std::string slave = "SL" + std::to_string(channel + 1) + " / ";
        for (const auto &reg : kChannelRegisters) {
            const uint32_t address = 0xC0 + 4 * channel + reg.offset;
            AppendLine(&text, address, valueOf(address, reg.source), slave + reg.label);
        }
    }
    for (const ListedRegister &reg : kCommonRegisters)
        AppendLine(&text, reg.address, valueOf(reg.address, reg.source), reg.label);
    return text;
}

} // namespace

int BissMasterClass::SaveRegisterListing(const char *fileName)
{
    if (fileName == nullptr)
        return eBISS_INVALID_PARAMETER;

    // Before a chip is identified the listing shows all eight channels.
    MasterChipInfo chip = GetMasterInfo();
    if (chip.channelLimit == 0)
        chip.channelLimit = kChannels;
    BuildRegisterImage(chip, interfaceType_);
    const std::string text = ListingText(*this);

    std::FILE *file = std::fopen(fileName, "wb");
    if (file == nullptr)
        return eBISS_INVALID_PARAMETER;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed ? eBISS_NO_ERROR : eBISS_INVALID_PARAMETER;
}

} // namespace ferrolink
