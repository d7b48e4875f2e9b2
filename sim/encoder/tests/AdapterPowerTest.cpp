// The adapter powers the encoder while the host holds its device open.
#include "AdapterPowerSupply.h"
#include "LineHost.h"
#include "SimKeltoEncoder.h"

#include "UsbAdapterRig.h"

#include "sim/dravio/SimDriver.h"

#include <gtest/gtest.h>

#include <string>

using namespace sim::kelto;

namespace {

class AdapterPowerTest : public ::testing::Test {
protected:
    explicit AdapterPowerTest(KeltoModel model = {}) : encoder(std::move(model)), host(rig.line)
    {
        encoder.Attach(rig.line.AddSlave());
        encoder.SetPowerSupply(PoweredWhileAdapterOpen(driver, rig.link.DeviceNumber()));
    }

    HANDLE OpenAdapter()
    {
        const std::wstring path = L"\\\\.\\Dravio_Device" + std::to_wstring(rig.link.DeviceNumber());
        return seam.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    }

    dravio::sim::SimDriver driver;
    sim::biss::UsbAdapterRig rig{driver};
    const dravio::DriverSeam &seam = driver.Seam();
    SimKeltoEncoder encoder;
    test::LineHost host;
};

KeltoModel SsiEncoder()
{
    KeltoModel model;
    model.output = output::kSsi;
    return model;
}

class SsiEncoderPowerTest : public AdapterPowerTest {
protected:
    SsiEncoderPowerTest() : AdapterPowerTest(SsiEncoder()) {}
};

} // namespace

TEST_F(AdapterPowerTest, ClosingTheAdapterSwitchesTheEncoderOff)
{
    ASSERT_EQ(rig.link.Status(), 0u);
    EXPECT_EQ(host.Frame().bits, 0u);
    EXPECT_FALSE(encoder.Powered());

    HANDLE device = OpenAdapter();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host.Frame().bits, 54u);
    host.WriteRam(0x1C, 50);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{50});

    seam.CloseHandle(device);
    EXPECT_EQ(host.Frame().bits, 0u);
    device = OpenAdapter();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{10});
    seam.CloseHandle(device);
}

// A restart closes the adapter and opens it again before the next frame: the
// encoder still went through a power cycle and runs from its EEPROM again.
TEST_F(SsiEncoderPowerTest, ReopeningWithoutAnAccessBetweenIsAPowerCycle)
{
    HANDLE device = OpenAdapter();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    host.UseProtocol(sim::biss::LineProtocol::Ssi);
    ASSERT_TRUE(host.Frame().answered);
    // Switched to BiSS and to the calibration format in RAM only, as the tool leaves it.
    encoder.SetRam(address::kOutput, 0);
    ASSERT_FALSE(encoder.OutputsSsi());
    host.UseProtocol(sim::biss::LineProtocol::BiSS);
    const uint8_t calibrationFormat = static_cast<uint8_t>(encoder.Ram(address::kFormat) | format::kCalibration << 3);
    host.WriteRam(address::kFormat, calibrationFormat);
    ASSERT_EQ(host.ReadRam(address::kFormat), calibrationFormat);

    // Holding a second handle across the first one's close is no outage.
    HANDLE second = OpenAdapter();
    seam.CloseHandle(device);
    EXPECT_EQ(host.ReadRam(address::kFormat), calibrationFormat);
    EXPECT_FALSE(encoder.OutputsSsi());

    seam.CloseHandle(second);
    device = OpenAdapter();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    host.UseProtocol(sim::biss::LineProtocol::Ssi);
    host.Frame();
    EXPECT_TRUE(encoder.Powered());
    EXPECT_TRUE(encoder.OutputsSsi());
    EXPECT_EQ(encoder.Ram(address::kOutput), encoder.Eeprom(address::kOutput));
    EXPECT_EQ(encoder.Ram(address::kFormat), encoder.Eeprom(address::kFormat));
    EXPECT_NE(encoder.Ram(address::kFormat), calibrationFormat);
    EXPECT_TRUE(host.Frame().answered);
    seam.CloseHandle(device);
}

// Pulling the adapter out takes the encoder's supply with it: on the line it
// is as silent as a lost encoder.
TEST_F(AdapterPowerTest, UnpluggingTheAdapterSilencesTheEncoder)
{
    HANDLE device = OpenAdapter();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    ASSERT_EQ(host.Frame().bits, 54u);
    ASSERT_EQ(host.ReadRegister(SimKeltoEncoder::kErrorRegister), uint8_t{0});

    ASSERT_EQ(driver.RemoveDevice(rig.link.DeviceNumber()), 0u);
    EXPECT_EQ(host.Frame().bits, 0u);
    EXPECT_FALSE(encoder.Powered());
    EXPECT_FALSE(host.ReadRegister(SimKeltoEncoder::kErrorRegister).has_value());
    EXPECT_EQ(host.WriteRegister(3, 1), sim::biss::TransferOutcome::Rejected);
    seam.CloseHandle(device);
}
