// Request and response frames of the USB adapter: the host lists master
// register accesses, the adapter answers with the master's status byte and
// the register values.
#pragma once

#include <cstdint>
#include <vector>

namespace ferrolink::usbadapter {

enum Command : uint8_t {
    kReadRegisters = 0x15,
    kWriteRegisters = 0x25,
    kStreamFrames = 0xA7,
};

constexpr uint8_t kOptions = 0x1F;
constexpr uint8_t kOptionTtl = 0x80;
constexpr uint32_t kMaxPairs = 127;
constexpr uint32_t kResponseCapacity = 4096;

// Offsets inside a response.
constexpr uint32_t kStatusOffset = 5;
constexpr uint32_t kFirstPairOffset = 6;

struct RegisterPair {
    uint8_t address;
    uint8_t value;
};

// {2n, 0, command, options, pairs..., FF FF FF FF}.
std::vector<uint8_t> BuildRequest(uint8_t command, uint8_t options, const RegisterPair *pairs, uint32_t count);

// Status byte bits.
constexpr uint8_t kStatusTransferEnded = 0x01;
constexpr uint8_t kStatusControlEnded = 0x04;
constexpr uint8_t kStatusNoError = 0x78;  // bits 3 to 6 all set

constexpr bool NoErrorBits(uint8_t status) { return (status & kStatusNoError) == kStatusNoError; }

} // namespace ferrolink::usbadapter
