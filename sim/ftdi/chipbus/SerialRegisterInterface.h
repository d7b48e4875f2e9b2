// The master chip's serial register interface (chip select, clock, data in,
// data out). While the chip is selected it takes one bit and puts out one bit
// at each falling clock edge, most significant bit first:
//
//   0x02 address value   write a register
//   0x03 address         read a register: its value is shifted out next
//   0x07 value           write the instruction register 0xF4
//   0x05                 read the status register 0xF0: its value is shifted out next
//
// Bits after a complete access, and after an unknown opcode, are ignored.
// Data out is released (reads as 1) whenever no value is being shifted out.
#pragma once

#include <cstdint>

#include "MasterChipBus.h"

namespace sim::chipbus {

class SerialRegisterInterface {
public:
    static constexpr uint8_t kWrite = 0x02;
    static constexpr uint8_t kRead = 0x03;
    static constexpr uint8_t kReadStatus = 0x05;
    static constexpr uint8_t kWriteInstruction = 0x07;

    // Selecting starts a new access; deselecting abandons an unfinished one.
    void Select(bool selected);
    bool Selected() const { return selected_; }

    // One falling clock edge with `dataIn` on the chip's input; returns the
    // level of the chip's output after the edge. Without a chip behind the
    // interface (null bus) nothing answers.
    bool ClockBit(IMasterChipBus *bus, bool dataIn);

    // Eight clocks, most significant bit first; the byte the chip put out.
    uint8_t ExchangeByte(IMasterChipBus *bus, uint8_t dataIn);

private:
    enum class Phase : uint8_t { Opcode, Address, WriteValue, ShiftOut, Done };

    void TakeByte(IMasterChipBus *bus, uint8_t byte);
    void StartShiftOut(IMasterChipBus *bus, uint8_t address);

    bool selected_ = false;
    Phase phase_ = Phase::Done;
    uint8_t opcode_ = 0;
    uint8_t address_ = 0;
    uint8_t shiftIn_ = 0;
    unsigned bitsIn_ = 0;
    uint8_t shiftOut_ = 0;
    unsigned bitsOut_ = 0;
};

} // namespace sim::chipbus
