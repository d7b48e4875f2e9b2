// The parallel-port back end (interface types 1-3): the master chip wired to
// a PC parallel port in one of three ways, reached by writing and reading the
// port's data (base), status (base + 1) and control (base + 2) registers.
// Port writes cannot fail: a master that is not there shows only as wrong values.
#pragma once

#include <cstdint>

namespace ferrolink {

class LptPortClass {
public:
    explicit LptPortClass(uint32_t base) : base_(base) {}

    uint32_t GetBase() const { return base_; }

    // Address and data strobed over the data lines (wirings 1 and 2).
    void WriteRegister1(uint8_t address, uint8_t value) const;
    void WriteRegister2(uint8_t address, uint8_t value) const;
    uint8_t ReadRegister1(uint8_t address) const;
    uint8_t ReadRegister2(uint8_t address) const;
    // Bit by bit through the master's serial register interface (wiring 3).
    void WriteRegister3(uint8_t address, uint8_t value) const;
    uint8_t ReadRegister3(uint8_t address) const;

    // Status bit 5: the master's end-of-cycle line (1 = the cycle has ended).
    uint8_t ReadBusy() const;

private:
    void Data(uint8_t value) const;
    void Control(uint8_t value) const;
    uint8_t ReadData() const;
    uint8_t ReadStatus() const;
    // Wiring 3: one bit to the master (control bit 0 clock, bit 1 the bit inverted).
    void SendBit(bool bit, uint8_t offset) const;
    void SendByte(uint8_t byte, uint8_t offset) const;

    uint32_t base_;
};

// The port base from an adapter name: hexadecimal, with or without a leading
// "0x"; reading stops at the first character that is not a hexadecimal
// digit; an empty name (or none) is 0x378. False when the name gives no
// usable port address (no digits, 0, or beyond the 16-bit port space).
bool ParsePortBase(const char *name, uint32_t *base);

} // namespace ferrolink
