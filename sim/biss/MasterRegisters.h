// The master chip's register map and the bits the simulation gives meaning to.
#pragma once

#include <cstdint>

namespace sim::biss {

namespace reg {
constexpr uint8_t kScdData = 0x00;          // 8 registers per channel slot, LSB first
constexpr uint8_t kRam = 0x80;              // 64 bytes for register transfers
constexpr unsigned kRamSize = 64;
constexpr uint8_t kChannelConfig = 0xC0;    // 4 registers per channel
constexpr uint8_t kAccessAddress = 0xE2;    // bits 0-6 address, bit 7 write
constexpr uint8_t kAccessCount = 0xE3;      // bytes - 1
constexpr uint8_t kChannelSelect = 0xE4;
constexpr uint8_t kAccessSetup = 0xE5;      // bits 3-5 slave id; bit 7 register access, bit 6 command
constexpr uint8_t kClockDivider = 0xE6;
constexpr uint8_t kAutomaticDivider = 0xE8;
constexpr uint8_t kRevision = 0xEA;
constexpr uint8_t kChipId = 0xEB;
constexpr uint8_t kProtocolSelect = 0xEC;
constexpr uint8_t kProtocolLow = 0xED;      // 2 bits per channel 0-3: 1 BiSS, 2 SSI
constexpr uint8_t kProtocolHigh = 0xEE;     // channels 4-7
constexpr uint8_t kStatus = 0xF0;
constexpr uint8_t kChannelStatusLow = 0xF1; // 2 bits per channel, upper one = valid
constexpr uint8_t kChannelStatusHigh = 0xF2;
constexpr uint8_t kControlStatus = 0xF3;    // bits 0-5 bytes transferred, bit 6 control bit
constexpr uint8_t kInstruction = 0xF4;
constexpr uint8_t kTestMode = 0xF5;
constexpr uint8_t kLine = 0xF8;             // bit 0 line high, bit 1 control bit
} // namespace reg

namespace status {
constexpr uint8_t kEndOfCycle = 0x01;
constexpr uint8_t kError = 0x02;
constexpr uint8_t kControlDone = 0x04;
constexpr uint8_t kAccessOk = 0x08;
constexpr uint8_t kDataValid = 0x10;
constexpr uint8_t kAccepted = 0x20;
constexpr uint8_t kAnswered = 0x40;
constexpr uint8_t kAutomatic = 0x80;
constexpr uint8_t kNoErrors = kAccessOk | kDataValid | kAccepted | kAnswered;
} // namespace status

namespace instr {
constexpr uint8_t kAutomatic = 0x01;
constexpr uint8_t kFrameMask = 0x06; // 2: frame with control bit 1; 4, 6: with 0
constexpr uint8_t kAccess = 0x08;
constexpr uint8_t kStartUp = 0x10;
constexpr uint8_t kStop = 0x80;
constexpr uint8_t kStartsTransfer = 0x1E;
} // namespace instr

} // namespace sim::biss
