#include "Dravio.h"

#include <cstring>

namespace dravio {

DWORD CDravio::GetDriverInfo(DRAVIO_DRIVER_INFO &info)
{
    return SyncIoctl(IOCTL_DRAVIO_GET_DRIVER_INFO, nullptr, 0, &info, sizeof info);
}

DWORD CDravio::GetDeviceInfo(DRAVIO_DEVICE_INFO &info)
{
    return SyncIoctl(IOCTL_DRAVIO_GET_DEVICE_INFO, nullptr, 0, &info, sizeof info);
}

bool CDravio::IsHighSpeedDevice()
{
    if (!IsOpen())
        return false;
    DRAVIO_DEVICE_INFO info{};
    return GetDeviceInfo(info) == DRAVIO_STATUS_SUCCESS && (info.DeviceFlags & DRAVIO_DEVICE_FLAG_HIGH_SPEED) != 0;
}

DWORD CDravio::GetBandwidthInfo(DRAVIO_BANDWIDTH_INFO &info)
{
    return SyncIoctl(IOCTL_DRAVIO_GET_BANDWIDTH_INFO, nullptr, 0, &info, sizeof info);
}

DWORD CDravio::GetDescriptor(void *buffer, DWORD &length, ULONG recipient, UCHAR type, UCHAR index,
                             USHORT language)
{
    const DRAVIO_DESCRIPTOR_REQUEST request{recipient, type, index, language};
    DWORD returned = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_GET_DESCRIPTOR, &request, sizeof request, buffer, length, &returned);
    length = returned;
    return status;
}

DWORD CDravio::GetDeviceDescriptor(void *buffer18)
{
    DWORD length = 18;
    return GetDescriptor(buffer18, length, 0, DRAVIO_DESCRIPTOR_DEVICE, 0, 0);
}

DWORD CDravio::GetConfigurationDescriptor(void *buffer, DWORD &length, UCHAR index)
{
    return GetDescriptor(buffer, length, 0, DRAVIO_DESCRIPTOR_CONFIGURATION, index, 0);
}

DWORD CDravio::GetStringDescriptor(void *buffer, DWORD &length, UCHAR index, USHORT language)
{
    return GetDescriptor(buffer, length, 0, DRAVIO_DESCRIPTOR_STRING, index, language);
}

DWORD CDravio::SetDescriptor(const void *buffer, DWORD &length, ULONG recipient, UCHAR type, UCHAR index,
                             USHORT language)
{
    // Direct in: the driver takes the descriptor bytes from the output buffer.
    const DRAVIO_DESCRIPTOR_REQUEST request{recipient, type, index, language};
    DWORD returned = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_SET_DESCRIPTOR, &request, sizeof request, const_cast<void *>(buffer),
                                   length, &returned);
    length = returned;
    return status;
}

DWORD CDravio::SetFeature(ULONG recipient, USHORT featureSelector, USHORT index)
{
    const DRAVIO_FEATURE_REQUEST request{recipient, featureSelector, index};
    return SyncIoctl(IOCTL_DRAVIO_SET_FEATURE, &request, sizeof request, nullptr, 0);
}

DWORD CDravio::ClearFeature(ULONG recipient, USHORT featureSelector, USHORT index)
{
    const DRAVIO_FEATURE_REQUEST request{recipient, featureSelector, index};
    return SyncIoctl(IOCTL_DRAVIO_CLEAR_FEATURE, &request, sizeof request, nullptr, 0);
}

DWORD CDravio::GetStatus(USHORT &status, ULONG recipient, USHORT index)
{
    const DRAVIO_STATUS_REQUEST request{recipient, index};
    USHORT word = 0;
    const DWORD result = SyncIoctl(IOCTL_DRAVIO_GET_STATUS, &request, sizeof request, &word, sizeof word);
    status = word;
    return result;
}

DWORD CDravio::ClassOrVendorInRequest(void *buffer, DWORD &length, const DRAVIO_CLASS_OR_VENDOR_REQUEST &request)
{
    DWORD returned = 0;
    const DWORD status =
        SyncIoctl(IOCTL_DRAVIO_CLASS_OR_VENDOR_IN_REQUEST, &request, sizeof request, buffer, length, &returned);
    length = returned;
    return status;
}

DWORD CDravio::ClassOrVendorOutRequest(const void *buffer, DWORD &length,
                                       const DRAVIO_CLASS_OR_VENDOR_REQUEST &request)
{
    DWORD returned = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_CLASS_OR_VENDOR_OUT_REQUEST, &request, sizeof request,
                                   const_cast<void *>(buffer), length, &returned);
    length = returned;
    return status;
}

DWORD CDravio::SetConfiguration(const DRAVIO_CONFIGURATION_REQUEST &request)
{
    return SyncIoctl(IOCTL_DRAVIO_SET_CONFIGURATION, &request, sizeof request, nullptr, 0);
}

DWORD CDravio::UnconfigureDevice()
{
    return SyncIoctl(IOCTL_DRAVIO_UNCONFIGURE_DEVICE, nullptr, 0, nullptr, 0);
}

DWORD CDravio::GetConfiguration(UCHAR &configuration)
{
    UCHAR value = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_GET_CONFIGURATION, nullptr, 0, &value, sizeof value);
    configuration = value;
    return status;
}

DWORD CDravio::GetConfigurationInfo(DRAVIO_CONFIGURATION_INFO &info)
{
    info = {};
    return SyncIoctl(IOCTL_DRAVIO_GET_CONFIGURATION_INFO, nullptr, 0, &info, sizeof info);
}

DWORD CDravio::SetInterface(const DRAVIO_INTERFACE_SETTING &setting)
{
    return SyncIoctl(IOCTL_DRAVIO_SET_INTERFACE, &setting, sizeof setting, nullptr, 0);
}

DWORD CDravio::GetInterface(UCHAR &alternateSetting, USHORT interfaceNumber)
{
    UCHAR value = 0;
    const DWORD status =
        SyncIoctl(IOCTL_DRAVIO_GET_INTERFACE, &interfaceNumber, sizeof interfaceNumber, &value, sizeof value);
    alternateSetting = value;
    return status;
}

DWORD CDravio::StoreConfigurationDescriptor(const void *descriptor)
{
    if (!descriptor)
        return DRAVIO_ERR_INVALID_PARAMETER;
    // wTotalLength of the configuration descriptor.
    USHORT totalLength = 0;
    std::memcpy(&totalLength, static_cast<const BYTE *>(descriptor) + 2, sizeof totalLength);
    return SyncIoctl(IOCTL_DRAVIO_STORE_CONFIG_DESCRIPTOR, descriptor, totalLength, nullptr, 0);
}

DWORD CDravio::GetDeviceParameters(DRAVIO_DEVICE_PARAMETERS &parameters)
{
    parameters = {};
    return SyncIoctl(IOCTL_DRAVIO_GET_DEVICE_PARAMETERS, nullptr, 0, &parameters, sizeof parameters);
}

DWORD CDravio::SetDeviceParameters(const DRAVIO_DEVICE_PARAMETERS &parameters)
{
    return SyncIoctl(IOCTL_DRAVIO_SET_DEVICE_PARAMETERS, &parameters, sizeof parameters, nullptr, 0);
}

DWORD CDravio::ResetDevice()
{
    return SyncIoctl(IOCTL_DRAVIO_RESET_DEVICE, nullptr, 0, nullptr, 0);
}

DWORD CDravio::CyclePort()
{
    return SyncIoctl(IOCTL_DRAVIO_CYCLE_PORT, nullptr, 0, nullptr, 0);
}

DWORD CDravio::GetCurrentFrameNumber(ULONG &frameNumber)
{
    ULONG value = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_GET_CURRENT_FRAME_NUMBER, nullptr, 0, &value, sizeof value);
    frameNumber = value;
    return status;
}

DWORD CDravio::GetDevicePowerState(ULONG &powerState)
{
    ULONG value = 0;
    const DWORD status = SyncIoctl(IOCTL_DRAVIO_GET_DEVICE_POWER_STATE, nullptr, 0, &value, sizeof value);
    if (status == DRAVIO_STATUS_SUCCESS)
        powerState = value;
    return status;
}

DWORD CDravio::SetDevicePowerState(ULONG powerState)
{
    return SyncIoctl(IOCTL_DRAVIO_SET_DEVICE_POWER_STATE, &powerState, sizeof powerState, nullptr, 0);
}

DWORD CDravio::Control832()
{
    return SyncIoctl(IOCTL_DRAVIO_CONTROL_832, nullptr, 0, nullptr, 0);
}

DWORD CDravio::Control833()
{
    return SyncIoctl(IOCTL_DRAVIO_CONTROL_833, nullptr, 0, nullptr, 0);
}

#ifdef UNICODE
DWORD CDravio::Control83C(ULONG value, UCHAR byte)
{
    const DRAVIO_CONTROL_83C_REQUEST request{value, byte};
    return SyncIoctl(IOCTL_DRAVIO_CONTROL_83C, &request, sizeof request, nullptr, 0);
}

DWORD CDravio::Control83D(DRAVIO_CONTROL_83D_DATA &data)
{
    return SyncIoctl(IOCTL_DRAVIO_CONTROL_83D, nullptr, 0, &data, sizeof data);
}
#endif

} // namespace dravio
