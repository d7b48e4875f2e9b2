// How the master reads one frame: the channel set-up held in 0xC0-0xC3 + 4n
// (and 0xED/0xEE), and the split of the received bits into channel data.
#pragma once

#include "MasterChipProfile.h"
#include "SimBissSlave.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sim::biss {

struct ChannelSetup {
    bool used = false;        // 0xC0 bit 6
    unsigned dataBits = 0;    // 0xC0 bits 0-5, plus 1
    uint32_t polynomial = 0;  // from 0xC1 bits 0-6 (the polynomial without its constant term)
    unsigned crcBits = 0;
    bool crcInverted = false; // 0xC1 bit 7: the slave sends the complement
    bool protocolKnown = false;
    LineProtocol protocol = LineProtocol::BiSS;
};

using MasterRegisterFile = std::array<uint8_t, 256>;

std::vector<ChannelSetup> DecodeChannels(const MasterRegisterFile &regs, const MasterChipProfile &chip);

// The frame's protocol: that of the first used channel; BiSS when none is used.
// known is false for the third kind, which no simulated slave speaks.
struct FrameProtocol {
    bool known = true;
    LineProtocol protocol = LineProtocol::BiSS;
};
FrameProtocol ChooseFrameProtocol(const std::vector<ChannelSetup> &channels);

struct ScdCapture {
    std::array<uint64_t, 8> data{};
    uint8_t usedMask = 0;
    uint8_t validMask = 0;
};

// Takes each used channel's data and CRC bits from the received bits in turn
// and checks the CRC (start value 0). Missing bits read as 0; they make the
// channel invalid unless the bits are an SSI word on a line that stays low
// after it, where only a channel without CRC can be valid.
ScdCapture CaptureScd(const std::vector<ChannelSetup> &channels, const std::vector<bool> &bits, bool ssiWord = false);

} // namespace sim::biss
