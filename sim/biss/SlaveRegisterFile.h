// The 128 registers a BiSS slave shows on its control channel. Registers
// 0x00-0x3F are a window onto one of 256 banks of 64 bytes, chosen by
// register 0x40; registers 0x40-0x7F are fixed.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

namespace sim::biss {

class SlaveRegisterFile {
public:
    static constexpr uint8_t kBankSelect = 0x40;
    static constexpr uint8_t kEdsBank = 0x41;
    static constexpr uint8_t kProfileId = 0x42;      // two bytes
    static constexpr uint8_t kIdentification = 0x78; // eight bytes: device id, manufacturer id

    SlaveRegisterFile();

    // Addresses are 7 bits on the line; bit 7 is ignored.
    uint8_t Read(uint8_t address) const;
    void Write(uint8_t address, uint8_t value);

    uint8_t BankByte(uint8_t bank, uint8_t offset) const;
    void SetBankByte(uint8_t bank, uint8_t offset, uint8_t value);
    // Byte 63 of a bank := the sum of its bytes 0-62 modulo 256.
    void SealBank(uint8_t bank);

    // Six device id bytes (0x78-0x7D) and two manufacturer bytes (0x7E, 0x7F).
    void SetIdentification(const std::array<uint8_t, 8> &bytes);

    // A protected register makes the slave refuse that kind of access.
    void SetReadProtected(uint8_t address, bool protectedFlag);
    void SetWriteProtected(uint8_t address, bool protectedFlag);
    bool MayRead(uint8_t address) const { return !readProtected_[address & 0x7F]; }
    bool MayWrite(uint8_t address) const { return !writeProtected_[address & 0x7F]; }

private:
    std::vector<uint8_t> banks_;
    std::array<uint8_t, 64> fixed_{};
    std::bitset<128> readProtected_;
    std::bitset<128> writeProtected_;
};

} // namespace sim::biss
