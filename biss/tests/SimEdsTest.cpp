// A slave's electronic data sheet read into the image and written back,
// against a simulated slave that keeps it in two of its register banks.
#include <array>
#include <vector>

#include "SimulatedAdapter.h"

namespace {

using ferrolink_test::SimulatedAdapterTest;

constexpr uint8_t kEdsBank = 5;
constexpr uint8_t kSecondPartBank = 6;

class EdsTest : public SimulatedAdapterTest {
protected:
    // Bank 5: identifier, version 1, second part in bank 6; bank 6: identifier,
    // no bank after it. Both sealed with their checksums.
    sim::biss::SimBissSlave &PlugSlaveWithEds()
    {
        Plug();
        sim::biss::SimBissSlave &slave = rig_->line.AddSlave();
        slave.SetChannels({{18, 0x2ABCD, 0x43, 0}});
        sim::biss::SlaveRegisterFile &regs = slave.Registers();
        regs.Write(0x41, kEdsBank);
        for (uint8_t i = 0; i < 63; ++i) {
            regs.SetBankByte(kEdsBank, i, static_cast<uint8_t>(3 * i + 7));
            regs.SetBankByte(kSecondPartBank, i, static_cast<uint8_t>(0xF0 - i));
        }
        regs.SetBankByte(kEdsBank, 0, 0x01);
        regs.SetBankByte(kEdsBank, 1, 1);
        regs.SetBankByte(kEdsBank, 20, kSecondPartBank);
        regs.SetBankByte(kSecondPartBank, 0, 0x02);
        regs.SetBankByte(kSecondPartBank, 1, 1);
        regs.SealBank(kEdsBank);
        regs.SealBank(kSecondPartBank);
        Select();
        ConfigureChannel(0, 24, 0x43);
        EXPECT_EQ(0, BISS(BISS_WriteMasterParams)(handle_));
        return slave;
    }

    std::array<BISS_U32, 256> Image(BISS_U32 handle)
    {
        std::array<BISS_U32, 256> image{};
        for (BISS_U32 i = 0; i < 256; ++i)
            EXPECT_EQ(0, BISS(BISS_GetEdsRegister)(handle, i, &image[i]));
        return image;
    }
};

TEST_F(EdsTest, ReadingFillsTheImageFromBothParts)
{
    sim::biss::SimBissSlave &slave = PlugSlaveWithEds();
    EXPECT_EQ(0, BISS(BISS_ReadEdsParams)(handle_, 0));
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_GetComParam)(handle_, eBISS_CP_EDS_BANK, &value));
    EXPECT_EQ(kEdsBank, value);
    const auto image = Image(handle_);
    for (uint8_t i = 0; i < 64; ++i) {
        ASSERT_EQ(slave.Registers().BankByte(kEdsBank, i), image[i]) << "byte " << int{i};
        ASSERT_EQ(slave.Registers().BankByte(kSecondPartBank, i), image[64 + i]) << "byte " << 64 + i;
    }
    EXPECT_EQ(0u, image[128]) << "no third bank";
    EXPECT_EQ(0, BISS(BISS_GetEdsParam)(handle_, 67, &value));
    EXPECT_EQ(0x02u, value);
}

TEST_F(EdsTest, ABankWhoseChecksumDoesNotMatchGives23)
{
    sim::biss::SimBissSlave &slave = PlugSlaveWithEds();
    slave.Registers().SetBankByte(kSecondPartBank, 40, 0x00);
    EXPECT_EQ(eBISS_EDS_CHECKSUM, BISS(BISS_ReadEdsParams)(handle_, 0));
    slave.Registers().SealBank(kSecondPartBank);
    slave.Registers().SetBankByte(kEdsBank, 40, 0x00);
    EXPECT_EQ(eBISS_EDS_CHECKSUM, BISS(BISS_ReadEdsParams)(handle_, 0));
    EXPECT_EQ(23u, LastCode());
}

TEST_F(EdsTest, ASlaveWithoutAnEdsGives21AndLeavesTheImage)
{
    sim::biss::SimBissSlave &slave = PlugSlaveWithEds();
    slave.Registers().Write(0x41, 0);
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 10, 0x5A));
    EXPECT_EQ(eBISS_EDS_NOT_USED, BISS(BISS_ReadEdsParams)(handle_, 0));
    BISS_U32 value = 0;
    EXPECT_EQ(0, BISS(BISS_GetEdsRegister)(handle_, 10, &value));
    EXPECT_EQ(0x5Au, value);
    EXPECT_EQ(eBISS_EDS_INVALID, BISS(BISS_WriteEdsParams)(handle_, 0)) << "nothing says which bank to write";
    EXPECT_EQ(eBISS_INVALID_PARAMETER, BISS(BISS_ReadEdsParams)(handle_, 8));
}

TEST_F(EdsTest, AWrittenImageReadsBackTheSameOnANewHandle)
{
    sim::biss::SimBissSlave &slave = PlugSlaveWithEds();
    ASSERT_EQ(0, BISS(BISS_ReadEdsParams)(handle_, 0));
    ASSERT_EQ(0, BISS(BISS_SetEdsParam)(handle_, 14, 0xBEEF));
    ASSERT_EQ(0, BISS(BISS_SetEdsParam)(handle_, 81, 0x01020304));
    EXPECT_EQ(0, BISS(BISS_WriteEdsParams)(handle_, 0));
    EXPECT_EQ(0xBE, slave.Registers().BankByte(kEdsBank, 14));
    EXPECT_EQ(0x04, slave.Registers().BankByte(kSecondPartBank, 19));
    const auto written = Image(handle_);

    // The adapter is the new handle's alone once the first is closed.
    ASSERT_EQ(0, BISS(BISS_Close)(handle_));
    ASSERT_EQ(0, BISS(BISS_Open)(&handle_));
    Select();
    ConfigureChannel(0, 24, 0x43);
    EXPECT_EQ(0, BISS(BISS_ReadEdsParams)(handle_, 0));
    EXPECT_EQ(written, Image(handle_)) << "bytes and checksums alike";
}

TEST_F(EdsTest, ARefusedOrUnkeptByteEndsTheWrite)
{
    sim::biss::SimBissSlave &slave = PlugSlaveWithEds();
    ASSERT_EQ(0, BISS(BISS_ReadEdsParams)(handle_, 0));
    slave.Registers().SetWriteProtected(0x02, true);
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 2, 0x99));
    EXPECT_EQ(eBISS_REGISTER_REJECTED, BISS(BISS_WriteEdsParams)(handle_, 0)) << "the slave refuses the write";
    // A value no register can hold is written as its low byte and fails the verification.
    slave.Registers().SetWriteProtected(0x02, false);
    ASSERT_EQ(0, BISS(BISS_SetEdsRegister)(handle_, 2, 0x199));
    EXPECT_EQ(eBISS_VERIFY_FAILED, BISS(BISS_WriteEdsParams)(handle_, 0));
}

} // namespace
