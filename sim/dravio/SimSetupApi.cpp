// The simulated "setupapi.dll": module loading, device interface lists and
// details, and the configuration manager's device tree.
#include <algorithm>
#include <cstring>
#include <cwctype>

#include "DriverState.h"
#include "SeamFunctions.h"
#include "SimDriver.h"

namespace dravio::sim {

namespace {

// {36FC9E60-C465-11CF-8056-444553540000}: the setup class of USB devices.
constexpr GUID kUsbDeviceClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The size words the platform's setup API expects: the detail records are
// byte-packed on x86 (6 and 5 bytes) and 8-byte aligned on x64.
constexpr DWORD kDetailSizeW = sizeof(void *) == 8 ? 8 : 6;
constexpr DWORD kDetailSizeA = sizeof(void *) == 8 ? 8 : 5;
static_assert(kDetailSizeW == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W));
static_assert(kDetailSizeA == sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A));
constexpr DWORD kDetailHeader = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);

bool IsSetupApiName(std::wstring_view name)
{
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos)
        name.remove_prefix(slash + 1);
    const std::wstring lower = LowerCase(name);
    return lower == L"setupapi.dll" || lower == L"setupapi";
}

// An enumerator names the devices whose id starts with it.
bool MatchesEnumerator(const std::wstring &deviceId, std::wstring_view enumerator)
{
    const std::wstring id = LowerCase(deviceId);
    const std::wstring prefix = LowerCase(enumerator);
    return id == prefix || (id.size() > prefix.size() && id.compare(0, prefix.size(), prefix) == 0 &&
                            id[prefix.size()] == L'\\');
}

bool Fail(DWORD error)
{
    SetLastError(error);
    return false;
}

} // namespace

std::optional<HMODULE> SimDriver::LoadModule(std::wstring_view name)
{
    if (!IsSetupApiName(name))
        return std::nullopt;
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    if (!s.setupApiAvailable) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return HMODULE(nullptr);
    }
    ++s.setupApiReferences;
    return s.SetupModule();
}

std::optional<FARPROC> SimDriver::FindProcedure(HMODULE module, LPCSTR name)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    if (module != s.SetupModule())
        return std::nullopt;
    FARPROC procedure = IS_INTRESOURCE(name) || s.hiddenEntries.count(name) ? nullptr : SetupApiProcedure(name);
    if (!procedure)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return procedure;
}

std::optional<BOOL> SimDriver::ReleaseModule(HMODULE module)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    if (module != s.SetupModule())
        return std::nullopt;
    if (s.setupApiReferences == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    --s.setupApiReferences;
    return TRUE;
}

HDEVINFO SimDriver::GetClassDevs(const GUID *classGuid, std::optional<std::wstring_view> enumerator, DWORD flags)
{
    if (!(flags & DIGCF_DEVICEINTERFACE)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return INVALID_HANDLE_VALUE;
    }
    if (!classGuid && !(flags & DIGCF_ALLCLASSES)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto list = std::make_unique<DeviceInfoList>();
    for (const auto &[number, device] : s.devices)
        if (((flags & DIGCF_ALLCLASSES) || IsEqualGUID(device->interfaceClass, *classGuid)) &&
            (!enumerator || MatchesEnumerator(device->deviceId, *enumerator)))
            list->interfaces.push_back(device);
    // Devices are listed in the order they arrived.
    std::sort(list->interfaces.begin(), list->interfaces.end(),
              [](const auto &a, const auto &b) { return a->devInst < b->devInst; });
    auto handle = reinterpret_cast<HDEVINFO>(list.get());
    s.lists[handle] = std::move(list);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL SimDriver::DestroyDeviceInfoList(HDEVINFO list)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    if (!s.lists.erase(list))
        return Fail(ERROR_INVALID_HANDLE);
    return TRUE;
}

BOOL SimDriver::EnumDeviceInterfaces(HDEVINFO handle, PSP_DEVINFO_DATA device, const GUID *classGuid, DWORD index,
                                     PSP_DEVICE_INTERFACE_DATA data)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto list = s.lists.find(handle);
    if (list == s.lists.end())
        return Fail(ERROR_INVALID_HANDLE);
    if (!classGuid || !data)
        return Fail(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || (device && device->cbSize != sizeof(SP_DEVINFO_DATA)))
        return Fail(ERROR_INVALID_USER_BUFFER);
    const auto &interfaces = list->second->interfaces;
    for (size_t i = 0; i < interfaces.size(); ++i) {
        if (!IsEqualGUID(interfaces[i]->interfaceClass, *classGuid) ||
            (device && device->DevInst != interfaces[i]->devInst))
            continue;
        if (index-- != 0)
            continue;
        data->InterfaceClassGuid = *classGuid;
        data->Flags = SPINT_ACTIVE;
        data->Reserved = i + 1;
        return TRUE;
    }
    return Fail(ERROR_NO_MORE_ITEMS);
}

BOOL SimDriver::GetDeviceInterfaceDetail(HDEVINFO handle, PSP_DEVICE_INTERFACE_DATA data, void *detail,
                                         DWORD detailSize, PDWORD requiredSize, PSP_DEVINFO_DATA device, bool wide)
{
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto list = s.lists.find(handle);
    if (list == s.lists.end())
        return Fail(ERROR_INVALID_HANDLE);
    const auto &interfaces = list->second->interfaces;
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA) || data->Reserved == 0 ||
        data->Reserved > interfaces.size())
        return Fail(ERROR_INVALID_PARAMETER);
    if (detail && *static_cast<const DWORD *>(detail) != (wide ? kDetailSizeW : kDetailSizeA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (!detail && detailSize != 0)
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (device && device->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);

    const SimDevice &found = *interfaces[data->Reserved - 1];
    const std::wstring &path = found.interfacePath;
    std::string narrow;
    if (!wide) {
        narrow.resize(WideCharToMultiByte(CP_ACP, 0, path.c_str(), int(path.size()), nullptr, 0, nullptr, nullptr));
        WideCharToMultiByte(CP_ACP, 0, path.c_str(), int(path.size()), narrow.data(), int(narrow.size()), nullptr,
                            nullptr);
    }
    const DWORD needed = kDetailHeader + DWORD(wide ? (path.size() + 1) * sizeof(wchar_t) : narrow.size() + 1);
    if (requiredSize)
        *requiredSize = needed;
    if (detailSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);

    auto *out = static_cast<uint8_t *>(detail) + kDetailHeader;
    if (wide)
        std::memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    else
        std::memcpy(out, narrow.c_str(), narrow.size() + 1);
    if (device) {
        device->ClassGuid = kUsbDeviceClass;
        device->DevInst = found.devInst;
        device->Reserved = 0;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

CONFIGRET SimDriver::GetParentNode(PDEVINST parent, DEVINST node, ULONG flags)
{
    if (!parent)
        return CR_INVALID_POINTER;
    *parent = 0;
    if (flags != 0)
        return CR_INVALID_FLAG;
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto it = s.devnodes.find(node);
    if (it == s.devnodes.end())
        return CR_INVALID_DEVNODE;
    if (it->second.parent == 0)
        return CR_NO_SUCH_DEVNODE;
    *parent = it->second.parent;
    return CR_SUCCESS;
}

CONFIGRET SimDriver::GetDeviceId(DEVINST node, PWCHAR buffer, ULONG length, ULONG flags)
{
    if (!buffer)
        return CR_INVALID_POINTER;
    if (flags != 0)
        return CR_INVALID_FLAG;
    DriverState &s = *state_;
    std::lock_guard guard(s.lock);
    auto it = s.devnodes.find(node);
    if (it == s.devnodes.end())
        return CR_INVALID_DEVNODE;
    const std::wstring &id = it->second.deviceId;
    const size_t copied = std::min<size_t>(id.size(), length);
    std::copy_n(id.begin(), copied, buffer);
    if (copied < length)
        buffer[copied] = 0;
    return id.size() > length ? CR_BUFFER_SMALL : CR_SUCCESS;
}

} // namespace dravio::sim
