// The MPSSE engine of one adapter channel, with the master chip's serial
// register interface wired to its low pin byte: bit 0 clock, bit 1 data to
// the chip, bit 2 data from the chip, bit 3 chip select (low = selected).
// Bits 4-7 are free pins whose input levels a test sets.
//
// Commands understood:
//   0x80 value direction    set the low pin byte
//   0x82 value direction    set the high pin byte
//   0x81                    read the low pin byte (answers one byte)
//   0x86 low high           clock divisor
//   0x85                    loopback off
//   0x87                    send the answers at once
//   0x11 lenLow lenHigh ... clock len + 1 bytes out, most significant bit first
//   0x35 lenLow lenHigh ... clock len + 1 bytes out and in (answers as many bytes)
// Any other opcode is answered with 0xFA followed by the opcode. A command cut
// off at the end of one write is completed by the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "chipbus/MasterChipBus.h"
#include "chipbus/SerialRegisterInterface.h"

namespace sim::ftdi {

class MpsseEngine {
public:
    static constexpr uint8_t kBadCommand = 0xFA;

    // All pins inputs, divisor 0, chip deselected, nothing pending.
    void Reset();

    // Runs the commands in `data` against the chip (null: nothing wired);
    // answers are appended to `answers`.
    void Execute(const uint8_t *data, size_t length, chipbus::IMasterChipBus *chip, std::vector<uint8_t> &answers);

    void SetInputLevels(uint8_t levels) { inputLevels_ = levels; }
    uint16_t Divisor() const { return divisor_; }
    // Clock periods put out since the last call.
    uint64_t TakeClockedBits();

private:
    // Runs the command at c; false when it is not complete yet.
    bool RunCommand(const uint8_t *c, size_t available, size_t &used, chipbus::IMasterChipBus *chip,
                    std::vector<uint8_t> &answers);
    void SetLowPins(uint8_t value, uint8_t direction);
    uint8_t ClockByte(chipbus::IMasterChipBus *chip, uint8_t out);
    bool Drives(uint8_t pin) const { return (lowDirection_ & pin) != 0; }

    chipbus::SerialRegisterInterface chipPort_;
    std::vector<uint8_t> pending_;
    uint8_t lowValue_ = 0;
    uint8_t lowDirection_ = 0;
    uint8_t highValue_ = 0;
    uint8_t highDirection_ = 0;
    uint16_t divisor_ = 0;
    uint8_t inputLevels_ = 0;
    bool chipDataOut_ = true;
    uint64_t clockedBits_ = 0;
};

} // namespace sim::ftdi
