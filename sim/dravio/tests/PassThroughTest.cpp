// Whatever the simulation does not own reaches the real Win32 functions.
#include <cstring>
#include <stdexcept>

#include "SimFixture.h"

namespace dravio::sim::test {
namespace {

class PassThroughTest : public SimFixture {};

const DriverSeam *g_installed = nullptr;

void InstallInto(const DriverSeam *seam)
{
    g_installed = seam;
}

TEST_F(PassThroughTest, InstallPutsTheTableIntoASeamAndTakesItBack)
{
    sim.Install(InstallInto);
    EXPECT_EQ(&sim.Seam(), g_installed);
    sim.Uninstall();
    EXPECT_EQ(nullptr, g_installed);
    EXPECT_THROW(SimDriver second, std::logic_error);
}

TEST_F(PassThroughTest, RealFilesEventsAndModulesKeepWorking)
{
    wchar_t folder[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"dsm", 0, path);
    HANDLE file = seam.CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD bytes = 0;
    ASSERT_TRUE(seam.WriteFile(file, "real", 4, &bytes, nullptr));
    EXPECT_EQ(4u, bytes);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char back[8]{};
    ASSERT_TRUE(seam.ReadFile(file, back, sizeof back, &bytes, nullptr));
    EXPECT_STREQ("real", back);
    EXPECT_TRUE(seam.CancelIo(file));
    EXPECT_TRUE(seam.CloseHandle(file));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_TRUE(seam.CloseHandle(event));
    EXPECT_FALSE(seam.CloseHandle(event));

    HMODULE kernel = seam.LoadLibraryW(L"kernel32.dll");
    ASSERT_EQ(GetModuleHandleW(L"kernel32.dll"), kernel);
    EXPECT_EQ(reinterpret_cast<void *>(GetProcAddress(kernel, "GetTickCount")),
              reinterpret_cast<void *>(seam.GetProcAddress(kernel, "GetTickCount")));
    EXPECT_TRUE(seam.FreeLibrary(kernel));

    // A name that only looks like the driver's stays the system's.
    EXPECT_EQ(INVALID_HANDLE_VALUE, seam.CreateFileW(L"\\\\.\\Dravio_DeviceX", GENERIC_READ, 0, nullptr,
                                                     OPEN_EXISTING, 0, nullptr));
    DeviceState state;
    sim.QueryDevice(device, &state);
    EXPECT_EQ(0u, state.openHandles);
}

TEST_F(PassThroughTest, SynchronousHandlesWaitForTheirRequest)
{
    HANDLE h = seam.CreateFileA("\\\\.\\DRAVIO_DEVICE0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    opened.push_back(h);
    sim.SetDeferredCompletion(device, true);
    uint8_t info[12]{};
    DWORD bytes = 0;
    ASSERT_TRUE(seam.DeviceIoControl(h, 0x8094206C, nullptr, 0, info, 12, &bytes, nullptr));
    EXPECT_EQ(12u, bytes);
    EXPECT_EQ(0x32, info[0]);
    EXPECT_FALSE(seam.DeviceIoControl(h, 0x8094206C, nullptr, 0, info, 11, &bytes, nullptr));
    EXPECT_EQ(0xE0001002u, GetLastError());

    // An overlapped handle needs its OVERLAPPED.
    HANDLE overlapped = Open(device);
    EXPECT_FALSE(seam.DeviceIoControl(overlapped, 0x8094206C, nullptr, 0, info, 12, &bytes, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
}

} // namespace
} // namespace dravio::sim::test
