// The mailbox as a host reaches it: register accesses over the control
// channel, one bit per frame, on slave 0.
#include "EncoderOnLine.h"

#include <functional>

using namespace sim::kelto;
using sim::biss::TransferOutcome;

namespace {

class MailboxTest : public test::EncoderOnLine {};

} // namespace

TEST_F(MailboxTest, ReadsAndWritesEepromAndRam)
{
    EXPECT_EQ(host.ReadEeprom(0x0150), uint8_t{'P'});
    EXPECT_EQ(host.ReadEeprom(196), uint8_t{'H'});
    EXPECT_EQ(host.ReadEeprom(0x3F), uint8_t{0xF2});
    EXPECT_EQ(host.ReadEeprom(2047), uint8_t{0xFF});

    host.WriteEeprom(1500, 0x5A);
    EXPECT_EQ(encoder.Eeprom(1500), 0x5A);
    EXPECT_EQ(host.ReadEeprom(1500), uint8_t{0x5A});

    host.WriteRam(100, 0xA5);
    EXPECT_EQ(host.ReadRam(100), uint8_t{0xA5});
    EXPECT_EQ(encoder.Eeprom(100), encoder.Eeprom(4)); // the mirror is untouched
}

TEST_F(MailboxTest, PowerUpLoadsTheWorkingSetIntoRam)
{
    EXPECT_EQ(host.ReadRam(0x35), uint8_t{0x43});
    host.WriteRam(0x1C, 99);
    host.WriteEeprom(0x1D, 42);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{99});
    EXPECT_EQ(host.ReadRam(0x1D), uint8_t{5});
    EXPECT_EQ(encoder.Eeprom(0x1C), 10);

    encoder.SwitchOff();
    EXPECT_FALSE(host.ReadRam(0x1C).has_value());
    encoder.SwitchOn();
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{10});
    EXPECT_EQ(host.ReadRam(0x1D), uint8_t{42});
    EXPECT_EQ(host.ReadRam(100), uint8_t{0}); // beyond the working set
}

TEST_F(MailboxTest, OnlyANewSequenceNumberStartsACommand)
{
    const unsigned before = encoder.MailboxCommands();
    host.WriteCommand(700, 0x11, 0x21); // sequence 2: write EEPROM
    host.WriteCommand(700, 0x22, 0x21); // the same command byte again
    EXPECT_EQ(encoder.Eeprom(700), 0x11);
    host.WriteCommand(700, 0x22, 0x31);
    EXPECT_EQ(encoder.Eeprom(700), 0x22);
    EXPECT_EQ(encoder.MailboxCommands(), before + 2);
    EXPECT_EQ(host.ReadRegister(12), uint8_t(before + 2));
}

TEST_F(MailboxTest, AddressesBeyondTheMemoryAreIgnored)
{
    EXPECT_EQ(host.ReadEeprom(0x150), uint8_t{'P'});
    EXPECT_EQ(host.ReadEeprom(2048), uint8_t{'P'}); // the result stays as it was
    EXPECT_EQ(host.ReadRam(128), uint8_t{'P'});
    host.WriteRam(200, 0x01); // would be the output byte if the address wrapped
    EXPECT_FALSE(encoder.OutputsSsi());
    host.WriteCommand(0, 0, 0x46); // operation 6 does not exist
    EXPECT_EQ(host.ReadRegister(15), uint8_t{'P'});
}

TEST_F(MailboxTest, ReportingRegistersRefuseWrites)
{
    EXPECT_EQ(host.WriteRegister(15, 1), TransferOutcome::Rejected);
    EXPECT_EQ(host.WriteRegister(12, 1), TransferOutcome::Rejected);
    EXPECT_EQ(host.WriteRegister(0x48, 1), TransferOutcome::Rejected);
    EXPECT_EQ(host.WriteRegister(3, 1), TransferOutcome::Ok);
    EXPECT_EQ(host.ReadRegister(3), uint8_t{1});
}

TEST_F(MailboxTest, FaultsSilenceTheMailboxOrTheWholeEncoder)
{
    encoder.SetMailboxAnswers(false);
    EXPECT_FALSE(host.ReadEeprom(0x150).has_value());
    host.WriteEeprom(800, 0x77);
    EXPECT_EQ(encoder.Eeprom(800), 0xFF);
    EXPECT_TRUE(host.Frame().answered);

    encoder.SetMailboxAnswers(true);
    EXPECT_EQ(host.ReadEeprom(0x150), uint8_t{'P'});

    encoder.SetLost(true);
    EXPECT_FALSE(host.ReadRegister(0x48).has_value());
    EXPECT_EQ(host.WriteRegister(3, 1), TransferOutcome::Rejected);
    EXPECT_EQ(host.Frame().bits, 0u);

    encoder.SetLost(false);
    EXPECT_EQ(host.Frame().bits, 54u);
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0});
}

TEST_F(MailboxTest, PowerSupplyDecidesAtEveryAccess)
{
    uint32_t period = 1;
    encoder.SetPowerSupply([&] { return period; });
    host.WriteRam(0x1C, 77);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{77});
    period = 0;
    EXPECT_EQ(host.Frame().bits, 0u);
    EXPECT_FALSE(encoder.Powered());
    period = 2;
    EXPECT_EQ(host.Frame().bits, 54u);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{10});

    // An outage that began and ended between two accesses.
    host.WriteRam(0x1C, 77);
    period = 3;
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{10});
}
