// Control requests through the simulated driver: records, lengths, and
// statuses passed through whether the driver answers at once or later.
#include <cstring>
#include <string>

#include "SimDriverFixture.h"

namespace dravio::test {
namespace {

class DeviceRequests : public SimDriverTest {
protected:
    void SetUp() override
    {
        SimDriverTest::SetUp();
        number = AddDevice(kClassA);
        ASSERT_EQ(OpenDevice(device, static_cast<int>(number), nullptr, nullptr), 0u);
    }

    void TearDown() override
    {
        device.Close();
        SimDriverTest::TearDown();
    }

    uint32_t number = 0;
    CDravio device;
};

TEST_F(DeviceRequests, DescriptorsAndConfiguration)
{
    BYTE deviceDescriptor[18] = {};
    ASSERT_EQ(device.GetDeviceDescriptor(deviceDescriptor), 0u);
    EXPECT_EQ(deviceDescriptor[0], 18);
    EXPECT_EQ(deviceDescriptor[1], DRAVIO_DESCRIPTOR_DEVICE);
    const UCHAR serialIndex = deviceDescriptor[16];
    ASSERT_NE(serialIndex, 0);

    BYTE text[516] = {};
    DWORD length = sizeof text;
    ASSERT_EQ(device.GetStringDescriptor(text, length, serialIndex, 0x0407), 0u);
    ASSERT_EQ(length, 2u + 2 * 7);
    EXPECT_EQ(text[0], length);
    EXPECT_EQ(text[1], DRAVIO_DESCRIPTOR_STRING);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t *>(text + 2), 7), L"VT-0042");

    EXPECT_TRUE(device.IsHighSpeedDevice());
    ASSERT_EQ(sim.SetHighSpeed(number, false), 0u);
    EXPECT_FALSE(device.IsHighSpeedDevice());

    ASSERT_EQ(Configure(device, 1), 0u);
    UCHAR configuration = 0, alternate = 0;
    EXPECT_EQ(device.GetConfiguration(configuration), 0u);
    EXPECT_EQ(configuration, 1);
    EXPECT_EQ(device.GetInterface(alternate, 0), 0u);
    EXPECT_EQ(alternate, 1);

    DRAVIO_CONFIGURATION_INFO info;
    std::memset(&info, 0xCC, sizeof info);
    ASSERT_EQ(device.GetConfigurationInfo(info), 0u);
    ASSERT_EQ(info.NumberOfPipes, 2u);
    for (ULONG i = 0; i < info.NumberOfPipes; ++i) {
        EXPECT_EQ(info.Pipes[i].PipeType, DRAVIO_PIPE_BULK);
        EXPECT_EQ(info.Pipes[i].MaximumPacketSize, 512);
    }
    EXPECT_EQ(info.Pipes[0].EndpointAddress | info.Pipes[1].EndpointAddress, 0x83);
    EXPECT_EQ(info.Pipes[2].PipeType, 0u); // zeroed before the request

    EXPECT_EQ(device.UnconfigureDevice(), 0u);
    EXPECT_EQ(device.GetConfiguration(configuration), 0u);
    EXPECT_EQ(configuration, 0);
}

TEST_F(DeviceRequests, DriverStatusesPassThroughAtOnceAndWhenPending)
{
    for (const bool deferred : {false, true}) {
        SCOPED_TRACE(deferred ? "pending" : "at once");
        ASSERT_EQ(sim.SetDeferredCompletion(number, deferred), 0u);

        const DRAVIO_DEVICE_PARAMETERS written{0x11223344, deferred ? 2u : 1u};
        EXPECT_EQ(device.SetDeviceParameters(written), 0u);
        DRAVIO_DEVICE_PARAMETERS read{};
        EXPECT_EQ(device.GetDeviceParameters(read), 0u);
        EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);

        ASSERT_EQ(sim.FailNextControl(number, IOCTL_DRAVIO_GET_STATUS, 1, 0xE0000004), 0u);
        USHORT status = 0xFFFF;
        EXPECT_EQ(device.GetStatus(status, 0, 0), 0xE0000004);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(device.GetStatus(status, 0, 0), 0u);

        ASSERT_EQ(sim.FailNextControl(number, IOCTL_DRAVIO_GET_DEVICE_POWER_STATE, 1, 0xE000100A), 0u);
        ULONG power = 77;
        EXPECT_EQ(device.GetDevicePowerState(power), 0xE000100A);
        EXPECT_EQ(power, 77u);
        EXPECT_EQ(device.GetDevicePowerState(power), 0u);
        EXPECT_EQ(power, 0u);

        // The driver refuses a request of the wrong shape; the library passes that on.
        DWORD returned = 9;
        BYTE shortOutput[4];
        EXPECT_EQ(device.SyncIoctl(IOCTL_DRAVIO_GET_DRIVER_INFO, nullptr, 0, shortOutput, sizeof shortOutput,
                                   &returned),
                  0xE0001002);
        EXPECT_EQ(returned, 0u);
    }
}

#ifdef UNICODE
TEST_F(DeviceRequests, PassThroughCodesOfTheWideBuild)
{
    const BYTE tenBytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(sim.SetControl83D(number, tenBytes), 0u);
    DRAVIO_CONTROL_83D_DATA data{};
    EXPECT_EQ(device.Control83D(data), 0u);
    EXPECT_EQ(std::memcmp(data.Data, tenBytes, sizeof tenBytes), 0);
    EXPECT_EQ(device.Control83C(0x12345678, 0x9A), 0u);
    EXPECT_EQ(device.Control832(), 0u);
    EXPECT_EQ(device.Control833(), 0u);
}
#endif

} // namespace
} // namespace dravio::test
