#include "KeltoMailbox.h"

namespace sim::kelto {

bool KeltoMailbox::Owns(uint8_t reg) { return reg <= kDataRegister || ReadOnly(reg); }

std::optional<MailboxCommand> KeltoMailbox::Write(uint8_t reg, uint8_t value)
{
    if (reg > kDataRegister)
        return std::nullopt;
    registers_[reg] = value;
    if (reg != kCommandRegister)
        return std::nullopt;

    // The sequence number tells a new command from the same one written again.
    const uint8_t sequence = value >> 4;
    if (sequence == lastSequence_)
        return std::nullopt;
    lastSequence_ = sequence;
    const uint8_t operation = value & 0x0F;
    if (operation < 1 || operation > 4)
        return std::nullopt;
    ++commands_;
    ++commandsInAll_;
    const uint16_t address = static_cast<uint16_t>(registers_[kAddressHighRegister] << 8 | registers_[kAddressLowRegister]);
    return MailboxCommand{static_cast<MailboxOperation>(operation), address, registers_[kDataRegister]};
}

uint8_t KeltoMailbox::Read(uint8_t reg) const
{
    if (reg <= kDataRegister)
        return registers_[reg];
    if (reg == kCountRegister)
        return static_cast<uint8_t>(commands_);
    return result_;
}

void KeltoMailbox::Reset()
{
    registers_.fill(0);
    lastSequence_ = 0;
    result_ = 0;
    commands_ = 0;
}

} // namespace sim::kelto
