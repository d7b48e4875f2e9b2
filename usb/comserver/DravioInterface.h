// The server's one class: an automation object that drives one device and
// one pipe of it for its client. Every method returns S_OK; the outcome of
// the operation travels in the final status argument.
#pragma once

#include "DravioCOM.h"
#include "DravioEvents.h"
#include "DravioRW.h"

#include <com/ConnectionPoint.h>
#include <com/Dispatch.h>
#include <com/Lock.h>
#include <com/Object.h>

#include <memory>
#include <span>
#include <vector>

class CDravioInterface : public com::ObjectRoot,
                         public com::ConnectionPointContainer,
                         public com::DispatchImpl<IDravioInterface> {
public:
    CDravioInterface();
    ~CDravioInterface();

    static std::span<const com::InterfaceEntry> InterfaceTable() noexcept;
    static com::TypeInfoSource &TypeInfo() noexcept;
    // Runs registry script 101 for registration or removal.
    static HRESULT UpdateRegistry(bool registering) noexcept;

    HRESULT FinalConstruct() noexcept;
    void FinalRelease() noexcept;

    STDMETHODIMP EnumerateDevices(BSTR interfaceClass, LONG *count) override;
    STDMETHODIMP OpenDevice(LONG deviceNumber, LONG *status) override;
    STDMETHODIMP CloseDevice() override;
    STDMETHODIMP GetDevicePathName(BSTR *path) override;
    STDMETHODIMP GetDriverInfo(LONG *apiVersion, LONG *driverVersion, LONG *buildNumber, LONG *driverFlags,
                               LONG *status) override;
    STDMETHODIMP GetDriverFlagBit4(LONG *value) override;
    STDMETHODIMP GetDriverFlagBit5(LONG *value) override;
    STDMETHODIMP GetDriverFlagBit8(LONG *value) override;
    STDMETHODIMP GetDeviceParameter1(LONG *value) override;
    STDMETHODIMP SetDeviceParameter1(LONG value) override;
    STDMETHODIMP GetDeviceParameter2(LONG *value) override;
    STDMETHODIMP SetDeviceParameter2(LONG value) override;
    STDMETHODIMP GetDescriptor(SAFEARRAY **data, LONG *length, LONG recipient, LONG descriptorType,
                               LONG descriptorIndex, LONG languageId, LONG *status) override;
    STDMETHODIMP GetDeviceDescriptor(SAFEARRAY **data, LONG *length, LONG *status) override;
    STDMETHODIMP GetConfigurationDescriptor(SAFEARRAY **data, LONG *length, LONG descriptorIndex,
                                            LONG *status) override;
    STDMETHODIMP GetStringDescriptor(SAFEARRAY **data, LONG *length, LONG descriptorIndex, LONG languageId,
                                     LONG *status) override;
    STDMETHODIMP SetDescriptor(SAFEARRAY **data, LONG recipient, LONG descriptorType, LONG descriptorIndex,
                               LONG languageId, LONG *status) override;
    STDMETHODIMP AddInterface(LONG interfaceIndex, LONG alternateSetting, LONG maximumTransferSize,
                              LONG *status) override;
    STDMETHODIMP DeleteInterfaces() override;
    STDMETHODIMP SetConfiguration(LONG configurationIndex, LONG *status) override;
    STDMETHODIMP GetConfiguration(BYTE *configurationValue, LONG *status) override;
    STDMETHODIMP UnconfigureDevice(LONG *status) override;
    STDMETHODIMP SetInterface(LONG interfaceIndex, LONG alternateSetting, LONG maximumTransferSize,
                              LONG *status) override;
    STDMETHODIMP GetInterface(BYTE *alternateSetting, LONG interfaceIndex, LONG *status) override;
    STDMETHODIMP ClassOrVendorInRequest(SAFEARRAY **data, LONG *length, LONG flags, LONG requestType,
                                        LONG recipient, LONG reservedBits, LONG request, LONG value, LONG index,
                                        LONG *status) override;
    STDMETHODIMP ClassOrVendorOutRequest(SAFEARRAY **data, LONG flags, LONG requestType, LONG recipient,
                                         LONG reservedBits, LONG request, LONG value, LONG index,
                                         LONG *status) override;
    STDMETHODIMP SetFeature(LONG recipient, LONG featureSelector, LONG index, LONG *status) override;
    STDMETHODIMP ClearFeature(LONG recipient, LONG featureSelector, LONG index, LONG *status) override;
    STDMETHODIMP GetDevicePowerState(LONG *powerState, LONG *status) override;
    STDMETHODIMP SetDevicePowerState(LONG powerState, LONG *status) override;
    STDMETHODIMP ResetDevice(LONG *status) override;
    STDMETHODIMP CyclePort(LONG *status) override;
    STDMETHODIMP GetStatus(LONG *statusWord, LONG recipient, LONG index, LONG *status) override;
    STDMETHODIMP GetCurrentFrameNumber(LONG *frameNumber, LONG *status) override;
    STDMETHODIMP GetErrorText(LONG statusCode, BSTR *text) override;
    STDMETHODIMP Bind(LONG endpointAddress, LONG *status) override;
    STDMETHODIMP Unbind(LONG *status) override;
    STDMETHODIMP StartReading(LONG size, LONG bufferCount, LONG errorLimit, LONG *status) override;
    STDMETHODIMP ReadData(SAFEARRAY **data, LONG *length, LONG *status) override;
    STDMETHODIMP ReadIsoData(SAFEARRAY **data, LONG *length, SAFEARRAY **packetStatus, LONG *status) override;
    STDMETHODIMP StopReading() override;
    STDMETHODIMP StartWriting(LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus,
                              LONG *status) override;
    STDMETHODIMP WriteData(SAFEARRAY **data, LONG tag, LONG *status) override;
    STDMETHODIMP GetWriteStatus(LONG *tag, LONG *status) override;
    STDMETHODIMP WriteIsoData(SAFEARRAY **data, SAFEARRAY **packetLengths, LONG tag, LONG *status) override;
    STDMETHODIMP GetIsoWriteStatus(LONG *tag, SAFEARRAY **packetStatus, LONG *packetCount, LONG *status) override;
    STDMETHODIMP StopWriting() override;
    STDMETHODIMP ResetPipe(LONG *status) override;
    STDMETHODIMP AbortPipe(LONG *status) override;
    STDMETHODIMP GetPipeFlag(LONG *value) override;
    STDMETHODIMP SetPipeFlag(LONG flag) override;
    STDMETHODIMP GetMaxPacketSize(LONG *value) override;
    STDMETHODIMP EnablePnPNotification(BSTR interfaceClass, LONG *status) override;
    STDMETHODIMP DisablePnPNotification(BSTR interfaceClass, LONG *status) override;
    STDMETHODIMP GetBandwidthInfo(LONG *first, LONG *second, LONG *status) override;
    STDMETHODIMP IsHighSpeed(LONG *value) override;
    STDMETHODIMP SetupPipeStatistics(LONG averagingInterval, LONG *status) override;
    STDMETHODIMP QueryPipeStatistics(LONG *value1, LONG *value2, LONG *value3, LONG *value4, LONG *value5,
                                     LONG *value6, LONG queryFlags, LONG *status) override;
    STDMETHODIMP Control832(LONG *status) override;
    STDMETHODIMP Control833(LONG *status) override;
    STDMETHODIMP GetDeviceInfoWord1(LONG *value) override;

private:
    // The event dispatcher the worker and the notifiers call with this object as context.
    static void DispatchEvent(void *context, int code);
    void DisableOwnNotifiers();

    std::shared_ptr<CDravioRW> worker_;
    LONG startedSize_ = 0;
    com::ConnectionPoint events_;
    CProxy_IDravioInterfaceEvents proxy_;
    com::CriticalSection notifierLock_;
    std::vector<GUID> enabledClasses_; // classes this object enabled, stopped when it goes
};
