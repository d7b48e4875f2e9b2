#include "IsoBuffer.h"

#include <algorithm>
#include <cstring>

#include "DriverProtocol.h"

namespace dravio::sim {

namespace {

// A packet longer than the buffer space it was given; bit 31 marks it failed.
constexpr uint32_t kPacketBufferOverrun = 0xC000000C;

wire::IsoHeader Header(const uint8_t *buffer)
{
    wire::IsoHeader header;
    std::memcpy(&header, buffer, sizeof header);
    return header;
}

uint8_t *PacketAt(uint8_t *buffer, uint32_t i)
{
    return buffer + sizeof(wire::IsoHeader) + i * sizeof(wire::IsoPacket);
}

wire::IsoPacket Packet(const uint8_t *buffer, uint32_t i)
{
    wire::IsoPacket packet;
    std::memcpy(&packet, PacketAt(const_cast<uint8_t *>(buffer), i), sizeof packet);
    return packet;
}

void StorePacket(uint8_t *buffer, uint32_t i, const wire::IsoPacket &packet)
{
    std::memcpy(PacketAt(buffer, i), &packet, sizeof packet);
}

} // namespace

uint32_t CheckIsoBuffer(const uint8_t *buffer, uint32_t length, uint16_t maxPacketSize)
{
    if (length < sizeof(wire::IsoHeader))
        return wire::status::kInvalidIsoPacket;
    const uint32_t count = Header(buffer).packetCount;
    if (count == 0)
        return wire::status::kInvalidIsoPacket;
    if (count > kMaxIsoPackets)
        return wire::status::kTooManyIsoPackets;
    const uint64_t headerSize = sizeof(wire::IsoHeader) + uint64_t(count) * sizeof(wire::IsoPacket);
    if (headerSize > length)
        return wire::status::kInvalidIsoPacket;
    for (uint32_t i = 0; i < count; ++i) {
        const wire::IsoPacket packet = Packet(buffer, i);
        if (packet.offset < headerSize || uint64_t(packet.offset) + packet.length > length ||
            packet.length > maxPacketSize)
            return wire::status::kInvalidIsoPacket;
    }
    return 0;
}

std::vector<std::span<const uint8_t>> IsoPackets(const uint8_t *buffer)
{
    std::vector<std::span<const uint8_t>> packets;
    const uint32_t count = Header(buffer).packetCount;
    for (uint32_t i = 0; i < count; ++i) {
        const wire::IsoPacket packet = Packet(buffer, i);
        packets.emplace_back(buffer + packet.offset, packet.length);
    }
    return packets;
}

void FillIsoRead(uint8_t *buffer, std::deque<std::vector<uint8_t>> &queue)
{
    const uint32_t count = Header(buffer).packetCount;
    for (uint32_t i = 0; i < count; ++i) {
        wire::IsoPacket packet = Packet(buffer, i);
        uint32_t received = 0;
        uint32_t status = 0;
        if (!queue.empty()) {
            const std::vector<uint8_t> &message = queue.front();
            received = std::min<uint32_t>(packet.length, uint32_t(message.size()));
            std::memcpy(buffer + packet.offset, message.data(), received);
            if (message.size() > packet.length)
                status = kPacketBufferOverrun;
            queue.pop_front();
        }
        packet.length = received;
        packet.status = status;
        StorePacket(buffer, i, packet);
    }
}

void MarkIsoPacketsSent(uint8_t *buffer)
{
    const uint32_t count = Header(buffer).packetCount;
    for (uint32_t i = 0; i < count; ++i) {
        wire::IsoPacket packet = Packet(buffer, i);
        packet.status = 0;
        StorePacket(buffer, i, packet);
    }
}

} // namespace dravio::sim
