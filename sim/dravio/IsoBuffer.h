// The isochronous transfer buffer: a header with one entry per packet, then
// the packets' data at the offsets the entries give.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace dravio::sim {

constexpr uint32_t kMaxIsoPackets = 1024;

// 0 when the buffer's layout is sound, else the driver's status for it.
uint32_t CheckIsoBuffer(const uint8_t *buffer, uint32_t length, uint16_t maxPacketSize);

// The data of each packet of a checked write buffer.
std::vector<std::span<const uint8_t>> IsoPackets(const uint8_t *buffer);

// Fills each packet of a read buffer with the next message waiting, or none;
// sets its received length and status.
void FillIsoRead(uint8_t *buffer, std::deque<std::vector<uint8_t>> &queue);

// Marks every packet of a written buffer as sent.
void MarkIsoPacketsSent(uint8_t *buffer);

} // namespace dravio::sim
