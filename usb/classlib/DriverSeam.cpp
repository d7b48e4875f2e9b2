#include "DriverSeam.h"

namespace dravio {

namespace {

// The table in force. Swapped only while no device is in use (tests, demo start-up).
DriverSeam &InstalledSeam()
{
    static DriverSeam seam = Win32DriverSeam();
    return seam;
}

} // namespace

const DriverSeam &Win32DriverSeam()
{
    static const DriverSeam seam = {
        ::CreateFileW,
        ::CreateFileA,
        ::CloseHandle,
        ::DeviceIoControl,
        ::ReadFile,
        ::WriteFile,
        ::CancelIo,
        ::LoadLibraryW,
        ::LoadLibraryA,
        ::GetProcAddress,
        ::FreeLibrary,
        ::RegisterDeviceNotificationW,
        ::UnregisterDeviceNotification,
    };
    return seam;
}

const DriverSeam &CurrentDriverSeam()
{
    return InstalledSeam();
}

void InstallDriverSeam(const DriverSeam *seam)
{
    InstalledSeam() = seam ? *seam : Win32DriverSeam();
}

} // namespace dravio
