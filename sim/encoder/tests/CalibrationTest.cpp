// Ring parameters, the pseudo-random code and the calibration frame.
#include "EncoderOnLine.h"
#include "KeltoPseudoRandomCode.h"

#include <algorithm>
#include <vector>

using namespace sim::kelto;

TEST(KeltoPseudoRandomCode, StartValuesAndLengths)
{
    struct Case {
        unsigned length, count;
        uint32_t start;
    };
    const Case cases[] = {{6, 10, 8}, {6, 62, 31}, {7, 100, 99}, {8, 200, 177}, {6, 0, 32}, {9, 350, 485}, {10, 1000, 56}};
    for (const Case &c : cases)
        EXPECT_EQ(CodeStartValue(c.length, c.count), c.start) << c.length << " " << c.count;
    EXPECT_FALSE(CodeStartValue(5, 10).has_value());
    EXPECT_FALSE(CodeStartValue(6, 64).has_value());

    EXPECT_EQ(CodeLength(62), 6u);
    EXPECT_EQ(CodeLength(63), 6u); // taken as 62
    EXPECT_EQ(CodeLength(64), 7u);
    EXPECT_EQ(CodeLength(350), 9u);
    EXPECT_EQ(CodeLength(32766), 15u);
    EXPECT_EQ(CodeLength(32768), 0u);
    EXPECT_EQ(LegacyCodeLengthCode(7), 8);
    EXPECT_EQ(LegacyCodeLengthCode(9), 0);
    EXPECT_EQ(LegacyCodeLengthCode(15), 1);
}

namespace {

class CalibrationTest : public test::EncoderOnLine {
protected:
    // Ring parameters into the EEPROM, a restart, then the calibration format in RAM.
    void Configure(uint16_t poles, uint16_t start, uint8_t length)
    {
        const uint8_t bytes[5] = {uint8_t(poles >> 8), uint8_t(poles), uint8_t(start >> 8), uint8_t(start), length};
        for (uint16_t a = 0; a < 5; ++a)
            host.WriteEeprom(a, bytes[a]);
        encoder.SwitchOff();
        encoder.SwitchOn();
        host.WriteRam(17, *host.ReadRam(17) | 0x38);
    }

    // The calibration frame: the first 40 bits the encoder sends.
    struct Calibration {
        unsigned pole, first, second;
        bool ok;
    };
    Calibration Read()
    {
        const auto scd = host.Frame();
        const uint64_t d = scd.data >> (scd.bits - 40);
        const uint32_t high = uint32_t(d >> 32), low = uint32_t(d);
        return {((high & 0x7F) << 8) + (low >> 24), (low >> 16) & 0xFF, (low >> 8) & 0xFF, ((low >> 7) & 1) != 0};
    }

    static double PoleCentre(unsigned pole) { return (pole + 0.5) * 360.0 / 350.0; }
};

} // namespace

TEST_F(CalibrationTest, FramesCarryPoleAndSignalsOfEachDirection)
{
    encoder.MountRing(350);
    Configure(350, 485, 9);
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0});

    encoder.SetPosition(PoleCentre(3));
    Calibration c = Read();
    EXPECT_EQ(c.pole, 3u);
    EXPECT_EQ(c.first, 120u); // reference level 250 at 1 um
    EXPECT_EQ(c.second, 130u);
    EXPECT_TRUE(c.ok);

    CalibrationSignals signals;
    signals.backwardFirst = 0.9;
    signals.backwardSecond = 1.0;
    encoder.SetCalibrationSignals(signals);
    encoder.SetSpeed(-360.0 / 350.0 * 100); // 100 poles per second backwards
    clock.Advance(20000);
    c = Read();
    EXPECT_EQ(c.pole, 1u);
    EXPECT_EQ(c.first, 113u);
    EXPECT_EQ(c.second, 125u);
    clock.Advance(20000);
    EXPECT_EQ(Read().pole, 349u); // through pole 0 to the end of the ring

    encoder.SetSpeed(0);
    host.WriteRam(17, 0);
    encoder.SetPosition(90.0);
    const auto scd = host.Frame();
    EXPECT_EQ(int32_t(scd.data >> 22), 175000); // a quarter of 350 poles of 2000 counts
}

TEST_F(CalibrationTest, RingSteppedWithTheFramesTurnsForwardThenBack)
{
    encoder.MountRing(350);
    Configure(350, 485, 9);
    CalibrationSignals signals;
    signals.backwardFirst = 0.9;
    signals.backwardSecond = 1.0;
    encoder.SetCalibrationSignals(signals);

    // A third of a pole per frame, forward from the middle of pole 348 for 12 frames, then back.
    const double step = 360.0 / 350.0 / 3;
    encoder.SetPosition(PoleCentre(348));
    encoder.SetFrameMotion([=](uint64_t frames) {
        const double forward = static_cast<double>(std::min<uint64_t>(frames, 12));
        const double back = static_cast<double>(frames > 12 ? frames - 12 : 0);
        return PoleCentre(348) + step * (forward - back);
    });
    std::vector<unsigned> poles;
    for (int frame = 0; frame < 24; ++frame) {
        const Calibration c = Read();
        ASSERT_TRUE(c.ok);
        poles.push_back(c.pole);
        if (frame == 11) {
            EXPECT_EQ(c.first, 120u) << "forward";
            EXPECT_EQ(c.second, 130u);
        } else if (frame == 12) {
            EXPECT_EQ(c.first, 113u) << "backward";
            EXPECT_EQ(c.second, 125u);
        }
    }
    const std::vector<unsigned> expected = {348, 349, 349, 349, 0, 0, 0, 1,   1,   1,   2,   2,
                                            2,   1,   1,   1,   0, 0, 0, 349, 349, 349, 348, 348};
    EXPECT_EQ(poles, expected);

    // The frames of a control-channel access move the turntable on as well.
    encoder.SetPosition(PoleCentre(10));
    encoder.SetStepPerFrame(360.0 / 350.0 / 100);
    EXPECT_EQ(Read().pole, 10u);
    ASSERT_TRUE(host.ReadRam(17).has_value());
    EXPECT_GT(Read().pole, 10u);
}

TEST_F(CalibrationTest, ConfigurationThatMissesTheRingIsInconsistent)
{
    struct Case {
        uint16_t ringPoles, poles, start;
        uint8_t length;
    };
    const Case cases[] = {
        {348, 350, 485, 9}, // another ring
        {350, 350, 484, 9}, // wrong start value
        {350, 350, 485, 0}, // the older length code
        {0, 350, 485, 9},   // a scale, not a ring
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.ringPoles << " " << c.poles << " " << c.start << " " << int(c.length));
        if (c.ringPoles)
            encoder.MountRing(c.ringPoles);
        else
            encoder.MountScale();
        Configure(c.poles, c.start, c.length);
        EXPECT_FALSE(Read().ok);
        EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0x40});
    }

    // Deleting the calibration (all zeros) is a linear encoder again.
    encoder.MountRing(350);
    Configure(0, 0, 0);
    EXPECT_TRUE(Read().ok);
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0});
}

namespace {


class OlderFirmwareTest : public test::EncoderOnLine {
protected:
    OlderFirmwareTest() : EncoderOnLine(*KeltoScenario("fw299999")) {}
};

} // namespace

TEST_F(OlderFirmwareTest, CodeLengthInTheOlderCode)
{
    encoder.MountRing(100);
    const uint8_t bytes[5] = {0, 100, 0, 99, 8}; // 7 bits: code 8
    for (uint16_t a = 0; a < 5; ++a)
        host.WriteEeprom(a, bytes[a]);
    encoder.SwitchOff();
    encoder.SwitchOn();
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0});
    host.WriteEeprom(4, 7);
    encoder.SwitchOff();
    encoder.SwitchOn();
    EXPECT_EQ(host.ReadRegister(0x48), uint8_t{0x40});
}
