// The class library in front of the simulated driver: every call below goes
// through the driver seam into the simulation, in this build's width.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "Dravio.h"
#include "DravioPipe.h"
#include "DriverSeam.h"
#include "SetupApiLoader.h"
#include "sim/dravio/SimDriver.h"

namespace dravio::test {

// The two interface classes of the USB adapter.
constexpr GUID kClassA = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
constexpr GUID kClassB = {0xD5856444, 0x1898, 0x4B27, {0x99, 0x93, 0xBD, 0x9C, 0xD1, 0x01, 0x14, 0xA2}};

constexpr DWORD kOperationAborted = ERROR_OPERATION_ABORTED;

// A device list that is freed when the test is done with it.
class DeviceList {
public:
    explicit DeviceList(const GUID &interfaceClass) : list_(CDravio::BuildDeviceList(&interfaceClass)) {}
    ~DeviceList() { CDravio::FreeDeviceList(list_); }
    DeviceList(const DeviceList &) = delete;
    DeviceList &operator=(const DeviceList &) = delete;
    HDEVINFO Get() const { return list_; }

private:
    HDEVINFO list_;
};

// The two builds differ in the open's version check: the wide one asks, the
// narrow one always checks.
inline DWORD OpenDevice(CDravio &device, int number, HDEVINFO list, const GUID *interfaceClass,
                        bool checkVersion = true)
{
#ifdef UNICODE
    return device.OpenByNumber(number, list, interfaceClass, checkVersion);
#else
    (void)checkVersion;
    return device.OpenByNumber(number, list, interfaceClass);
#endif
}

inline DWORD BindPipe(CDravioPipe &pipe, int number, UCHAR endpoint, HDEVINFO list, const GUID *interfaceClass)
{
#ifdef UNICODE
    return pipe.Bind(number, endpoint, list, interfaceClass, true);
#else
    return pipe.Bind(number, endpoint, list, interfaceClass);
#endif
}

// Interface 0 in the alternate setting given, as the USB adapter path configures it.
inline DWORD Configure(CDravio &device, USHORT alternateSetting = 1)
{
    DRAVIO_CONFIGURATION_REQUEST request{};
    request.ConfigurationIndex = 0;
    request.NumberOfInterfaces = 1;
    request.Interfaces[0] = {0, alternateSetting, 0x8000};
    return device.SetConfiguration(request);
}

class SimDriverTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CSetupApiLoader::Instance().Unload();
        sim.Install(InstallDriverSeam);
    }

    void TearDown() override
    {
        // The loader holds the simulation's module and entries: let go of them first.
        CSetupApiLoader::Instance().Unload();
        sim.Uninstall();
    }

    uint32_t AddDevice(const GUID &interfaceClass, int32_t number = -1, const wchar_t *serial = L"VT-0042")
    {
        sim::DeviceSetup setup{};
        setup.interfaceClass = interfaceClass;
        setup.number = number;
        setup.serialNumber = serial;
        uint32_t added = 0;
        EXPECT_EQ(sim.AddDevice(setup, &added), 0u);
        return added;
    }

    sim::DeviceState State(uint32_t number)
    {
        sim::DeviceState state{};
        EXPECT_EQ(sim.QueryDevice(number, &state), 0u);
        return state;
    }

    std::vector<sim::LogEntry> Log()
    {
        std::vector<sim::LogEntry> entries(sim.CopyLog(nullptr, 0));
        const uint32_t held = sim.CopyLog(entries.data(), static_cast<uint32_t>(entries.size()));
        entries.resize(std::min<size_t>(held, entries.size()));
        return entries;
    }

    size_t Count(sim::LogEvent event)
    {
        const std::vector<sim::LogEntry> log = Log();
        return std::count_if(log.begin(), log.end(), [&](const sim::LogEntry &e) { return e.event == event; });
    }

    sim::SimDriver sim;
};

} // namespace dravio::test
