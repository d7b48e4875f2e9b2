// One device of the Dravio driver: finding it through the setup API, opening
// it, and every control request, each sent synchronously on the device handle.
//
// The library is built twice from this source. The wide build (DRAVIO_WIDE_BUILD) is the
// full one; the narrow build uses the narrow setup API and device names, checks
// the driver's API version at every open and leaves out the parent device ID,
// opening by path, the bind request alone and the requests 0x83C and 0x83D.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <memory>

#include "CriticalSection.h"
#include "DravioIoctl.h"
#include "DravioStatus.h"
#include "EventHandle.h"

namespace dravio {

// The character type of the build: its own macro, so a user that defines UNICODE
// for other reasons still sees the narrow build's declarations.
#ifdef DRAVIO_WIDE_BUILD
using DravioChar = wchar_t;
#else
using DravioChar = char;
#endif

class CDravio {
public:
    CDravio();
    virtual ~CDravio();
    CDravio(const CDravio &) = delete;
    CDravio &operator=(const CDravio &) = delete;

    // The present devices of one device interface class; null when the setup
    // API can't be loaded or refuses.
    static HDEVINFO BuildDeviceList(const GUID *interfaceClass);
    static void FreeDeviceList(HDEVINFO list);

    // Opens device interface `number` of the list, or "\\.\Dravio_Device<number>"
    // without a list.
#ifdef DRAVIO_WIDE_BUILD
    DWORD OpenByNumber(int number, HDEVINFO list, const GUID *interfaceClass, bool checkVersion);
    DWORD OpenByPath(LPCWSTR path, bool checkVersion);
#else
    DWORD OpenByNumber(int number, HDEVINFO list, const GUID *interfaceClass);
#endif
    void Close();
    bool IsOpen() const { return device_ != nullptr; }

    // Bits 4, 5 and 8 of the driver flags, as the last open read them.
    BOOL GetDriverFlagBit4() const { return driverFlagBit4_; }
    BOOL GetDriverFlagBit5() const { return driverFlagBit5_; }
    BOOL GetDriverFlagBit8() const { return driverFlagBit8_; }

    // Looks up device interface `number` of the list and keeps its detail record.
    DWORD QueryInterfacePath(int number, HDEVINFO list, const GUID *interfaceClass);
    // The device path of the last look-up, or null.
    const DravioChar *GetDevicePath() const;
#ifdef DRAVIO_WIDE_BUILD
    // The device ID of the parent device node, or null; valid until the next
    // query, Close or destruction.
    LPCWSTR GetParentDeviceId();
#endif

    // The generic request: the device lock is held for the whole exchange.
    DWORD SyncIoctl(DWORD code, const void *input, DWORD inputSize, void *output, DWORD outputSize,
                    DWORD *bytesReturned = nullptr);

    DWORD GetDriverInfo(DRAVIO_DRIVER_INFO &info);
    DWORD GetDeviceInfo(DRAVIO_DEVICE_INFO &info);
    bool IsHighSpeedDevice();
    DWORD GetBandwidthInfo(DRAVIO_BANDWIDTH_INFO &info);

    // Descriptor requests; `length` is the buffer size in and the bytes delivered out.
    DWORD GetDescriptor(void *buffer, DWORD &length, ULONG recipient, UCHAR type, UCHAR index, USHORT language);
    DWORD GetDeviceDescriptor(void *buffer18);
    DWORD GetConfigurationDescriptor(void *buffer, DWORD &length, UCHAR index);
    DWORD GetStringDescriptor(void *buffer, DWORD &length, UCHAR index, USHORT language);
    DWORD SetDescriptor(const void *buffer, DWORD &length, ULONG recipient, UCHAR type, UCHAR index,
                        USHORT language);

    DWORD SetFeature(ULONG recipient, USHORT featureSelector, USHORT index);
    DWORD ClearFeature(ULONG recipient, USHORT featureSelector, USHORT index);
    DWORD GetStatus(USHORT &status, ULONG recipient, USHORT index);

    DWORD ClassOrVendorInRequest(void *buffer, DWORD &length, const DRAVIO_CLASS_OR_VENDOR_REQUEST &request);
    DWORD ClassOrVendorOutRequest(const void *buffer, DWORD &length, const DRAVIO_CLASS_OR_VENDOR_REQUEST &request);

    DWORD SetConfiguration(const DRAVIO_CONFIGURATION_REQUEST &request);
    DWORD UnconfigureDevice();
    DWORD GetConfiguration(UCHAR &configuration);
    DWORD GetConfigurationInfo(DRAVIO_CONFIGURATION_INFO &info);
    DWORD SetInterface(const DRAVIO_INTERFACE_SETTING &setting);
    DWORD GetInterface(UCHAR &alternateSetting, USHORT interfaceNumber);
    // Sends a USB configuration descriptor whole, as long as its total-length field says.
    DWORD StoreConfigurationDescriptor(const void *descriptor);

    DWORD GetDeviceParameters(DRAVIO_DEVICE_PARAMETERS &parameters);
    DWORD SetDeviceParameters(const DRAVIO_DEVICE_PARAMETERS &parameters);
    DWORD ResetDevice();
    DWORD CyclePort();
    DWORD GetCurrentFrameNumber(ULONG &frameNumber);
    DWORD GetDevicePowerState(ULONG &powerState);
    DWORD SetDevicePowerState(ULONG powerState);

    DWORD Control832();
    DWORD Control833();
#ifdef DRAVIO_WIDE_BUILD
    DWORD Control83C(ULONG value, UCHAR byte);
    DWORD Control83D(DRAVIO_CONTROL_83D_DATA &data);
#endif

    // Cancels what the calling thread started on the device handle.
    BOOL CancelIo();

    // "Error code 0x%08X: <text>", cut to the capacity and always terminated.
    static DravioChar *FormatStatusText(DravioChar *buffer, DWORD capacity, DWORD status);

protected:
    HANDLE DeviceHandle() const { return device_; }

private:
#ifndef DRAVIO_WIDE_BUILD
    DWORD OpenByPath(LPCSTR path, bool checkVersion);
#endif
    void FreeLookupRecords();

    HANDLE device_ = nullptr;
    OVERLAPPED requestOverlapped_{};
    EventHandle requestEvent_;
    CriticalSection deviceLock_;
    BOOL driverFlagBit4_ = FALSE;
    BOOL driverFlagBit5_ = FALSE;
    BOOL driverFlagBit8_ = FALSE;
    std::unique_ptr<BYTE[]> interfaceDetail_;
#ifdef DRAVIO_WIDE_BUILD
    SP_DEVINFO_DATA deviceInfoData_{};
    std::unique_ptr<WCHAR[]> parentId_;
#endif
};

} // namespace dravio
