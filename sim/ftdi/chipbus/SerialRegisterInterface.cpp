#include "SerialRegisterInterface.h"

namespace sim::chipbus {

namespace {
constexpr uint8_t kInstructionRegister = 0xF4;
constexpr uint8_t kStatusRegister = 0xF0;
} // namespace

void SerialRegisterInterface::Select(bool selected)
{
    selected_ = selected;
    phase_ = selected ? Phase::Opcode : Phase::Done;
    shiftIn_ = 0;
    bitsIn_ = 0;
    bitsOut_ = 0;
}

bool SerialRegisterInterface::ClockBit(IMasterChipBus *bus, bool dataIn)
{
    if (!selected_ || bus == nullptr)
        return true;
    if (phase_ == Phase::ShiftOut) {
        const bool bit = (shiftOut_ & 0x80) != 0;
        shiftOut_ = static_cast<uint8_t>(shiftOut_ << 1);
        if (++bitsOut_ == 8)
            phase_ = Phase::Done;
        return bit;
    }
    if (phase_ == Phase::Done)
        return true;
    shiftIn_ = static_cast<uint8_t>((shiftIn_ << 1) | (dataIn ? 1 : 0));
    if (++bitsIn_ == 8) {
        const uint8_t byte = shiftIn_;
        shiftIn_ = 0;
        bitsIn_ = 0;
        TakeByte(bus, byte);
    }
    return true;
}

uint8_t SerialRegisterInterface::ExchangeByte(IMasterChipBus *bus, uint8_t dataIn)
{
    uint8_t out = 0;
    for (int bit = 7; bit >= 0; --bit)
        out = static_cast<uint8_t>((out << 1) | (ClockBit(bus, ((dataIn >> bit) & 1) != 0) ? 1 : 0));
    return out;
}

void SerialRegisterInterface::TakeByte(IMasterChipBus *bus, uint8_t byte)
{
    switch (phase_) {
    case Phase::Opcode:
        opcode_ = byte;
        if (byte == kWrite || byte == kRead) {
            phase_ = Phase::Address;
        } else if (byte == kWriteInstruction) {
            address_ = kInstructionRegister;
            phase_ = Phase::WriteValue;
        } else if (byte == kReadStatus) {
            StartShiftOut(bus, kStatusRegister);
        } else {
            phase_ = Phase::Done;
        }
        return;
    case Phase::Address:
        address_ = byte;
        if (opcode_ == kRead)
            StartShiftOut(bus, byte);
        else
            phase_ = Phase::WriteValue;
        return;
    case Phase::WriteValue:
        bus->WriteRegister(address_, byte);
        phase_ = Phase::Done;
        return;
    default:
        return;
    }
}

void SerialRegisterInterface::StartShiftOut(IMasterChipBus *bus, uint8_t address)
{
    shiftOut_ = bus->ReadRegister(address);
    bitsOut_ = 0;
    phase_ = Phase::ShiftOut;
}

} // namespace sim::chipbus
