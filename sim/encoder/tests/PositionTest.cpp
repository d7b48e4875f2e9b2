// Position, zero set and error reporting, seen from the line.
#include "EncoderOnLine.h"

using namespace sim::kelto;

namespace {

class PositionTest : public test::EncoderOnLine {
protected:
    // The 32-bit position word of the 54-bit frame (bits 22-53).
    int32_t Position()
    {
        const auto scd = host.Frame();
        EXPECT_EQ(scd.bits, 54u);
        return static_cast<int32_t>(scd.data >> 22);
    }

    uint32_t EepromOffset()
    {
        uint32_t offset = 0;
        for (uint16_t a = 19; a <= 22; ++a)
            offset = offset << 8 | *host.ReadEeprom(a);
        return offset;
    }
};

} // namespace

TEST_F(PositionTest, ScaleReadInCountsOfTheResolution)
{
    encoder.SetPosition(1234.5);
    const auto scd = host.Frame();
    EXPECT_TRUE(scd.answered);
    EXPECT_EQ(scd.data, 0x134B532EDull); // 1234 counts, no error, VEF 12 and 11

    host.WriteRam(18, 10); // 10 um per count
    EXPECT_EQ(Position(), 123);
    host.WriteRam(18, 255); // 0.976 um per count
    EXPECT_EQ(Position(), 1264);
    host.WriteRam(18, 1);

    encoder.SetPosition(-2.5);
    EXPECT_EQ(Position(), -3);
    host.WriteRam(16, 0x02); // counting down
    EXPECT_EQ(Position(), 3);
}

TEST_F(PositionTest, MovesWithVirtualTime)
{
    encoder.SetSpeed(1000.0); // 1 mm/s
    EXPECT_EQ(Position(), 0);
    clock.Advance(2500);
    EXPECT_EQ(Position(), 2);
    clock.Advance(1000000);
    EXPECT_EQ(Position(), 1002);
    encoder.SetMotion([](double seconds) { return seconds < 1.0 ? 500.0 : -500.0; });
    EXPECT_EQ(Position(), 500);
    clock.Advance(1000000);
    EXPECT_EQ(Position(), -500);
}

TEST_F(PositionTest, ZeroSetStoresTheOffsetForTheShift)
{
    encoder.SetPosition(5000.2);
    EXPECT_EQ(Position(), 5000);

    // The preset command: read the command byte, set bit 1, write it back.
    const uint8_t command = *host.ReadRam(14);
    host.WriteRam(14, command | 0x02);
    EXPECT_EQ(Position(), 0);
    EXPECT_EQ(host.ReadRam(14), uint8_t{0});
    EXPECT_EQ(encoder.ZeroSetsCarriedOut(), 1u);
    EXPECT_EQ(EepromOffset(), 0xFFFFEC78u); // -5000
    EXPECT_EQ(host.ReadRam(22), uint8_t{0x78});

    // A zero shift of -1000 counts, as the tool writes it: EEPROM then RAM.
    const uint32_t shifted = EepromOffset() + 1000;
    for (uint16_t a = 19; a <= 22; ++a) {
        const uint8_t byte = static_cast<uint8_t>(shifted >> (8 * (22 - a)));
        host.WriteEeprom(a, byte);
        host.WriteRam(a, byte);
    }
    EXPECT_EQ(Position(), 1000);
    encoder.SetPosition(5100.0);
    EXPECT_EQ(Position(), 1100);

    // The offset survives a power cycle.
    encoder.SwitchOff();
    encoder.SwitchOn();
    EXPECT_EQ(Position(), 1100);
}

TEST_F(PositionTest, ErrorsAreReportedLatchedAndStored)
{
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0});
    encoder.SetErrors(error::kNoMagnetBand);
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0x20});
    const auto scd = host.Frame();
    EXPECT_EQ((scd.data >> 21) & 1, 0u); // nE
    EXPECT_EQ((scd.data >> 20) & 1, 1u); // nW

    encoder.SetErrors(error::kSignalLow);
    const auto warned = host.Frame();
    EXPECT_EQ((warned.data >> 21) & 1, 1u);
    EXPECT_EQ((warned.data >> 20) & 1, 0u);

    encoder.SetErrors(0);
    EXPECT_EQ(host.ReadRam(26), uint8_t{0});
    EXPECT_EQ(host.ReadRam(27), uint8_t{0x28});
    EXPECT_EQ(host.ReadRam(36), uint8_t{0x28});
    EXPECT_EQ(host.ReadRam(37), uint8_t{0x28});

    // The host clears the latches; the stored errors stay, also in the EEPROM.
    host.WriteRam(37, 0);
    host.WriteRam(27, 0);
    EXPECT_EQ(host.ReadRam(27), uint8_t{0});
    EXPECT_EQ(host.ReadRam(37), uint8_t{0});
    EXPECT_EQ(host.ReadRam(36), uint8_t{0x28});
    encoder.SwitchOff();
    encoder.SwitchOn();
    EXPECT_EQ(host.ReadRam(36), uint8_t{0x28});
    EXPECT_EQ(host.ReadEeprom(36), uint8_t{0x28});
}
