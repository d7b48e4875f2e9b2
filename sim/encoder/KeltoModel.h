// What the factory made one Kelto encoder to be: its firmware, its
// identification and how it left the line. The firmware decides the frame
// layouts; the rest ends up in the factory image of its memory.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim::kelto {

struct KeltoModel {
    uint32_t firmwareNumber = 308012;
    std::string firmwareSuffix = "R01.07";     // after the number and "_", 13 characters in all
    std::string materialNumber = "604117";
    std::string parameterVersion = "0102";
    std::string identifier = "HX2648QP";
    // Tokens 3-5 (counting from 0) carry the factory settings: protocol, SSI
    // layout and resolution, then "M5EQ" and the edge time.
    std::string typeCode = "KELTO-L-1-B00D-M5EQ-E";
    std::string deliveryCode = "D000815";
    std::string runningNumber = "00012345";    // final test running number
    std::string parameterDate = "230321";      // date of parameterisation
    std::string parameterFactory = "K1PA";
    std::array<uint16_t, 3> workTime = {412, 96, 3};
    uint8_t output = 0;                        // 0x10 as delivered: BiSS
    uint8_t ssiResolution = 1;                 // 1 um per count
    bool mirrorValid = true;
    uint8_t modificationIndicator = 0xFF;      // as delivered (erased)

    // "308012_R01.07"
    std::string FirmwareText() const;

    // The frame type can be chosen (bit 3 of 0x10).
    bool FrameTypeCapable() const;
    // BiSS frame length for an output byte: 40, or 54 with the diagnosis bits.
    unsigned BissFrameLength(uint8_t outputByte) const;
    // What follows the SSI word: 0 nothing, 1 raw VEF, 2 raw VEF and error
    // byte, 3 both VEF nibbles and error byte.
    unsigned SsiFrameType(uint8_t outputByte) const;
    // The code length register holds the length itself, not the older code.
    bool CodeLengthAsNumber() const { return firmwareNumber >= 300000; }
};

// Named variants for the thresholds the configuration tool tells apart
// (firmware numbers, material numbers, identifiers, output and flags).
std::optional<KeltoModel> KeltoScenario(std::string_view name);
std::vector<std::string_view> KeltoScenarioNames();

} // namespace sim::kelto
