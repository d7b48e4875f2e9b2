// Field order of the driver records, byte for byte. Their sizes are checked
// where they are declared, at compile time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "DravioIoctl.h"

using namespace dravio;

namespace {

template <typename Record>
std::vector<BYTE> Bytes(const Record &record)
{
    std::vector<BYTE> bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

TEST(RecordLayout, RequestsAreLittleEndianAndPacked)
{
    const DRAVIO_CLASS_OR_VENDOR_REQUEST vendor{0x11223344, 2, 1, 0x80, 0x06, 0x0304, 0x0102};
    EXPECT_EQ(Bytes(vendor), (std::vector<BYTE>{0x44, 0x33, 0x22, 0x11, 2, 0, 0, 0, 1, 0, 0, 0, 0x80, 0x06, 0x04,
                                                0x03, 0x02, 0x01}));

    const DRAVIO_DESCRIPTOR_REQUEST descriptor{0, DRAVIO_DESCRIPTOR_STRING, 3, 0x0407};
    EXPECT_EQ(Bytes(descriptor), (std::vector<BYTE>{0, 0, 0, 0, 3, 3, 0x07, 0x04}));

    const DRAVIO_STATUS_REQUEST status{1, 0x0203};
    EXPECT_EQ(Bytes(status), (std::vector<BYTE>{1, 0, 0, 0, 0x03, 0x02}));

    const DRAVIO_CONTROL_83C_REQUEST control{0x01020304, 0x05};
    EXPECT_EQ(Bytes(control), (std::vector<BYTE>{0x04, 0x03, 0x02, 0x01, 0x05}));

    DRAVIO_CONFIGURATION_REQUEST configuration{};
    configuration.ConfigurationIndex = 0;
    configuration.NumberOfInterfaces = 2;
    configuration.Interfaces[1] = {0, 1, 0x8000};
    const std::vector<BYTE> bytes = Bytes(configuration);
    EXPECT_EQ(bytes[2], 2);
    // Entry 1 begins at 4 + 8: interface 0, alternate setting 1, 32768 bytes.
    EXPECT_EQ(std::vector<BYTE>(bytes.begin() + 12, bytes.begin() + 20),
              (std::vector<BYTE>{0, 0, 1, 0, 0x00, 0x80, 0, 0}));
}

TEST(RecordLayout, ResponsesReadTheDocumentedOffsets)
{
    const BYTE driverInfo[12] = {0x32, 0x02, 0x10, 0x01, 0x78, 0x56, 0x34, 0x12, 0x30, 0x01, 0, 0};
    DRAVIO_DRIVER_INFO info;
    std::memcpy(&info, driverInfo, sizeof info);
    EXPECT_EQ(info.ApiVersion, 0x0232);
    EXPECT_EQ(info.DriverVersion, 0x0110);
    EXPECT_EQ(info.DriverBuildNumber, 0x12345678u);
    EXPECT_EQ(info.DriverFlags, 0x130u);

    std::vector<BYTE> configurationInfo(776);
    configurationInfo[4] = 1;              // number of pipes
    configurationInfo[264 + 16] = 2;       // pipe 1: bulk
    configurationInfo[264 + 16 + 8] = 64;  // maximum packet size
    configurationInfo[264 + 16 + 10] = 0x81;
    DRAVIO_CONFIGURATION_INFO config;
    std::memcpy(&config, configurationInfo.data(), sizeof config);
    EXPECT_EQ(config.NumberOfPipes, 1u);
    EXPECT_EQ(config.Pipes[1].PipeType, DRAVIO_PIPE_BULK);
    EXPECT_EQ(config.Pipes[1].MaximumPacketSize, 64);
    EXPECT_EQ(config.Pipes[1].EndpointAddress, 0x81);
}

} // namespace
