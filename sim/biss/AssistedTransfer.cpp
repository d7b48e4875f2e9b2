#include "AssistedTransfer.h"

#include "BissCrc.h"

#include <vector>

namespace sim::biss {

namespace {

constexpr unsigned kClosingZeros = 14;

// Start bit, then CTS and ten bits, then their CRC inverted: frames 0-15.
void SendRequest(const ControlFrameRunner &frame, uint32_t elevenBits)
{
    frame(true);
    for (unsigned i = 11; i-- > 0;)
        frame(((elevenBits >> i) & 1u) != 0);
    const uint32_t crc = ControlCrc(elevenBits, 11);
    for (unsigned i = 4; i-- > 0;)
        frame(((crc >> i) & 1u) == 0);
}

void SendZeros(const ControlFrameRunner &frame, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        frame(false);
}

TransferResult Fail(const ControlFrameRunner &frame, TransferOutcome outcome, unsigned bytes)
{
    SendZeros(frame, kClosingZeros);
    return {outcome, bytes};
}

bool ReadByte(const ControlFrameRunner &frame, uint8_t &value, TransferOutcome &failure)
{
    unsigned waited = 0;
    while (!frame(false)) {
        if (++waited >= kStartBitPatience) {
            failure = TransferOutcome::Rejected;
            return false;
        }
    }
    uint32_t bits = 0;
    for (unsigned i = 0; i < 12; ++i)
        bits = (bits << 1) | (frame(false) ? 1u : 0u);
    value = static_cast<uint8_t>(bits >> 4);
    if ((~bits & 0xFu) != ControlCrc(value, 8)) {
        failure = TransferOutcome::BadData;
        return false;
    }
    return true;
}

bool WriteByte(const ControlFrameRunner &frame, uint8_t value, TransferOutcome &failure)
{
    // Data MSB first, the CRC inverted, the stop bit; the slave echoes each a frame later.
    std::vector<bool> bits;
    for (unsigned i = 8; i-- > 0;)
        bits.push_back(((value >> i) & 1u) != 0);
    const uint32_t crc = ControlCrc(value, 8);
    for (unsigned i = 4; i-- > 0;)
        bits.push_back(((crc >> i) & 1u) == 0);
    bits.push_back(false);

    unsigned waited = 0;
    while (!frame(bits[0])) {
        if (++waited >= kStartBitPatience) {
            failure = TransferOutcome::Rejected;
            return false;
        }
    }
    for (size_t i = 1; i < bits.size(); ++i) {
        if (frame(bits[i]) != bits[i - 1]) {
            failure = TransferOutcome::BadData;
            return false;
        }
    }
    return true;
}

} // namespace

TransferResult RunRegisterTransfer(const ControlFrameRunner &frame, uint8_t slaveId, uint8_t address,
                                   bool write, unsigned count, uint8_t *ram)
{
    const uint32_t request = (1u << 10) | ((slaveId & 7u) << 7) | (address & 0x7Fu);
    SendRequest(frame, request);
    frame(!write);                       // frame 16: R
    const bool echoR = frame(write);     // frame 17: W; the slave echoes R
    if (echoR != !write)
        return Fail(frame, TransferOutcome::NoAnswer, 0);
    const bool echoW = frame(true);      // frame 18: S; the slave echoes W
    if (echoW != write)
        return Fail(frame, TransferOutcome::Rejected, 0);

    for (unsigned k = 0; k < count; ++k) {
        if (k > 0)
            frame(true); // S for the next register
        TransferOutcome failure = TransferOutcome::Ok;
        const bool ok = write ? WriteByte(frame, ram[k], failure) : ReadByte(frame, ram[k], failure);
        if (!ok)
            return Fail(frame, failure, k);
    }
    SendZeros(frame, write ? kClosingZeros : 2);
    return {TransferOutcome::Ok, count};
}

TransferResult RunCommand(const ControlFrameRunner &frame, uint8_t command, uint8_t selection)
{
    // CTS 0, the selection least significant bit first, the command bit 1 first.
    uint32_t request = 0;
    for (unsigned i = 0; i < 8; ++i)
        request = (request << 1) | ((selection >> i) & 1u);
    request = (request << 2) | (command & 3u);
    SendRequest(frame, request);
    frame(true);
    bool allAnswered = true;
    if (selection != 0) {
        for (unsigned i = 0; i < 8; ++i) {
            const bool answer = frame(false);
            if (((selection >> i) & 1u) && !answer)
                allAnswered = false;
        }
    }
    SendZeros(frame, kClosingZeros);
    return {allAnswered ? TransferOutcome::Ok : TransferOutcome::NoAnswer, allAnswered ? 1u : 0u};
}

} // namespace sim::biss
