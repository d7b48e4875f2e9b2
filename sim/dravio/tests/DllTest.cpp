// dravio_sim.dll from the outside: a module that installs the seam and a
// test program that scripts the devices reach one and the same driver.
#include <windows.h>

#include <gtest/gtest.h>

#include "sim/dravio/SimController.h"

namespace dravio::sim::test {
namespace {

template <class Function>
Function Export(HMODULE module, const char *name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

TEST(DravioSimDll, SeamAndControllerReachTheSameDevices)
{
    HMODULE module = LoadLibraryW(L"dravio_sim.dll");
    ASSERT_NE(nullptr, module);
    auto getSeam = Export<GetSeamFunction>(module, kGetSeamExport);
    auto getController = Export<GetControllerFunction>(module, kGetControllerExport);
    ASSERT_TRUE(getSeam && getController);

    const DriverSeam *seam = getSeam();
    ISimController *sim = getController();
    ASSERT_NE(nullptr, seam);
    EXPECT_EQ(seam, &sim->Seam());

    DeviceSetup setup{};
    setup.interfaceClass = {0x4B104F5C, 0x324B, 0x49B4, {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
    setup.number = 5;
    ASSERT_EQ(0u, sim->AddDevice(setup, nullptr));
    ASSERT_EQ(0u, sim->SetApiVersion(5, 0x0231));

    HANDLE h = seam->CreateFileW(L"\\\\.\\Dravio_Device5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    OVERLAPPED ov{};
    ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    uint8_t info[12]{};
    DWORD bytes = 0;
    ASSERT_TRUE(seam->DeviceIoControl(h, 0x8094206C, nullptr, 0, info, 12, &bytes, &ov));
    EXPECT_EQ(12u, bytes);
    EXPECT_EQ(0x31, info[0]);
    EXPECT_EQ(0x02, info[1]);
    CloseHandle(ov.hEvent);
    EXPECT_TRUE(seam->CloseHandle(h));

    // Unloading leaves the driver in place for those that still hold its table.
    FreeLibrary(module);
    HMODULE again = LoadLibraryW(L"dravio_sim.dll");
    EXPECT_EQ(module, again);
    EXPECT_EQ(sim, Export<GetControllerFunction>(again, kGetControllerExport)());
    DeviceState state;
    EXPECT_EQ(0u, sim->QueryDevice(5, &state));
}

} // namespace
} // namespace dravio::sim::test
