// Banked registers, electronic data sheet banks and identification bytes of a slave.
#include "SlaveRegisterFile.h"

#include <gtest/gtest.h>

using namespace sim::biss;

TEST(SlaveRegisterFile, Register0x40ChoosesTheBankBehind0x00To0x3F)
{
    SlaveRegisterFile regs;
    regs.Write(0x00, 0x11);       // bank 0
    regs.Write(0x40, 5);
    regs.Write(0x00, 0x55);       // bank 5
    regs.Write(0x7F, 0x77);       // fixed registers do not follow the bank
    EXPECT_EQ(regs.Read(0x00), 0x55);
    EXPECT_EQ(regs.BankByte(5, 0), 0x55);
    regs.Write(0x40, 0);
    EXPECT_EQ(regs.Read(0x00), 0x11);
    EXPECT_EQ(regs.Read(0x7F), 0x77);
    EXPECT_EQ(regs.Read(0x40), 0);
    EXPECT_EQ(regs.Read(0x80), 0x11); // 7-bit addresses
}

TEST(SlaveRegisterFile, SealedBankEndsWithItsChecksum)
{
    SlaveRegisterFile regs;
    regs.Write(SlaveRegisterFile::kEdsBank, 2);
    for (uint8_t i = 0; i < 63; ++i)
        regs.SetBankByte(2, i, static_cast<uint8_t>(i * 7));
    regs.SealBank(2);
    // Sum of 7 * (0 + ... + 62) = 13671 = 0x3567.
    EXPECT_EQ(regs.BankByte(2, 63), 0x67);
    regs.Write(0x40, regs.Read(SlaveRegisterFile::kEdsBank));
    EXPECT_EQ(regs.Read(0x3F), 0x67);
}

TEST(SlaveRegisterFile, IdentificationIn0x78To0x7F)
{
    SlaveRegisterFile regs;
    regs.SetIdentification({0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x69, 0x43});
    EXPECT_EQ(regs.Read(0x78), 0x10);
    EXPECT_EQ(regs.Read(0x7D), 0x60);
    EXPECT_EQ(regs.Read(0x7E), 0x69);
    EXPECT_EQ(regs.Read(0x7F), 0x43);
}
