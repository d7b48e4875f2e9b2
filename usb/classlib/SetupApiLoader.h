// "setupapi.dll", loaded at first use and its entry points looked up by name,
// so a program without the setup API still loads and only enumeration fails.
#pragma once

#include <windows.h>
#include <setupapi.h>
#include <cfgmgr32.h>

namespace dravio {

// The wide build takes the wide entry points and the configuration manager's
// parent look-up; the narrow build the narrow entry points only.
struct SetupApiEntries {
    decltype(&::SetupDiGetClassDevs) GetClassDevs;
    decltype(&::SetupDiDestroyDeviceInfoList) DestroyDeviceInfoList;
    decltype(&::SetupDiEnumDeviceInterfaces) EnumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetail) GetDeviceInterfaceDetail;
#ifdef DRAVIO_WIDE_BUILD
    decltype(&::CM_Get_Parent) GetParent;
    decltype(&::CM_Get_Device_IDW) GetDeviceId;
#endif
};

class CSetupApiLoader {
public:
    // The one instance of the process; it frees the library when the process unloads it.
    static CSetupApiLoader &Instance();

    constexpr CSetupApiLoader() = default;
    ~CSetupApiLoader();
    CSetupApiLoader(const CSetupApiLoader &) = delete;
    CSetupApiLoader &operator=(const CSetupApiLoader &) = delete;

    // The entry points, loading the library when needed; null when it can't be
    // loaded or lacks an entry. A failed load is tried again at the next call.
    const SetupApiEntries *Load();

    // Frees the library and forgets every entry point.
    void Unload();

private:
    HMODULE module_ = nullptr;
    SetupApiEntries entries_{};
};

} // namespace dravio
