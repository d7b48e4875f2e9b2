#include "SlaveRegisterFile.h"

namespace sim::biss {

namespace {
constexpr size_t kBankSize = 64;
constexpr size_t kBankCount = 256;
} // namespace

SlaveRegisterFile::SlaveRegisterFile() : banks_(kBankSize * kBankCount, 0) {}

uint8_t SlaveRegisterFile::Read(uint8_t address) const
{
    address &= 0x7F;
    if (address < kBankSize)
        return BankByte(fixed_[kBankSelect - kBankSize], address);
    return fixed_[address - kBankSize];
}

void SlaveRegisterFile::Write(uint8_t address, uint8_t value)
{
    address &= 0x7F;
    if (address < kBankSize)
        SetBankByte(fixed_[kBankSelect - kBankSize], address, value);
    else
        fixed_[address - kBankSize] = value;
}

uint8_t SlaveRegisterFile::BankByte(uint8_t bank, uint8_t offset) const
{
    return banks_[bank * kBankSize + (offset % kBankSize)];
}

void SlaveRegisterFile::SetBankByte(uint8_t bank, uint8_t offset, uint8_t value)
{
    banks_[bank * kBankSize + (offset % kBankSize)] = value;
}

void SlaveRegisterFile::SealBank(uint8_t bank)
{
    uint8_t sum = 0;
    for (uint8_t i = 0; i < 63; ++i)
        sum = static_cast<uint8_t>(sum + BankByte(bank, i));
    SetBankByte(bank, 63, sum);
}

void SlaveRegisterFile::SetIdentification(const std::array<uint8_t, 8> &bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        fixed_[kIdentification - kBankSize + i] = bytes[i];
}

void SlaveRegisterFile::SetReadProtected(uint8_t address, bool protectedFlag)
{
    readProtected_[address & 0x7F] = protectedFlag;
}

void SlaveRegisterFile::SetWriteProtected(uint8_t address, bool protectedFlag)
{
    writeProtected_[address & 0x7F] = protectedFlag;
}

} // namespace sim::biss
