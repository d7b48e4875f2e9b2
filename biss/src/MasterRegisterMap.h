// Master chip registers and status bits that the frame cycle and the register
// accesses over the control channel work with.
#pragma once

#include <cstdint>

namespace ferrolink::reg {

constexpr uint8_t kScdData = 0x00;        // 8 registers per channel slot, least significant byte first
constexpr uint8_t kRam = 0x80;            // bytes of a register transfer
constexpr uint8_t kAccessAddress = 0xE2;  // bits 0-6 address, bit 7 write
constexpr uint8_t kAccessCount = 0xE3;    // bytes - 1
constexpr uint8_t kChannelSelect = 0xE4;
constexpr uint8_t kAccessSetup = 0xE5;    // slave id in bits 3-5
constexpr uint8_t kAgsDivider = 0xE8;
constexpr uint8_t kProtocolLow = 0xED;
constexpr uint8_t kStatus = 0xF0;
constexpr uint8_t kChannelStatusLow = 0xF1;  // two bits per channel, the upper one = valid
constexpr uint8_t kChannelStatusHigh = 0xF2;
constexpr uint8_t kControlStatus = 0xF3;     // bits transferred; bit 6 the received control bit
constexpr uint8_t kInstruction = 0xF4;
constexpr uint8_t kLine = 0xF8;              // bit 1 the received control bit (chip 0x52)

} // namespace ferrolink::reg

namespace ferrolink::instruction {

constexpr uint8_t kClear = 0x00;
constexpr uint8_t kControlOne = 0x02;    // a frame carrying control bit 1
constexpr uint8_t kDataFrame = 0x04;     // a frame carrying control bit 0
constexpr uint8_t kControlStart = 0x06;  // frame 19 of a control access with bit 0
constexpr uint8_t kAssistedAccess = 0x08;
constexpr uint8_t kAssistedTransfer = 0x09;
constexpr uint8_t kRelease = 0x10;       // ends a rejected access
constexpr uint8_t kStop = 0x80;

} // namespace ferrolink::instruction

namespace ferrolink::status {

constexpr uint8_t kEndOfCycle = 0x01;
constexpr uint8_t kErrorFlag = 0x02;
constexpr uint8_t kControlEnded = 0x04;
constexpr uint8_t kAccessDone = 0x08;
constexpr uint8_t kAllValid = 0x10;
constexpr uint8_t kAccepted = 0x20;
constexpr uint8_t kAnswered = 0x40;
constexpr uint8_t kNoErrors = 0x78;  // bits 3 to 6

constexpr bool AllOk(uint32_t value) { return (value & kNoErrors) == kNoErrors; }

// Why a master-assisted access failed, from its status byte: rejected (14),
// a failed frame (15) or a wrong bit in the data (24).
int AssistedFailureCode(uint32_t value);

// Bit k set for each channel k whose valid flag is set in 0xF1 (channels 0-3) or 0xF2 (4-7).
uint32_t ValidChannels(uint32_t channelStatusLow, uint32_t channelStatusHigh);

} // namespace ferrolink::status
