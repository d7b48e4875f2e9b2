// The encoder's mailbox in the registers of slave 0: every byte of its EEPROM and RAM is read and
// written through it, one access at a time.
#pragma once

#include <cstdint>

enum MailboxOperation {
    kMailboxWriteEeprom = 1,
    kMailboxReadEeprom = 2,
    kMailboxWriteRam = 3,
    kMailboxReadRam = 4,
};

// One access: data, address low and high byte, then the command with the next sequence number;
// the result register is read back in every case. Returns 0 or the first non-zero code.
int OperateSlaveRegByAddress(unsigned address, unsigned value, int operation);

// The result register as the latest access read it; the byte is in bits 0-7.
std::uint32_t MailboxResult();
