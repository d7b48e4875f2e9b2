// The simulated setup API as a client loads it: by name, through the seam.
#include "SimFixture.h"

#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>

namespace dravio::sim::test {
namespace {

using GetClassDevsW = HDEVINFO(WINAPI *)(const GUID *, PCWSTR, HWND, DWORD);
using GetClassDevsA = HDEVINFO(WINAPI *)(const GUID *, PCSTR, HWND, DWORD);
using DestroyList = BOOL(WINAPI *)(HDEVINFO);
using EnumInterfaces = BOOL(WINAPI *)(HDEVINFO, PSP_DEVINFO_DATA, const GUID *, DWORD, PSP_DEVICE_INTERFACE_DATA);
using InterfaceDetail = BOOL(WINAPI *)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA, void *, DWORD, PDWORD, PSP_DEVINFO_DATA);
using GetParent = CONFIGRET(WINAPI *)(PDEVINST, DEVINST, ULONG);
using GetDeviceId = CONFIGRET(WINAPI *)(DEVINST, PWCHAR, ULONG, ULONG);

const wchar_t kPath0042[] = L"\\\\?\\usb#vid_5a17&pid_0b15#VT-0042#{4b104f5c-324b-49b4-8259-b4c4db419c9b}";
const wchar_t kPath0044[] = L"\\\\?\\usb#vid_5a17&pid_0b15#VT-0044#{4b104f5c-324b-49b4-8259-b4c4db419c9b}";

// The size word of the wide detail record on this platform, and the other one.
constexpr DWORD kDetailSize = sizeof(void *) == 8 ? 8 : 6;
constexpr DWORD kOtherDetailSize = sizeof(void *) == 8 ? 6 : 8;

class SetupApiTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        AddDevice(kClassB, L"VT-0043");
        AddDevice(kClassA, L"VT-0044");
        module = seam.LoadLibraryW(L"SETUPAPI.DLL");
        ASSERT_NE(nullptr, module);
    }

    void TearDown() override
    {
        if (module)
            seam.FreeLibrary(module);
        SimFixture::TearDown();
    }

    template <class Function>
    Function Entry(const char *name)
    {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(seam.GetProcAddress(module, name)));
    }

    HMODULE module = nullptr;
};

TEST_F(SetupApiTest, ListsEnumeratesAndDescribesTheInterfacesOfAClass)
{
    auto getClassDevs = Entry<GetClassDevsW>("SetupDiGetClassDevsW");
    auto destroy = Entry<DestroyList>("SetupDiDestroyDeviceInfoList");
    auto enumerate = Entry<EnumInterfaces>("SetupDiEnumDeviceInterfaces");
    auto detail = Entry<InterfaceDetail>("SetupDiGetDeviceInterfaceDetailW");
    auto getParent = Entry<GetParent>("CM_Get_Parent");
    auto getId = Entry<GetDeviceId>("CM_Get_Device_IDW");
    ASSERT_TRUE(getClassDevs && destroy && enumerate && detail && getParent && getId);

    HDEVINFO list = getClassDevs(&kClassA, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    ASSERT_NE(INVALID_HANDLE_VALUE, list);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    EXPECT_TRUE(enumerate(list, nullptr, &kClassA, 0, &data));
    EXPECT_TRUE(enumerate(list, nullptr, &kClassA, 1, &data));
    EXPECT_FALSE(enumerate(list, nullptr, &kClassA, 2, &data));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
    data.cbSize = sizeof data - 4;
    EXPECT_FALSE(enumerate(list, nullptr, &kClassA, 0, &data));
    EXPECT_EQ(DWORD(ERROR_INVALID_USER_BUFFER), GetLastError());

    data.cbSize = sizeof data;
    ASSERT_TRUE(enumerate(list, nullptr, &kClassA, 1, &data));
    DWORD required = 0;
    EXPECT_FALSE(detail(list, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(4 + (wcslen(kPath0044) + 1) * 2, required);

    std::vector<uint8_t> record(required);
    const DWORD wrong = kOtherDetailSize;
    std::memcpy(record.data(), &wrong, 4);
    EXPECT_FALSE(detail(list, &data, record.data(), required, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_INVALID_USER_BUFFER), GetLastError());

    const DWORD right = kDetailSize;
    std::memcpy(record.data(), &right, 4);
    EXPECT_FALSE(detail(list, &data, record.data(), required - 2, nullptr, nullptr));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(detail(list, &data, record.data(), required, nullptr, &info));
    EXPECT_STREQ(kPath0044, reinterpret_cast<const wchar_t *>(record.data() + 4));
    HANDLE opened = seam.CreateFileW(reinterpret_cast<const wchar_t *>(record.data() + 4), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, opened);
    seam.CloseHandle(opened);

    DEVINST parent = 0;
    ASSERT_EQ(CONFIGRET(CR_SUCCESS), getParent(&parent, info.DevInst, 0));
    wchar_t id[200];
    std::fill(std::begin(id), std::end(id), L'#');
    ASSERT_EQ(CONFIGRET(CR_SUCCESS), getId(parent, id, 199, 0));
    EXPECT_STREQ(L"USB\\ROOT_HUB20\\4&2F1E7A3&0", id);
    ASSERT_EQ(CONFIGRET(CR_SUCCESS), getId(info.DevInst, id, 199, 0));
    EXPECT_STREQ(L"USB\\VID_5A17&PID_0B15\\VT-0044", id);
    EXPECT_EQ(CONFIGRET(CR_BUFFER_SMALL), getId(info.DevInst, id, 5, 0));

    EXPECT_TRUE(destroy(list));
    EXPECT_FALSE(destroy(list));
    EXPECT_EQ(DWORD(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(SetupApiTest, NarrowEntriesGiveTheNarrowPath)
{
    auto getClassDevs = Entry<GetClassDevsA>("SetupDiGetClassDevsA");
    auto enumerate = Entry<EnumInterfaces>("SetupDiEnumDeviceInterfaces");
    auto detail = Entry<InterfaceDetail>("SetupDiGetDeviceInterfaceDetailA");
    HDEVINFO list = getClassDevs(&kClassA, "USB", nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    ASSERT_TRUE(enumerate(list, nullptr, &kClassA, 0, &data));
    DWORD required = 0;
    EXPECT_FALSE(detail(list, &data, nullptr, 0, &required, nullptr));
    EXPECT_EQ(4 + wcslen(kPath0042) + 1, required);
    std::vector<uint8_t> record(required);
    const DWORD size = sizeof(void *) == 8 ? 8 : 5;
    std::memcpy(record.data(), &size, 4);
    ASSERT_TRUE(detail(list, &data, record.data(), required, nullptr, nullptr));
    EXPECT_STREQ("\\\\?\\usb#vid_5a17&pid_0b15#VT-0042#{4b104f5c-324b-49b4-8259-b4c4db419c9b}",
                 reinterpret_cast<const char *>(record.data() + 4));

    HDEVINFO none = getClassDevs(&kClassA, "PCI", nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_FALSE(enumerate(none, nullptr, &kClassA, 0, &data));
    EXPECT_EQ(DWORD(ERROR_NO_MORE_ITEMS), GetLastError());
}

TEST_F(SetupApiTest, MissingSetupApiAndEntriesCanBeInjected)
{
    EXPECT_EQ(1u, sim.SetupApiReferences());
    sim.SetSetupApiAvailable(false);
    EXPECT_EQ(nullptr, seam.LoadLibraryW(L"setupapi.dll"));
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, seam.LoadLibraryA("setupapi.dll"));
    sim.SetSetupApiAvailable(true);

    sim.HideSetupApiEntry("CM_Get_Parent");
    EXPECT_EQ(nullptr, seam.GetProcAddress(module, "CM_Get_Parent"));
    EXPECT_EQ(DWORD(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_NE(nullptr, seam.GetProcAddress(module, "CM_Get_Device_IDW"));
    sim.HideSetupApiEntry(nullptr);
    EXPECT_NE(nullptr, seam.GetProcAddress(module, "CM_Get_Parent"));
    EXPECT_EQ(nullptr, seam.GetProcAddress(module, "SetupDiCallClassInstaller"));

    EXPECT_TRUE(seam.FreeLibrary(module));
    module = nullptr;
    EXPECT_EQ(0u, sim.SetupApiReferences());
}

} // namespace
} // namespace dravio::sim::test
