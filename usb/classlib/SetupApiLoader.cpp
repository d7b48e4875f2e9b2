#include "SetupApiLoader.h"

#include "DriverSeam.h"

namespace dravio {

namespace {

constinit CSetupApiLoader g_setupApiLoader;

template <typename Entry>
bool LookUp(const DriverSeam &seam, HMODULE module, LPCSTR name, Entry &entry)
{
    // Through a plain function pointer type: the entries have other signatures than FARPROC.
    entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(seam.GetProcAddress(module, name)));
    return entry != nullptr;
}

} // namespace

CSetupApiLoader &CSetupApiLoader::Instance()
{
    return g_setupApiLoader;
}

CSetupApiLoader::~CSetupApiLoader()
{
    Unload();
}

const SetupApiEntries *CSetupApiLoader::Load()
{
    if (module_)
        return &entries_;

    const DriverSeam &seam = CurrentDriverSeam();
#ifdef UNICODE
    const HMODULE module = seam.LoadLibraryW(L"setupapi.dll");
#else
    const HMODULE module = seam.LoadLibraryA("setupapi.dll");
#endif
    if (!module)
        return nullptr;

    SetupApiEntries entries{};
#ifdef UNICODE
    const bool complete = LookUp(seam, module, "SetupDiGetClassDevsW", entries.GetClassDevs) &&
                          LookUp(seam, module, "SetupDiDestroyDeviceInfoList", entries.DestroyDeviceInfoList) &&
                          LookUp(seam, module, "SetupDiEnumDeviceInterfaces", entries.EnumDeviceInterfaces) &&
                          LookUp(seam, module, "SetupDiGetDeviceInterfaceDetailW", entries.GetDeviceInterfaceDetail) &&
                          LookUp(seam, module, "CM_Get_Parent", entries.GetParent) &&
                          LookUp(seam, module, "CM_Get_Device_IDW", entries.GetDeviceId);
#else
    const bool complete = LookUp(seam, module, "SetupDiGetClassDevsA", entries.GetClassDevs) &&
                          LookUp(seam, module, "SetupDiDestroyDeviceInfoList", entries.DestroyDeviceInfoList) &&
                          LookUp(seam, module, "SetupDiEnumDeviceInterfaces", entries.EnumDeviceInterfaces) &&
                          LookUp(seam, module, "SetupDiGetDeviceInterfaceDetailA", entries.GetDeviceInterfaceDetail);
#endif
    if (!complete) {
        seam.FreeLibrary(module);
        return nullptr;
    }
    module_ = module;
    entries_ = entries;
    return &entries_;
}

void CSetupApiLoader::Unload()
{
    if (module_)
        CurrentDriverSeam().FreeLibrary(module_);
    module_ = nullptr;
    entries_ = {};
}

} // namespace dravio
