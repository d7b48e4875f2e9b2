#include "MpsseEngine.h"

namespace sim::ftdi {

namespace {

constexpr uint8_t kClockPin = 0x01;
constexpr uint8_t kDataOutPin = 0x02;
constexpr uint8_t kDataInPin = 0x04;
constexpr uint8_t kSelectPin = 0x08;

enum Opcode : uint8_t {
    kSetLowPins = 0x80,
    kReadLowPins = 0x81,
    kSetHighPins = 0x82,
    kLoopbackOff = 0x85,
    kClockDivisor = 0x86,
    kSendImmediate = 0x87,
    kBytesOut = 0x11,
    kBytesOutIn = 0x35,
};

} // namespace

void MpsseEngine::Reset()
{
    pending_.clear();
    lowValue_ = lowDirection_ = highValue_ = highDirection_ = 0;
    divisor_ = 0;
    chipPort_.Select(false);
    chipDataOut_ = true;
}

uint64_t MpsseEngine::TakeClockedBits()
{
    const uint64_t bits = clockedBits_;
    clockedBits_ = 0;
    return bits;
}

void MpsseEngine::Execute(const uint8_t *data, size_t length, chipbus::IMasterChipBus *chip,
                          std::vector<uint8_t> &answers)
{
    pending_.insert(pending_.end(), data, data + length);
    size_t at = 0;
    size_t used = 0;
    while (at < pending_.size() && RunCommand(&pending_[at], pending_.size() - at, used, chip, answers))
        at += used;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

bool MpsseEngine::RunCommand(const uint8_t *c, size_t available, size_t &used, chipbus::IMasterChipBus *chip,
                             std::vector<uint8_t> &answers)
{
    switch (c[0]) {
    case kSetLowPins:
        if (available < 3)
            return false;
        SetLowPins(c[1], c[2]);
        used = 3;
        return true;
    case kSetHighPins:
        if (available < 3)
            return false;
        highValue_ = c[1];
        highDirection_ = c[2];
        used = 3;
        return true;
    case kReadLowPins: {
        uint8_t inputs = static_cast<uint8_t>(inputLevels_ & ~kDataInPin);
        if (chipDataOut_)
            inputs |= kDataInPin;
        answers.push_back(static_cast<uint8_t>((lowValue_ & lowDirection_) | (inputs & ~lowDirection_)));
        used = 1;
        return true;
    }
    case kClockDivisor:
        if (available < 3)
            return false;
        divisor_ = static_cast<uint16_t>(c[1] | (c[2] << 8));
        used = 3;
        return true;
    case kLoopbackOff:
    case kSendImmediate:
        used = 1;
        return true;
    case kBytesOut:
    case kBytesOutIn: {
        if (available < 3)
            return false;
        const size_t count = static_cast<size_t>(c[1] | (c[2] << 8)) + 1;
        if (available < 3 + count)
            return false;
        for (size_t i = 0; i < count; ++i) {
            const uint8_t in = ClockByte(chip, c[3 + i]);
            if (c[0] == kBytesOutIn)
                answers.push_back(in);
        }
        used = 3 + count;
        return true;
    }
    default:
        answers.push_back(kBadCommand);
        answers.push_back(c[0]);
        used = 1;
        return true;
    }
}

void MpsseEngine::SetLowPins(uint8_t value, uint8_t direction)
{
    const bool wasSelected = Drives(kSelectPin) && !(lowValue_ & kSelectPin);
    lowValue_ = value;
    lowDirection_ = direction;
    const bool selected = Drives(kSelectPin) && !(lowValue_ & kSelectPin);
    if (selected != wasSelected) {
        chipPort_.Select(selected);
        chipDataOut_ = true;
    }
}

uint8_t MpsseEngine::ClockByte(chipbus::IMasterChipBus *chip, uint8_t out)
{
    clockedBits_ += 8;
    if (!Drives(kClockPin))
        return chipDataOut_ ? 0xFF : 0x00;
    uint8_t in = 0;
    for (int bit = 7; bit >= 0; --bit) {
        // A data pin that is not an output floats high.
        const bool level = !Drives(kDataOutPin) || ((out >> bit) & 1) != 0;
        chipDataOut_ = chipPort_.ClockBit(chip, level);
        in = static_cast<uint8_t>((in << 1) | (chipDataOut_ ? 1 : 0));
    }
    return in;
}

} // namespace sim::ftdi
