// Single-cycle data in every layout the configuration tool decodes. Golden
// frames were worked out by hand from the layout tables (CRC-6 x^6 + x + 1,
// start 0, sent inverted); SSI frames are read back the way the monitor
// reads them.
#include "EncoderOnLine.h"
#include "KeltoFrames.h"

#include "ChannelSetup.h"

#include <cstring>

using namespace sim::kelto;
using sim::biss::LineProtocol;

namespace {

uint64_t Bits(uint64_t d, unsigned low, unsigned high)
{
    return (d >> low) & ((1ull << (high - low + 1)) - 1);
}

// Position, error flag and VEF values as the monitor takes them from an SSI frame.
struct SsiReading {
    uint32_t position;
    bool error;
    unsigned vef;
    unsigned vefLow;
};

SsiReading ReadSsi(uint64_t d, unsigned length, unsigned type)
{
    const unsigned w = length == 32 ? 28 : length - 2;
    switch (type) {
    case 0: return {uint32_t(Bits(d, 0, w - 1)), Bits(d, length - 1, length - 1) != 0, 0, 0};
    case 1: return {uint32_t(Bits(d, 8, w + 7)), Bits(d, length + 7, length + 7) != 0, unsigned(Bits(d, 0, 7) / 6.66), 0};
    case 2: return {uint32_t(Bits(d, 16, w + 15)), Bits(d, 0, 7) != 0, unsigned(Bits(d, 8, 15) / 6.66), 0};
    default: return {uint32_t(Bits(d, 16, w + 15)), Bits(d, 0, 7) != 0, unsigned(Bits(d, 12, 15)), unsigned(Bits(d, 8, 11))};
    }
}

} // namespace

TEST(KeltoFrames, BissFramesMatchTheGoldenBits)
{
    const ScdFrame plain = BissFrame(40, 1234, Diagnosis{0, 12, 11});
    EXPECT_EQ(plain.bits, 40u);
    EXPECT_EQ(plain.data, 0x4D2D4ull);

    // nE cleared by an error; the position is still sent.
    EXPECT_EQ(BissFrame(40, uint32_t(-5), Diagnosis{error::kNoMagnetBand, 12, 11}).data, 0xFFFFFFFB6Cull);

    const ScdFrame diagnosis = BissFrame(54, 1234, Diagnosis{0, 12, 11});
    EXPECT_EQ(diagnosis.bits, 54u);
    EXPECT_EQ(diagnosis.data, 0x134B532EDull);
    EXPECT_EQ(diagnosis.data >> 14, plain.data); // the first 40 bits are the short frame

    // A low signal only clears nW; VEF 2 and 1 in bits 10-13 and 6-9.
    const ScdFrame warned = BissFrame(54, 0x08000000, Diagnosis{error::kSignalLow, 2, 1});
    EXPECT_EQ(warned.data, 0x20000002C885Full);
    EXPECT_EQ(Bits(warned.data, 21, 21), 1u);
    EXPECT_EQ(Bits(warned.data, 20, 20), 0u);

    // Calibration format: pole 17, signal values 120 and 130, frame valid.
    EXPECT_EQ(BissFrame(40, CalibrationWord(17, 120, 130), Diagnosis{}).data, 0x117882EBull);
}

TEST(KeltoFrames, SsiLayoutsOfEveryLengthAndType)
{
    for (unsigned length : {24u, 25u, 26u, 32u}) {
        for (unsigned type = 0; type < 4; ++type) {
            for (uint8_t errors : {uint8_t{0}, error::kDriveInMk}) {
                const ScdFrame frame = SsiFrame({length, type, false}, 0x12345, Diagnosis{errors, 9, 4});
                SCOPED_TRACE(::testing::Message() << length << " bits, type " << type << ", errors " << int(errors));
                EXPECT_EQ(frame.bits, length + (type == 0 ? 0 : type == 1 ? 8 : 16));
                const SsiReading reading = ReadSsi(frame.data, length, type);
                EXPECT_EQ(reading.position, 0x12345u);
                EXPECT_EQ(reading.error, errors != 0);
                EXPECT_EQ(reading.vef, type == 0 ? 0u : 9u);
                EXPECT_EQ(reading.vefLow, type == 3 ? 4u : 0u);
                if (type >= 2) {
                    EXPECT_EQ(Bits(frame.data, 0, 7), errors);
                }
            }
        }
    }
}

TEST(KeltoFrames, SsiNegativeAndGrayPositions)
{
    // 22 position bits: -2097152 is 0x200000.
    EXPECT_EQ(SsiFrame({24, 0, false}, uint32_t(-2097152), Diagnosis{}).data, 0x200000ull);
    // Gray: 4 goes out as 0b110.
    EXPECT_EQ(SsiFrame({24, 0, true}, 4, Diagnosis{}).data, 0b110ull);
    EXPECT_EQ(SsiLength(0x00), 24u);
    EXPECT_EQ(SsiLength(0x10), 25u);
    EXPECT_EQ(SsiLength(0x20), 26u);
    EXPECT_EQ(SsiLength(0x30), 32u);
}

TEST(KeltoFrames, FirmwareChoosesTheFrameLayout)
{
    struct Case {
        const char *scenario;
        uint8_t output;
        LineProtocol protocol;
        unsigned bits;
    };
    const Case cases[] = {
        {"fw141000", 0x00, LineProtocol::BiSS, 40},
        {"fw141001", 0x00, LineProtocol::BiSS, 54},
        {"fw142999", 0x08, LineProtocol::BiSS, 54}, // frame type not yet selectable
        {"fw143000", 0x08, LineProtocol::BiSS, 40},
        {"fw300000", 0x08, LineProtocol::BiSS, 54},
        {"fw307000", 0x08, LineProtocol::BiSS, 40},
        {"fw129000", 0x01, LineProtocol::Ssi, 24},
        {"fw129001", 0x01, LineProtocol::Ssi, 32},
        {"fw137000", 0x01, LineProtocol::Ssi, 32},
        {"fw137001", 0x01, LineProtocol::Ssi, 40},
        {"fw139001", 0x31, LineProtocol::Ssi, 48},
        {"standard", 0x09, LineProtocol::Ssi, 24}, // standard frame type: the plain SSI word
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.scenario);
        KeltoModel model = *KeltoScenario(c.scenario);
        model.output = c.output;
        sim::biss::SimBissLine line;
        SimKeltoEncoder encoder(model);
        encoder.Attach(line.AddSlave());
        test::LineHost host(line);
        host.UseProtocol(c.protocol);
        const auto scd = host.Frame();
        EXPECT_TRUE(scd.answered);
        EXPECT_EQ(scd.bits, c.bits);
    }
}

namespace {

class OutputModeTest : public test::EncoderOnLine {
protected:
    OutputModeTest() : EncoderOnLine(*KeltoScenario("ssi-output")) {}
};

} // namespace

TEST_F(OutputModeTest, SsiAtPowerUpAndBissAtOnceFromRam)
{
    EXPECT_TRUE(encoder.OutputsSsi());
    // Clocked as BiSS it shifts out its SSI word all the same, but sends no control bit back.
    EXPECT_TRUE(host.Frame().answered);
    EXPECT_FALSE(host.ReadRam(16).has_value());

    host.UseProtocol(LineProtocol::Ssi);
    const auto ssi = host.Frame();
    EXPECT_TRUE(ssi.answered);
    EXPECT_EQ(ssi.bits, 40u); // 24-bit word, both VEF values and the error byte

    // Register writes carried by SSI frames still land.
    host.WriteRam(16, 0x00);
    EXPECT_FALSE(encoder.OutputsSsi());
    host.UseProtocol(LineProtocol::BiSS);
    EXPECT_EQ(host.Frame().bits, 54u);
    EXPECT_EQ(host.ReadEeprom(16), uint8_t{0x01});

    encoder.SwitchOff();
    EXPECT_FALSE(host.Frame().answered); // unpowered, it leaves the line alone
    encoder.SwitchOn();
    EXPECT_TRUE(encoder.OutputsSsi());
    EXPECT_FALSE(host.ReadRam(16).has_value());
}

// A master set for a longer SSI frame than the encoder's word reads the word
// and zeros after it, a frame without fault; register writes carried by those
// frames reach the encoder whatever its SSI length and frame type.
TEST(SsiOutputTest, EveryLengthAndFrameTypeTakesRegisterWritesInALongerSsiFrame)
{
    sim::biss::ChannelSetup channel;
    channel.used = true;
    channel.dataBits = 40;
    channel.protocol = LineProtocol::Ssi;
    channel.protocolKnown = true;

    for (const uint8_t output : {0x01, 0x09, 0x19, 0x29, 0x39}) {
        SCOPED_TRACE(static_cast<int>(output));
        sim::biss::SimBissLine line;
        KeltoModel model;
        model.output = output;
        SimKeltoEncoder encoder(model);
        encoder.Attach(line.AddSlave());
        test::LineHost host(line);
        host.UseProtocol(LineProtocol::Ssi);

        const sim::biss::LineFrame frame = line.RunFrame(LineProtocol::Ssi, false);
        ASSERT_TRUE(frame.answered);
        ASSERT_LE(frame.bits.size(), 40u);
        const sim::biss::ScdCapture capture = sim::biss::CaptureScd({channel}, frame.bits, frame.ssiWord);
        EXPECT_EQ(capture.validMask, 1u);
        const unsigned missing = 40 - static_cast<unsigned>(frame.bits.size());
        EXPECT_EQ(capture.data[0] & ((1ull << missing) - 1), 0u);

        host.WriteRam(16, 0x00);
        EXPECT_FALSE(encoder.OutputsSsi());
        EXPECT_EQ(encoder.Eeprom(16), output);
    }
}
