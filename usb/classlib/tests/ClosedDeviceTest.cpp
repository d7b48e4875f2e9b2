// What the library decides before the driver is ever asked: requests on a
// closed object, failed opens and a setup API that can't be had. A recording
// seam stands in for the OS and counts every call that would reach it.
#include <gtest/gtest.h>

#include <string>

#include "DravioPipe.h"
#include "DriverSeam.h"
#include "SetupApiLoader.h"

using namespace dravio;

namespace {

struct Recorder {
    int driverCalls = 0;
    int loads = 0;
    int frees = 0;
    DWORD createError = ERROR_FILE_NOT_FOUND;
    HMODULE module = nullptr;
    std::string missingEntry;
    std::wstring openedPath;
};
Recorder g_recorder;

BOOL Refuse()
{
    ++g_recorder.driverCalls;
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
}

const DriverSeam kRecordingSeam = {
    [](LPCWSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) WINAPI -> HANDLE {
        g_recorder.openedPath = path;
        SetLastError(g_recorder.createError);
        return INVALID_HANDLE_VALUE;
    },
    [](LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) WINAPI -> HANDLE {
        g_recorder.openedPath.assign(path, path + strlen(path));
        SetLastError(g_recorder.createError);
        return INVALID_HANDLE_VALUE;
    },
    [](HANDLE) WINAPI -> BOOL { return Refuse(); },
    [](HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) WINAPI -> BOOL { return Refuse(); },
    [](HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) WINAPI -> BOOL { return Refuse(); },
    [](HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) WINAPI -> BOOL { return Refuse(); },
    [](HANDLE) WINAPI -> BOOL { return Refuse(); },
    [](LPCWSTR) WINAPI -> HMODULE {
        ++g_recorder.loads;
        return g_recorder.module;
    },
    [](LPCSTR) WINAPI -> HMODULE {
        ++g_recorder.loads;
        return g_recorder.module;
    },
    [](HMODULE, LPCSTR name) WINAPI -> FARPROC {
        // Any non-null address will do: these tests never call an entry.
        return g_recorder.missingEntry == name ? nullptr : reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&Refuse));
    },
    [](HMODULE) WINAPI -> BOOL {
        ++g_recorder.frees;
        return TRUE;
    },
    [](HANDLE, LPVOID, DWORD) WINAPI -> HDEVNOTIFY { return nullptr; },
    [](HDEVNOTIFY) WINAPI -> BOOL { return FALSE; },
};

const GUID kInterfaceClass = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
const HDEVINFO kSomeList = reinterpret_cast<HDEVINFO>(static_cast<INT_PTR>(0x5EED));

class WithoutDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_recorder = Recorder();
        CSetupApiLoader::Instance().Unload();
        InstallDriverSeam(&kRecordingSeam);
    }
    void TearDown() override
    {
        InstallDriverSeam(nullptr);
    }
};

#ifdef UNICODE
DWORD Open(CDravio &device, int number, HDEVINFO list, const GUID *interfaceClass)
{
    return device.OpenByNumber(number, list, interfaceClass, true);
}
#else
DWORD Open(CDravio &device, int number, HDEVINFO list, const GUID *interfaceClass)
{
    return device.OpenByNumber(number, list, interfaceClass);
}
#endif

TEST_F(WithoutDriver, RequestsOnAClosedObjectReportNotOpenAndZeroOutputs)
{
    CDravioPipe pipe;
    constexpr DWORD kNotOpen = 0xE0001102;

    DWORD returned = 99;
    BYTE data[32] = {};
    EXPECT_EQ(pipe.SyncIoctl(IOCTL_DRAVIO_GET_DRIVER_INFO, nullptr, 0, data, 12, &returned), kNotOpen);
    EXPECT_EQ(returned, 0u);

    DWORD length = 18;
    EXPECT_EQ(pipe.GetDescriptor(data, length, 0, 1, 0, 0), kNotOpen);
    EXPECT_EQ(length, 0u);
    length = 8;
    EXPECT_EQ(pipe.ClassOrVendorInRequest(data, length, {}), kNotOpen);
    EXPECT_EQ(length, 0u);
    length = 8;
    EXPECT_EQ(pipe.PipeControlTransferIn(data, length, {}), kNotOpen);
    EXPECT_EQ(length, 0u);

    USHORT status = 0xFFFF;
    EXPECT_EQ(pipe.GetStatus(status, 0, 0), kNotOpen);
    EXPECT_EQ(status, 0);
    UCHAR configuration = 0xFF, alternate = 0xFF;
    EXPECT_EQ(pipe.GetConfiguration(configuration), kNotOpen);
    EXPECT_EQ(configuration, 0);
    EXPECT_EQ(pipe.GetInterface(alternate, 0), kNotOpen);
    EXPECT_EQ(alternate, 0);
    ULONG frame = 0xFFFFFFFF, flags = 0xFFFFFFFF, power = 7;
    EXPECT_EQ(pipe.GetCurrentFrameNumber(frame), kNotOpen);
    EXPECT_EQ(frame, 0u);
    EXPECT_EQ(pipe.GetPipeParameters(flags), kNotOpen);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(pipe.GetDevicePowerState(power), kNotOpen);
    EXPECT_EQ(power, 7u); // written only on success

    EXPECT_EQ(pipe.SetConfiguration({}), kNotOpen);
    EXPECT_EQ(pipe.ResetPipe(), kNotOpen);
    EXPECT_EQ(pipe.AbortPipe(), kNotOpen);
    EXPECT_EQ(pipe.ResetPipeStatistics(), kNotOpen);
    EXPECT_FALSE(pipe.IsHighSpeedDevice());
    EXPECT_FALSE(pipe.CancelIo());
#ifdef UNICODE
    EXPECT_EQ(pipe.BindEndpoint(0x81), kNotOpen);
    EXPECT_EQ(pipe.GetParentDeviceId(), nullptr);
#endif

    length = sizeof data;
    EXPECT_EQ(pipe.ReadSync(data, length, 100), kNotOpen);
    EXPECT_EQ(length, 0u);
    CDravioBuffer buffer(16);
    buffer.bytesToTransfer = 16;
    EXPECT_FALSE(pipe.Write(buffer));
    EXPECT_EQ(buffer.status, kNotOpen);
    EXPECT_EQ(pipe.WaitForCompletion(buffer, 0), kNotOpen);

    EXPECT_EQ(g_recorder.driverCalls, 0);
}

TEST_F(WithoutDriver, OpenByNumberWithoutAListNamesTheDevice)
{
    const struct {
        DWORD createError;
        DWORD expected;
    } cases[] = {
        {ERROR_FILE_NOT_FOUND, 0xE0001100},
        {ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {ERROR_SHARING_VIOLATION, ERROR_SHARING_VIOLATION},
    };
    for (const auto &c : cases) {
        g_recorder.createError = c.createError;
        CDravio device;
        EXPECT_EQ(Open(device, 3, nullptr, nullptr), c.expected);
        EXPECT_EQ(g_recorder.openedPath, L"\\\\.\\Dravio_Device3");
        EXPECT_FALSE(device.IsOpen());
    }
    EXPECT_EQ(g_recorder.driverCalls, 0);
    EXPECT_EQ(g_recorder.loads, 0);
}

TEST_F(WithoutDriver, MissingListOrClassIsRefusedBeforeTheSetupApiLoads)
{
    CDravio device;
    EXPECT_EQ(device.QueryInterfacePath(0, nullptr, &kInterfaceClass), 0xE0001105);
    EXPECT_EQ(device.QueryInterfacePath(0, kSomeList, nullptr), 0xE0001105);
    EXPECT_EQ(Open(device, 0, kSomeList, nullptr), 0xE0001105);
    EXPECT_EQ(g_recorder.loads, 0);
}

TEST_F(WithoutDriver, MissingSetupApiIsReportedAndRetriedAtEachUse)
{
    CDravio device;
    EXPECT_EQ(CDravio::BuildDeviceList(&kInterfaceClass), nullptr);
    EXPECT_EQ(device.QueryInterfacePath(0, kSomeList, &kInterfaceClass), 0xE0001106);
    EXPECT_EQ(Open(device, 0, kSomeList, &kInterfaceClass), 0xE0001106);
    EXPECT_EQ(device.GetDevicePath(), nullptr);
    EXPECT_EQ(g_recorder.loads, 3);
    EXPECT_EQ(g_recorder.frees, 0);
    EXPECT_EQ(g_recorder.openedPath, L"");
}

TEST_F(WithoutDriver, SetupApiLackingAnEntryIsFreedAgain)
{
    g_recorder.module = reinterpret_cast<HMODULE>(static_cast<INT_PTR>(0x7A000000));
#ifdef UNICODE
    g_recorder.missingEntry = "CM_Get_Device_IDW";
#else
    g_recorder.missingEntry = "SetupDiGetDeviceInterfaceDetailA";
#endif
    CDravio device;
    EXPECT_EQ(device.QueryInterfacePath(0, kSomeList, &kInterfaceClass), 0xE0001106);
    EXPECT_EQ(device.QueryInterfacePath(0, kSomeList, &kInterfaceClass), 0xE0001106);
    EXPECT_EQ(g_recorder.loads, 2);
    EXPECT_EQ(g_recorder.frees, 2);
    EXPECT_EQ(CSetupApiLoader::Instance().Load(), nullptr);
}

} // namespace
