// The USB adapter's frames on its bulk pipes.
//
// Request (OUT 0x02), 2n + 8 bytes for n register pairs:
//   0 pair length (2n), 1 reserved 0, 2 command, 3 options,
//   4 + 2i address of pair i, 5 + 2i value of pair i, then 0xFF x 4.
// Response (IN 0x81), 2n + 8 bytes:
//   0-4 header (pair length, 0, command, options, 0), 5 master status,
//   6 + 2i address of pair i, 7 + 2i its value, then 0xFF x 2.
// Streamed frame, 2T + 16 bytes for T data registers:
//   0-3 header, 4-7 frame number (most significant byte first), 8 0,
//   9 master status, 10-11 (0xF4, instruction), 12 + 2i address and 13 + 2i
//   value of data register i, then 0xFF x 4.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim::biss::adapter {

constexpr uint8_t kCommandRead = 0x15;
constexpr uint8_t kCommandWrite = 0x25;
constexpr uint8_t kCommandStream = 0xA7;
constexpr uint8_t kOptionsDefault = 0x1F;
constexpr uint8_t kOptionTtl = 0x80;
constexpr size_t kStreamPacketSize = 512;

struct RegisterPair {
    uint8_t address = 0;
    uint8_t value = 0;
    bool operator==(const RegisterPair &) const = default;
};

struct Request {
    uint8_t command = 0;
    uint8_t options = 0;
    std::vector<RegisterPair> pairs;
};

// Empty when the bytes are not a well-formed request (length, pair length,
// end mark or command wrong).
std::optional<Request> ParseRequest(const uint8_t *data, size_t length);

std::vector<uint8_t> BuildRequest(uint8_t command, uint8_t options, const std::vector<RegisterPair> &pairs);
std::vector<uint8_t> BuildResponse(const Request &request, uint8_t status,
                                   const std::vector<RegisterPair> &pairs);
std::vector<uint8_t> BuildStreamFrame(const Request &request, uint32_t frameNumber, uint8_t status,
                                      const std::vector<RegisterPair> &pairs);

// Bytes of one streamed frame for T data registers, and frames per packet.
inline size_t StreamFrameSize(size_t dataRegisters) { return 2 * dataRegisters + 16; }
inline size_t StreamFramesPerPacket(size_t frameSize)
{
    return frameSize >= kStreamPacketSize ? 1 : kStreamPacketSize / frameSize;
}

} // namespace sim::biss::adapter
