#include "SeamFunctions.h"

#include <cstring>
#include <string>

#include "SimDriver.h"

namespace dravio::sim {

namespace {

std::wstring Widen(LPCSTR text)
{
    std::wstring wide(MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), int(wide.size()));
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

} // namespace

// Friend of SimDriver: the only way in from the seam.
struct SeamEntries {
    static SimDriver *Driver() { return SimDriver::Active(); }

    static HANDLE WINAPI CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        if (SimDriver *driver = Driver(); driver && path)
            if (auto handle = driver->OpenPath(path, flags))
                return *handle;
        return ::CreateFileW(path, access, share, security, disposition, flags, templateFile);
    }

    static HANDLE WINAPI CreateFileA(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                     DWORD disposition, DWORD flags, HANDLE templateFile)
    {
        if (SimDriver *driver = Driver(); driver && path)
            if (auto handle = driver->OpenPath(Widen(path), flags))
                return *handle;
        return ::CreateFileA(path, access, share, security, disposition, flags, templateFile);
    }

    static BOOL WINAPI CloseHandle(HANDLE handle)
    {
        if (SimDriver *driver = Driver())
            if (auto result = driver->Close(handle))
                return *result;
        return ::CloseHandle(handle);
    }

    static BOOL WINAPI DeviceIoControl(HANDLE handle, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                                       DWORD outputLength, LPDWORD returned, LPOVERLAPPED overlapped)
    {
        if (SimDriver *driver = Driver())
            if (auto result =
                    driver->Control(handle, code, input, inputLength, output, outputLength, returned, overlapped))
                return *result;
        return ::DeviceIoControl(handle, code, input, inputLength, output, outputLength, returned, overlapped);
    }

    static BOOL WINAPI ReadFile(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD transferred,
                                LPOVERLAPPED overlapped)
    {
        if (SimDriver *driver = Driver())
            if (auto result = driver->Transfer(handle, false, buffer, length, transferred, overlapped))
                return *result;
        return ::ReadFile(handle, buffer, length, transferred, overlapped);
    }

    static BOOL WINAPI WriteFile(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD transferred,
                                 LPOVERLAPPED overlapped)
    {
        if (SimDriver *driver = Driver())
            if (auto result =
                    driver->Transfer(handle, true, const_cast<void *>(buffer), length, transferred, overlapped))
                return *result;
        return ::WriteFile(handle, buffer, length, transferred, overlapped);
    }

    static BOOL WINAPI CancelIo(HANDLE handle)
    {
        if (SimDriver *driver = Driver())
            if (auto result = driver->Cancel(handle))
                return *result;
        return ::CancelIo(handle);
    }

    static HMODULE WINAPI LoadLibraryW(LPCWSTR name)
    {
        if (SimDriver *driver = Driver(); driver && name)
            if (auto module = driver->LoadModule(name))
                return *module;
        return ::LoadLibraryW(name);
    }

    static HMODULE WINAPI LoadLibraryA(LPCSTR name)
    {
        if (SimDriver *driver = Driver(); driver && name)
            if (auto module = driver->LoadModule(Widen(name)))
                return *module;
        return ::LoadLibraryA(name);
    }

    static FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR name)
    {
        if (SimDriver *driver = Driver())
            if (auto procedure = driver->FindProcedure(module, name))
                return *procedure;
        return ::GetProcAddress(module, name);
    }

    static BOOL WINAPI FreeLibrary(HMODULE module)
    {
        if (SimDriver *driver = Driver())
            if (auto result = driver->ReleaseModule(module))
                return *result;
        return ::FreeLibrary(module);
    }

    static HDEVNOTIFY WINAPI RegisterDeviceNotificationW(HANDLE recipient, LPVOID filter, DWORD flags)
    {
        if (SimDriver *driver = Driver())
            if (auto notification = driver->RegisterNotification(recipient, filter, flags))
                return *notification;
        return ::RegisterDeviceNotificationW(recipient, filter, flags);
    }

    static BOOL WINAPI UnregisterDeviceNotification(HDEVNOTIFY notification)
    {
        if (SimDriver *driver = Driver())
            if (auto result = driver->UnregisterNotification(notification))
                return *result;
        return ::UnregisterDeviceNotification(notification);
    }

    // The simulated setup API. Its module handle only comes from a living
    // driver; a call after that driver ended finds no list.
    static HDEVINFO WINAPI SetupDiGetClassDevsW(const GUID *classGuid, PCWSTR enumerator, HWND, DWORD flags)
    {
        SimDriver *driver = Driver();
        if (!driver) {
            SetLastError(ERROR_INVALID_HANDLE);
            return INVALID_HANDLE_VALUE;
        }
        return driver->GetClassDevs(classGuid, enumerator ? std::optional<std::wstring_view>(enumerator) : std::nullopt,
                                    flags);
    }

    static HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *classGuid, PCSTR enumerator, HWND window, DWORD flags)
    {
        if (!enumerator)
            return SetupDiGetClassDevsW(classGuid, nullptr, window, flags);
        return SetupDiGetClassDevsW(classGuid, Widen(enumerator).c_str(), window, flags);
    }

    static BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO list)
    {
        SimDriver *driver = Driver();
        return driver ? driver->DestroyDeviceInfoList(list) : Invalid();
    }

    static BOOL WINAPI SetupDiEnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA device, const GUID *classGuid,
                                                   DWORD index, PSP_DEVICE_INTERFACE_DATA data)
    {
        SimDriver *driver = Driver();
        return driver ? driver->EnumDeviceInterfaces(list, device, classGuid, index, data) : Invalid();
    }

    static BOOL WINAPI SetupDiGetDeviceInterfaceDetailW(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                                                        PDWORD required, PSP_DEVINFO_DATA device)
    {
        SimDriver *driver = Driver();
        return driver ? driver->GetDeviceInterfaceDetail(list, data, detail, size, required, device, true) : Invalid();
    }

    static BOOL WINAPI SetupDiGetDeviceInterfaceDetailA(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data,
                                                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                                        PDWORD required, PSP_DEVINFO_DATA device)
    {
        SimDriver *driver = Driver();
        return driver ? driver->GetDeviceInterfaceDetail(list, data, detail, size, required, device, false)
                      : Invalid();
    }

    static CONFIGRET WINAPI CM_Get_Parent(PDEVINST parent, DEVINST node, ULONG flags)
    {
        SimDriver *driver = Driver();
        return driver ? driver->GetParentNode(parent, node, flags) : CR_INVALID_DEVNODE;
    }

    static CONFIGRET WINAPI CM_Get_Device_IDW(DEVINST node, PWCHAR buffer, ULONG length, ULONG flags)
    {
        SimDriver *driver = Driver();
        return driver ? driver->GetDeviceId(node, buffer, length, flags) : CR_INVALID_DEVNODE;
    }

    static BOOL Invalid()
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
};

const DriverSeam SeamFunctions::kTable = {
    SeamEntries::CreateFileW,
    SeamEntries::CreateFileA,
    SeamEntries::CloseHandle,
    SeamEntries::DeviceIoControl,
    SeamEntries::ReadFile,
    SeamEntries::WriteFile,
    SeamEntries::CancelIo,
    SeamEntries::LoadLibraryW,
    SeamEntries::LoadLibraryA,
    SeamEntries::GetProcAddress,
    SeamEntries::FreeLibrary,
    SeamEntries::RegisterDeviceNotificationW,
    SeamEntries::UnregisterDeviceNotification,
};

namespace {

// The setup API's entries leave through GetProcAddress's untyped pointer.
template <class Function>
FARPROC Untyped(Function *function)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

} // namespace

FARPROC SetupApiProcedure(const char *name)
{
    struct Entry {
        const char *name;
        FARPROC procedure;
    };
    static const Entry kEntries[] = {
        {"SetupDiGetClassDevsW", Untyped(SeamEntries::SetupDiGetClassDevsW)},
        {"SetupDiGetClassDevsA", Untyped(SeamEntries::SetupDiGetClassDevsA)},
        {"SetupDiDestroyDeviceInfoList", Untyped(SeamEntries::SetupDiDestroyDeviceInfoList)},
        {"SetupDiEnumDeviceInterfaces", Untyped(SeamEntries::SetupDiEnumDeviceInterfaces)},
        {"SetupDiGetDeviceInterfaceDetailW",
         Untyped(SeamEntries::SetupDiGetDeviceInterfaceDetailW)},
        {"SetupDiGetDeviceInterfaceDetailA",
         Untyped(SeamEntries::SetupDiGetDeviceInterfaceDetailA)},
        {"CM_Get_Parent", Untyped(SeamEntries::CM_Get_Parent)},
        {"CM_Get_Device_IDW", Untyped(SeamEntries::CM_Get_Device_IDW)},
    };
    for (const Entry &e : kEntries)
        if (std::strcmp(e.name, name) == 0)
            return e.procedure;
    return nullptr;
}

} // namespace dravio::sim
