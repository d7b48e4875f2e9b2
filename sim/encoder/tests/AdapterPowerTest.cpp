// The adapter powers the encoder while the host holds its device open.
#include "AdapterPowerSupply.h"
#include "LineHost.h"
#include "SimKeltoEncoder.h"

#include "UsbAdapterRig.h"

#include "sim/dravio/SimDriver.h"

#include <gtest/gtest.h>

#include <string>

using namespace sim::kelto;

TEST(AdapterPower, ClosingTheAdapterSwitchesTheEncoderOff)
{
    dravio::sim::SimDriver driver;
    sim::biss::UsbAdapterRig rig(driver);
    ASSERT_EQ(rig.link.Status(), 0u);
    SimKeltoEncoder encoder;
    encoder.Attach(rig.line.AddSlave());
    encoder.SetPowerSupply(PoweredWhileAdapterOpen(driver, rig.link.DeviceNumber()));
    test::LineHost host(rig.line);

    EXPECT_EQ(host.Frame().bits, 0u);
    EXPECT_FALSE(encoder.Powered());

    const dravio::DriverSeam &seam = driver.Seam();
    const std::wstring path = L"\\\\.\\Dravio_Device" + std::to_wstring(rig.link.DeviceNumber());
    const auto open = [&] {
        return seam.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    HANDLE device = open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host.Frame().bits, 54u);
    host.WriteRam(0x1C, 50);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{50});

    seam.CloseHandle(device);
    EXPECT_EQ(host.Frame().bits, 0u);
    device = open();
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    EXPECT_EQ(host.ReadRam(0x1C), uint8_t{10});
    seam.CloseHandle(device);
}
