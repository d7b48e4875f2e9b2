// How the USB adapter streams single-cycle data: which master data registers
// each channel contributes to a streamed frame, how big a frame record is, how
// many records fill a packet and how many packets a run of frames needs.
#pragma once

#include <array>
#include <cstdint>

#include "BissParams.h"

namespace ferrolink {

struct ScdStreamLayout {
    static constexpr uint32_t kChannels = BissParamClass::kChannels;
    static constexpr uint32_t kMaxChannelBytes = 8;  // one channel slot of data registers
    static constexpr uint32_t kPacketSize = 512;
    // Record bytes besides the SCD pairs: header, frame number, status, instruction pair, end mark.
    static constexpr uint32_t kRecordOverhead = 16;
    static constexpr uint32_t kBufferReserve = 4096;  // data block bytes per packet buffer

    struct Channel {
        uint32_t length = 0;      // SCD bits the slave sends (the split CRC length in the split slot)
        uint32_t crcBits = 0;     // from the channel's polynomial
        uint32_t polynomial = 0;
        uint32_t crcStart = 0;
        uint32_t dataBits = 0;    // bits the master holds and the adapter delivers
        uint32_t bytes = 0;       // SCD bytes of the channel in a record
        uint32_t firstByte = 0;   // position of its first byte among the record's SCD bytes
        bool checkedHere = false; // the CRC bits arrive with the data and are checked in software
    };

    std::array<Channel, kChannels> channels{};
    // The channel longer than 64 bits and the slot after it that carries its CRC bits; -1 when none.
    int32_t longChannel = -1;
    int32_t partnerSlot = -1;
    uint32_t scdBytes = 0;         // T
    uint32_t recordSize = 0;       // F = 2T + 16
    uint32_t recordsPerPacket = 0; // K

    // The layout the frame parameters and the master's split slot give.
    static ScdStreamLayout Compute(const BissParamClass &params, int32_t splitSlot, uint32_t splitCrcLength);

    uint32_t PacketBytes() const { return recordsPerPacket * recordSize; }
    // Packet buffers for a run of frames (two more records are streamed than
    // stored) and the data block behind them; false when the block's size does
    // not fit 32 bits.
    bool PlanBuffers(uint32_t frameCount, uint32_t *packets, uint32_t *blockSize) const;
};

} // namespace ferrolink
