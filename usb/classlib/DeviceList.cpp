#include "Dravio.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "LastError.h"
#include "SetupApiLoader.h"

namespace dravio {

HDEVINFO CDravio::BuildDeviceList(const GUID *interfaceClass)
{
    const SetupApiEntries *setupApi = CSetupApiLoader::Instance().Load();
    if (!setupApi)
        return nullptr;
    const HDEVINFO list = setupApi->GetClassDevs(interfaceClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    return list == INVALID_HANDLE_VALUE ? nullptr : list;
}

void CDravio::FreeDeviceList(HDEVINFO list)
{
    if (!list)
        return;
    if (const SetupApiEntries *setupApi = CSetupApiLoader::Instance().Load())
        setupApi->DestroyDeviceInfoList(list);
}

DWORD CDravio::QueryInterfacePath(int number, HDEVINFO list, const GUID *interfaceClass)
{
    if (!list || !interfaceClass)
        return DRAVIO_ERR_INVALID_PARAMETER;
    const SetupApiEntries *setupApi = CSetupApiLoader::Instance().Load();
    if (!setupApi)
        return DRAVIO_ERR_NO_SETUP_API;

    interfaceDetail_.reset();

    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof interfaceData;
    if (!setupApi->EnumDeviceInterfaces(list, nullptr, interfaceClass, static_cast<DWORD>(number), &interfaceData)) {
        const DWORD error = LastErrorStatus();
        return error == ERROR_NO_MORE_ITEMS ? DRAVIO_ERR_NO_SUCH_INSTANCE : error;
    }

    DWORD required = 0;
    setupApi->GetDeviceInterfaceDetail(list, &interfaceData, nullptr, 0, &required, nullptr);
    if (required == 0)
        return DRAVIO_ERR_FAILED;

    // Never smaller than the record's fixed part, and one zero character more,
    // so the path is terminated whatever the setup API wrote.
    const DWORD recordSize = std::max<DWORD>(required, sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA));
    std::unique_ptr<BYTE[]> record(new (std::nothrow) BYTE[recordSize + sizeof(TCHAR)]);
    if (!record)
        return DRAVIO_ERR_NO_MEMORY;
    std::memset(record.get(), 0, recordSize + sizeof(TCHAR));
    // The size word is that of the platform's fixed record (6 on x86, 8 on x64 for the wide one).
    auto *detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA *>(record.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA);
    interfaceDetail_ = std::move(record);

#ifdef UNICODE
    deviceInfoData_ = {};
    deviceInfoData_.cbSize = sizeof deviceInfoData_;
    SP_DEVINFO_DATA *deviceInfoData = &deviceInfoData_;
#else
    SP_DEVINFO_DATA *deviceInfoData = nullptr;
#endif
    if (!setupApi->GetDeviceInterfaceDetail(list, &interfaceData, detail, recordSize, nullptr, deviceInfoData)) {
        const DWORD error = LastErrorStatus();
        interfaceDetail_.reset();
        return error;
    }
    return DRAVIO_STATUS_SUCCESS;
}

const DravioChar *CDravio::GetDevicePath() const
{
    if (!interfaceDetail_)
        return nullptr;
    return reinterpret_cast<const SP_DEVICE_INTERFACE_DETAIL_DATA *>(interfaceDetail_.get())->DevicePath;
}

#ifdef UNICODE
LPCWSTR CDravio::GetParentDeviceId()
{
    constexpr ULONG kParentIdChars = 200;

    if (deviceInfoData_.DevInst == 0)
        return nullptr;
    const SetupApiEntries *setupApi = CSetupApiLoader::Instance().Load();
    if (!setupApi)
        return nullptr;
    if (!parentId_) {
        parentId_.reset(new (std::nothrow) WCHAR[kParentIdChars]);
        if (!parentId_)
            return nullptr;
    }
    std::fill_n(parentId_.get(), kParentIdChars, L'\0');

    DEVINST parent = 0;
    if (setupApi->GetParent(&parent, deviceInfoData_.DevInst, 0) != CR_SUCCESS)
        return nullptr;
    // One character short of the buffer, so the text always ends with a zero.
    if (setupApi->GetDeviceId(parent, parentId_.get(), kParentIdChars - 1, 0) != CR_SUCCESS)
        return nullptr;
    return parentId_.get();
}
#endif

} // namespace dravio
