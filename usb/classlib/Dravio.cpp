#include "Dravio.h"

#include <strsafe.h>

#include "DriverSeam.h"
#include "LastError.h"

namespace dravio {

namespace {

// The lowest driver API version each build accepts (major version 2 only).
#ifdef UNICODE
constexpr USHORT kMinimumApiVersion = 0x0232;
#else
constexpr USHORT kMinimumApiVersion = 0x0230;
#endif

bool IsAcceptedApiVersion(USHORT version)
{
    return (version >> 8) == 2 && version >= kMinimumApiVersion;
}

} // namespace

CDravio::CDravio() = default;

CDravio::~CDravio()
{
    Close();
}

#ifdef UNICODE
DWORD CDravio::OpenByNumber(int number, HDEVINFO list, const GUID *interfaceClass, bool checkVersion)
#else
DWORD CDravio::OpenByNumber(int number, HDEVINFO list, const GUID *interfaceClass)
#endif
{
#ifndef UNICODE
    // The narrow build refuses old drivers at every open.
    constexpr bool checkVersion = true;
#endif
    if (IsOpen())
        return DRAVIO_ERR_ALREADY_OPEN;

    if (list) {
        const DWORD status = QueryInterfacePath(number, list, interfaceClass);
        if (status != DRAVIO_STATUS_SUCCESS)
            return status;
        return OpenByPath(GetDevicePath(), checkVersion);
    }

    TCHAR name[80];
    StringCchPrintf(name, ARRAYSIZE(name), TEXT("\\\\.\\Dravio_Device%d"), number);
    return OpenByPath(name, checkVersion);
}

DWORD CDravio::OpenByPath(LPCTSTR path, bool checkVersion)
{
    if (IsOpen())
        return DRAVIO_ERR_ALREADY_OPEN;
    if (!path)
        return DRAVIO_ERR_INVALID_PARAMETER;

    const DriverSeam &seam = CurrentDriverSeam();
#ifdef UNICODE
    const HANDLE device = seam.CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
#else
    const HANDLE device = seam.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
#endif
    if (device == INVALID_HANDLE_VALUE || !device) {
        const DWORD error = LastErrorStatus();
        return error == ERROR_FILE_NOT_FOUND ? DRAVIO_ERR_DEVICE_NOT_FOUND : error;
    }

    device_ = device;
    requestOverlapped_ = {};
    if (!requestEvent_.Create(false)) {
        Close();
        return DRAVIO_ERR_NO_MEMORY;
    }
    requestOverlapped_.hEvent = requestEvent_.Get();

    DRAVIO_DRIVER_INFO info{};
    DWORD status = GetDriverInfo(info);
    if (status == DRAVIO_STATUS_SUCCESS) {
        driverFlagBit4_ = (info.DriverFlags >> 4) & 1;
        driverFlagBit5_ = (info.DriverFlags >> 5) & 1;
        driverFlagBit8_ = (info.DriverFlags >> 8) & 1;
        if (checkVersion && !IsAcceptedApiVersion(info.ApiVersion))
            status = DRAVIO_ERR_VERSION_MISMATCH;
    }
    // No half-open object: a device we can't talk to is closed again.
    if (status != DRAVIO_STATUS_SUCCESS)
        Close();
    return status;
}

void CDravio::Close()
{
#ifdef UNICODE
    deviceInfoData_ = {};
#endif
    if (device_)
        CurrentDriverSeam().CloseHandle(device_);
    device_ = nullptr;
    requestOverlapped_.hEvent = nullptr;
    requestEvent_.Reset();
    FreeLookupRecords();
}

void CDravio::FreeLookupRecords()
{
    interfaceDetail_.reset();
#ifdef UNICODE
    parentId_.reset();
#endif
}

DWORD CDravio::SyncIoctl(DWORD code, const void *input, DWORD inputSize, void *output, DWORD outputSize,
                         DWORD *bytesReturned)
{
    if (bytesReturned)
        *bytesReturned = 0;
    if (!device_)
        return DRAVIO_ERR_DEVICE_NOT_OPEN;

    // Every request of this object shares the one overlapped structure.
    CriticalSectionLock lock(deviceLock_);
    const HANDLE event = requestOverlapped_.hEvent;
    requestOverlapped_ = {};
    requestOverlapped_.hEvent = event;

    DWORD returned = 0;
    DWORD status = DRAVIO_STATUS_SUCCESS;
    if (!CurrentDriverSeam().DeviceIoControl(device_, code, const_cast<void *>(input), inputSize, output,
                                             outputSize, &returned, &requestOverlapped_)) {
        status = LastErrorStatus();
        if (status == ERROR_IO_PENDING) {
            status = GetOverlappedResult(device_, &requestOverlapped_, &returned, TRUE) ? DRAVIO_STATUS_SUCCESS
                                                                                         : LastErrorStatus();
        }
    }
    if (bytesReturned)
        *bytesReturned = returned;
    return status;
}

BOOL CDravio::CancelIo()
{
    if (!device_) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CurrentDriverSeam().CancelIo(device_);
}

} // namespace dravio
