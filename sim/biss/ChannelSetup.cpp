#include "ChannelSetup.h"

#include "BissCrc.h"
#include "MasterRegisters.h"

namespace sim::biss {

namespace {

void DecodeProtocol(ChannelSetup &setup, unsigned field)
{
    setup.protocolKnown = field == 1 || field == 2;
    setup.protocol = field == 2 ? LineProtocol::Ssi : LineProtocol::BiSS;
}

} // namespace

std::vector<ChannelSetup> DecodeChannels(const MasterRegisterFile &regs, const MasterChipProfile &chip)
{
    std::vector<ChannelSetup> channels(chip.channels);
    for (unsigned n = 0; n < chip.channels; ++n) {
        const uint8_t length = regs[reg::kChannelConfig + 4 * n];
        const uint8_t crc = regs[reg::kChannelConfig + 4 * n + 1];
        ChannelSetup &setup = channels[n];
        setup.used = (length & 0x40) != 0;
        setup.dataBits = (length & 0x3F) + 1u;
        const uint32_t taps = crc & 0x7Fu;
        setup.polynomial = taps ? (taps << 1) | 1u : 0;
        setup.crcBits = CrcWidth(setup.polynomial);
        setup.crcInverted = (crc & 0x80) != 0;
        if (chip.legacyLayout) {
            const bool ssi = (length & 0x80) != 0;
            const bool biss = (regs[reg::kChannelConfig + 4 * n + 2] & 0x80) != 0;
            DecodeProtocol(setup, ssi ? 2 : (biss ? 1 : 0));
        } else {
            const uint8_t fields = regs[n < 4 ? reg::kProtocolLow : reg::kProtocolHigh];
            DecodeProtocol(setup, (fields >> (2 * (n % 4))) & 3u);
        }
    }
    return channels;
}

FrameProtocol ChooseFrameProtocol(const std::vector<ChannelSetup> &channels)
{
    for (const auto &setup : channels)
        if (setup.used)
            return {setup.protocolKnown, setup.protocol};
    return {};
}

ScdCapture CaptureScd(const std::vector<ChannelSetup> &channels, const std::vector<bool> &bits, bool ssiWord)
{
    ScdCapture capture;
    size_t next = 0;
    const auto take = [&](unsigned count) {
        uint64_t value = 0;
        for (unsigned i = 0; i < count; ++i) {
            const bool bit = next < bits.size() && bits[next];
            ++next;
            value = (value << 1) | (bit ? 1u : 0u);
        }
        return value;
    };
    for (size_t n = 0; n < channels.size() && n < capture.data.size(); ++n) {
        const ChannelSetup &setup = channels[n];
        if (!setup.used)
            continue;
        capture.usedMask |= static_cast<uint8_t>(1u << n);
        const bool complete = ssiWord || next + setup.dataBits + setup.crcBits <= bits.size();
        const uint64_t data = take(setup.dataBits);
        capture.data[n] = data;
        bool valid = complete;
        if (setup.crcBits) {
            uint32_t received = static_cast<uint32_t>(take(setup.crcBits));
            const uint32_t mask = (1u << setup.crcBits) - 1;
            if (setup.crcInverted)
                received = ~received & mask;
            valid = valid && !ssiWord && received == ComputeCrc(data, setup.dataBits, setup.polynomial, 0);
        }
        if (valid)
            capture.validMask |= static_cast<uint8_t>(1u << n);
    }
    return capture;
}

} // namespace sim::biss
