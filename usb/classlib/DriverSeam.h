// The one narrow road from the class library to the operating system's driver
// services. Its default entries are the real Win32 functions; tests and the
// hardware-free demo install the simulated driver in their place.
#pragma once

#include <windows.h>
#include <dbt.h>

namespace dravio {

struct DriverSeam {
    HANDLE(WINAPI *CreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    HANDLE(WINAPI *CreateFileA)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI *CloseHandle)(HANDLE);
    BOOL(WINAPI *DeviceIoControl)(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI *ReadFile)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI *WriteFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI *CancelIo)(HANDLE);
    // The setup API is loaded at first use and its entries looked up by name
    // ("setupapi.dll"; SetupDi..., CM_Get_Parent, CM_Get_Device_IDW).
    HMODULE(WINAPI *LoadLibraryW)(LPCWSTR);
    HMODULE(WINAPI *LoadLibraryA)(LPCSTR);
    FARPROC(WINAPI *GetProcAddress)(HMODULE, LPCSTR);
    BOOL(WINAPI *FreeLibrary)(HMODULE);
    HDEVNOTIFY(WINAPI *RegisterDeviceNotificationW)(HANDLE, LPVOID, DWORD);
    BOOL(WINAPI *UnregisterDeviceNotification)(HDEVNOTIFY);
};

// The table in force: the real functions unless a simulation was installed.
const DriverSeam &CurrentDriverSeam();

// Installs another table (copied); null puts the real functions back.
void InstallDriverSeam(const DriverSeam *seam);

// The table of the real Win32 functions.
const DriverSeam &Win32DriverSeam();

} // namespace dravio
