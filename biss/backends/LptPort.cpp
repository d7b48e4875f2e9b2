#include "LptPort.h"

#include <cstdlib>
#include <cstring>

#include "DlPortIoImports.h"

namespace ferrolink {

namespace {

constexpr uint8_t kEndOfCycleStatus = 0x20;
constexpr uint8_t kSerialDataStatus = 0x80;  // inverted: a 1 from the master reads clear
constexpr uint8_t kReadOffset = 0x20;        // control bit 5: data lines in
constexpr uint8_t kInstructionRegister = 0xF4;
constexpr uint8_t kStatusRegister = 0xF0;
constexpr uint32_t kDefaultBase = 0x378;
constexpr uint32_t kLastBase = 0xFFFF - 2;  // the control register must be a port too

} // namespace

bool ParsePortBase(const char *name, uint32_t *base)
{
    if (name == nullptr || *name == '\0') {
        *base = kDefaultBase;
        return true;
    }
    const char *digits = std::strncmp(name, "0x", 2) == 0 ? name + 2 : name;
    char *end = nullptr;
    const unsigned long value = std::strtoul(digits, &end, 16);
    if (end == digits || value == 0 || value > kLastBase)
        return false;
    *base = static_cast<uint32_t>(value);
    return true;
}

void LptPortClass::Data(uint8_t value) const
{
    DlPortWritePortUchar(base_, value);
}

void LptPortClass::Control(uint8_t value) const
{
    DlPortWritePortUchar(base_ + 2, value);
}

uint8_t LptPortClass::ReadData() const
{
    return DlPortReadPortUchar(base_);
}

uint8_t LptPortClass::ReadStatus() const
{
    return DlPortReadPortUchar(base_ + 1);
}

uint8_t LptPortClass::ReadBusy() const
{
    return (ReadStatus() & kEndOfCycleStatus) ? 1 : 0;
}

void LptPortClass::WriteRegister1(uint8_t address, uint8_t value) const
{
    Control(6);
    Data(address);
    Control(4);
    Control(6);
    Control(6);
    Data(value);
    Control(7);
    Control(6);
}

void LptPortClass::WriteRegister2(uint8_t address, uint8_t value) const
{
    Control(3);
    Data(address);
    Control(1);
    Control(3);
    Data(value);
    Control(2);
    Control(3);
}

uint8_t LptPortClass::ReadRegister1(uint8_t address) const
{
    Control(6);
    Data(address);
    Control(4);
    Control(6);
    Data(0xFF);
    Control(0x22);
    const uint8_t value = ReadData();
    Control(6);
    return value;
}

uint8_t LptPortClass::ReadRegister2(uint8_t address) const
{
    Control(3);
    Data(address);
    Control(1);
    Control(3);
    Data(0xFF);
    Control(0x27);
    Control(0x26);
    const uint8_t value = ReadData();
    Control(0x27);
    Control(3);
    return value;
}

void LptPortClass::SendBit(bool bit, uint8_t offset) const
{
    const uint8_t level = bit ? 0 : 2;
    Control(static_cast<uint8_t>(offset + (level | 1)));
    Control(static_cast<uint8_t>(offset + level));
}

void LptPortClass::SendByte(uint8_t byte, uint8_t offset) const
{
    for (int bit = 7; bit >= 0; --bit)
        SendBit(((byte >> bit) & 1) != 0, offset);
}

// The serial interface takes an opcode first: 0x02 write (address, value),
// 0x07 write the instruction register (value only).
void LptPortClass::WriteRegister3(uint8_t address, uint8_t value) const
{
    Control(7);
    if (address == kInstructionRegister) {
        SendByte(0x07, 0);
    } else {
        SendByte(0x02, 0);
        SendByte(address, 0);
    }
    SendByte(value, 0);
    Control(7);
}

// 0x03 read (address), 0x05 read the status register; then the master shifts
// the value out, one bit per clock.
uint8_t LptPortClass::ReadRegister3(uint8_t address) const
{
    Control(kReadOffset + 7);
    if (address == kStatusRegister) {
        SendByte(0x05, kReadOffset);
    } else {
        SendByte(0x03, kReadOffset);
        SendByte(address, kReadOffset);
    }
    uint8_t value = 0;
    for (int bit = 7; bit >= 0; --bit) {
        Control(kReadOffset + 1);
        Control(kReadOffset + 0);
        if (!(ReadStatus() & kSerialDataStatus))
            value = static_cast<uint8_t>(value | (1u << bit));
    }
    Control(kReadOffset + 7);
    Control(kReadOffset + 6);
    return value;
}

} // namespace ferrolink
