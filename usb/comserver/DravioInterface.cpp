#include "DravioInterface.h"

#include "PnPNotifyMap.h"
#include "ServerIdentity.h"
#include "ServerStatus.h"
#include "SharedDeviceList.h"

#include "Dravio.h"
#include "DravioStatus.h"

#include <com/Bstr.h>
#include <com/Registrar.h>
#include <com/SafeArray.h>

#include <cwchar>

namespace {

const UINT kRegistryScript = 101;
const DWORD kErrorFailed = 0xE0001000;
const DWORD kErrorInputTooSmall = 0xE0001001;
const DWORD kErrorOutOfMemory = 0xE0001003;
const DWORD kErrorNotOpen = 0xE0001102;
const ULONG kPipeFlag = 0x10000;
const DWORD kErrorTextCapacity = 1024;

HRESULT LoadServerLibrary(ITypeLib **out)
{
    *out = TheServerIdentity().library.CopyOut();
    return *out ? S_OK : TYPE_E_CANTLOADLIBRARY;
}

// The check of the read and descriptor methods: a one-dimensional array of
// elementSize-byte elements holding at least `required` of them. A negative
// requirement is refused: it would reach the driver as a huge length.
DWORD CheckArray(SAFEARRAY **array, UINT elementSize, LONGLONG required)
{
    if (!array || !*array || SafeArrayGetDim(*array) != 1 || SafeArrayGetElemsize(*array) != elementSize) {
        return DRAVIOCOM_INVALID_ARRAY;
    }
    LONG count = 0;
    if (FAILED(com::SafeArrayLength(*array, count)) || required < 0) {
        return DRAVIOCOM_INVALID_ARRAY;
    }
    return count < required ? kErrorInputTooSmall : 0;
}

LONG ElementCount(SAFEARRAY *array)
{
    LONG count = 0;
    com::SafeArrayLength(array, count);
    return count;
}

// Bytes of a whole array, over all its dimensions.
HRESULT WholeArrayBytes(SAFEARRAY *array, DWORD &bytes)
{
    ULONGLONG total = SafeArrayGetElemsize(array);
    UINT dimensions = SafeArrayGetDim(array);
    for (UINT d = 1; d <= dimensions; ++d) {
        LONG lower = 0;
        LONG upper = 0;
        HRESULT hr = SafeArrayGetLBound(array, d, &lower);
        if (SUCCEEDED(hr)) {
            hr = SafeArrayGetUBound(array, d, &upper);
        }
        if (FAILED(hr)) {
            return hr;
        }
        LONGLONG count = static_cast<LONGLONG>(upper) - lower + 1;
        total *= count > 0 ? static_cast<ULONGLONG>(count) : 0;
    }
    if (total > 0xFFFFFFFFull) {
        return E_INVALIDARG;
    }
    bytes = static_cast<DWORD>(total);
    return S_OK;
}

bool ParseGuid(BSTR text, GUID &guid)
{
    return text && SUCCEEDED(CLSIDFromString(text, &guid));
}

void Put(LONG *out, DWORD status)
{
    *out = static_cast<LONG>(status);
}

// A method whose only result is its request's status, handed out in the final argument.
template <class Request>
HRESULT ReportStatus(LONG *status, Request request)
{
    if (!status) {
        return E_POINTER;
    }
    Put(status, request());
    return S_OK;
}

} // namespace

CDravioInterface::CDravioInterface()
    : com::DispatchImpl<IDravioInterface>(TypeInfo()), events_(*this, DIID__IDravioInterfaceEventsInt), proxy_(events_)
{
    AddConnectionPoint(events_);
}

CDravioInterface::~CDravioInterface() = default;

std::span<const com::InterfaceEntry> CDravioInterface::InterfaceTable() noexcept
{
    static const com::InterfaceEntry table[] = {
        com::InterfaceOf<CDravioInterface, IConnectionPointContainer>(IID_IConnectionPointContainer),
        com::InterfaceOf<CDravioInterface, IDravioInterface>(IID_IDravioInterfaceInt),
        com::InterfaceOf<CDravioInterface, IDispatch>(IID_IDispatch),
    };
    return table;
}

com::TypeInfoSource &CDravioInterface::TypeInfo() noexcept
{
    static com::TypeInfoSource source(&LoadServerLibrary, IID_IDravioInterfaceInt);
    return source;
}

HRESULT CDravioInterface::UpdateRegistry(bool registering) noexcept
{
    const ServerIdentity &identity = TheServerIdentity();
    if (!identity.libidString || !identity.clsidString) {
        return E_UNEXPECTED;
    }
    const com::RegistryReplacement replacements[] = {
        {L"TypeLibGuid", identity.libidString.get()},
        {L"CoClassGuidStr", identity.clsidString.get()},
        {L"CoClassName", identity.coclassName.View()},
        {L"CoClassInfo", identity.coclassInfo.View()},
    };
    return com::RunRegistryScriptResource(com::ThisModule().Instance(), kRegistryScript, replacements, registering);
}

HRESULT CDravioInterface::FinalConstruct() noexcept
{
    try {
        worker_ = std::make_shared<CDravioRW>();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    worker_->SetEventCallback(this, &CDravioInterface::DispatchEvent);
    return S_OK;
}

// The object goes: its notifiers stop calling it and its worker is stopped. The
// worker is waited for unless this is the worker's own thread (the release came
// from inside a handler); the worker then ends by itself and frees its state.
void CDravioInterface::FinalRelease() noexcept
{
    DisableOwnNotifiers();
    if (worker_) {
        worker_->StopThread();
        worker_->WaitThread();
        worker_->SetEventCallback(nullptr, nullptr);
        worker_.reset();
    }
}

void CDravioInterface::DispatchEvent(void *context, int code)
{
    auto *self = static_cast<CDravioInterface *>(context);
    DISPID id = EventDispidOf(code);
    if (id != 0) {
        self->proxy_.Fire(id, static_cast<IDravioInterface *>(self));
    }
}

void CDravioInterface::DisableOwnNotifiers()
{
    std::vector<GUID> classes;
    {
        com::ScopedLock lock(notifierLock_);
        classes.swap(enabledClasses_);
    }
    for (const GUID &interfaceClass : classes) {
        std::shared_ptr<CThreadPnPNotify> notifier;
        if (ThePnPNotifyMap().Find(interfaceClass, notifier) && notifier->CallbackContext() == this &&
            ThePnPNotifyMap().Remove(interfaceClass, notifier)) {
            notifier->StopAndWait();
        }
    }
}

// Devices

STDMETHODIMP CDravioInterface::EnumerateDevices(BSTR interfaceClass, LONG *count)
{
    if (!count) {
        return E_POINTER;
    }
    GUID guid;
    if (!ParseGuid(interfaceClass, guid)) {
        *count = -1;
        return S_OK;
    }
    *count = CSharedDeviceList::Instance().Rebuild(guid);
    return S_OK;
}

STDMETHODIMP CDravioInterface::OpenDevice(LONG deviceNumber, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    if (worker_->IsOpenFlag()) {
        Put(status, DRAVIOCOM_ALREADY_OPEN);
        return S_OK;
    }
    DWORD result = CSharedDeviceList::Instance().Open(*worker_, deviceNumber);
    if (result != DRAVIOCOM_NOT_ENUMERATED) {
        worker_->SetDeviceNumber(deviceNumber);
    }
    if (result == 0) {
        worker_->SetOpenFlag(true);
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::CloseDevice()
{
    worker_->StopAndWaitUnlessInHandler();
    worker_->SetDeviceNumber(-1);
    worker_->SetEndpointAddress(-1);
    worker_->Close();
    worker_->SetOpenFlag(false);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDevicePathName(BSTR *path)
{
    if (!path) {
        return E_POINTER;
    }
    const wchar_t *devicePath = worker_->IsOpen() ? worker_->GetDevicePath() : nullptr;
    *path = SysAllocString(devicePath ? devicePath : L"");
    return *path ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CDravioInterface::GetDriverInfo(LONG *apiVersion, LONG *driverVersion, LONG *buildNumber,
                                             LONG *driverFlags, LONG *status)
{
    if (!apiVersion || !driverVersion || !buildNumber || !driverFlags || !status) {
        return E_POINTER;
    }
    dravio::DRAVIO_DRIVER_INFO info = {};
    DWORD result = worker_->GetDriverInfo(info);
    bool ok = result == 0;
    *apiVersion = ok ? info.ApiVersion : 0;
    *driverVersion = ok ? info.DriverVersion : 0;
    *buildNumber = ok ? static_cast<LONG>(info.DriverBuildNumber) : 0;
    *driverFlags = ok ? static_cast<LONG>(info.DriverFlags) : 0;
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDriverFlagBit4(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = worker_->GetDriverFlagBit4() ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDriverFlagBit5(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = worker_->GetDriverFlagBit5() ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDriverFlagBit8(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = worker_->GetDriverFlagBit8() ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDeviceParameter1(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    dravio::DRAVIO_DEVICE_PARAMETERS parameters = {};
    *value = worker_->GetDeviceParameters(parameters) == 0 ? static_cast<LONG>(parameters.FirstParameter) : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetDeviceParameter1(LONG value)
{
    dravio::DRAVIO_DEVICE_PARAMETERS parameters = {};
    if (worker_->GetDeviceParameters(parameters) == 0) {
        parameters.FirstParameter = static_cast<ULONG>(value);
        worker_->SetDeviceParameters(parameters);
    }
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDeviceParameter2(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    dravio::DRAVIO_DEVICE_PARAMETERS parameters = {};
    *value = worker_->GetDeviceParameters(parameters) == 0 ? static_cast<LONG>(parameters.SecondParameter) : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetDeviceParameter2(LONG value)
{
    dravio::DRAVIO_DEVICE_PARAMETERS parameters = {};
    if (worker_->GetDeviceParameters(parameters) == 0) {
        parameters.SecondParameter = static_cast<ULONG>(value);
        worker_->SetDeviceParameters(parameters);
    }
    return S_OK;
}

// Descriptors

STDMETHODIMP CDravioInterface::GetDescriptor(SAFEARRAY **data, LONG *length, LONG recipient, LONG descriptorType,
                                             LONG descriptorIndex, LONG languageId, LONG *status)
{
    if (!length || !status) {
        return E_POINTER;
    }
    LONG wanted = *length;
    *length = 0;
    DWORD result = CheckArray(data, 1, wanted);
    if (result == 0) {
        com::SafeArrayAccess<BYTE> bytes(*data);
        if (FAILED(bytes.Status())) {
            result = DRAVIOCOM_INVALID_ARRAY;
        } else {
            DWORD delivered = static_cast<DWORD>(wanted);
            result = worker_->GetDescriptor(bytes.Data(), delivered, static_cast<ULONG>(recipient),
                                            static_cast<UCHAR>(descriptorType), static_cast<UCHAR>(descriptorIndex),
                                            static_cast<USHORT>(languageId));
            if (result == 0) {
                *length = static_cast<LONG>(delivered);
            }
        }
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetDeviceDescriptor(SAFEARRAY **data, LONG *length, LONG *status)
{
    return GetDescriptor(data, length, 0, 1, 0, 0, status);
}

STDMETHODIMP CDravioInterface::GetConfigurationDescriptor(SAFEARRAY **data, LONG *length, LONG descriptorIndex,
                                                          LONG *status)
{
    return GetDescriptor(data, length, 0, 2, descriptorIndex, 0, status);
}

STDMETHODIMP CDravioInterface::GetStringDescriptor(SAFEARRAY **data, LONG *length, LONG descriptorIndex,
                                                   LONG languageId, LONG *status)
{
    return GetDescriptor(data, length, 0, 3, descriptorIndex, languageId, status);
}

STDMETHODIMP CDravioInterface::SetDescriptor(SAFEARRAY **data, LONG recipient, LONG descriptorType,
                                             LONG descriptorIndex, LONG languageId, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    if (!data || !*data) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    DWORD bytesToSend = 0;
    if (FAILED(WholeArrayBytes(*data, bytesToSend))) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    com::SafeArrayAccess<BYTE> bytes(*data);
    if (FAILED(bytes.Status())) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    Put(status, worker_->SetDescriptor(bytes.Data(), bytesToSend, static_cast<ULONG>(recipient),
                                       static_cast<UCHAR>(descriptorType), static_cast<UCHAR>(descriptorIndex),
                                       static_cast<USHORT>(languageId)));
    return S_OK;
}

// Configuration

STDMETHODIMP CDravioInterface::AddInterface(LONG interfaceIndex, LONG alternateSetting, LONG maximumTransferSize,
                                            LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    dravio::DRAVIO_CONFIGURATION_REQUEST &configuration = worker_->Configuration();
    if (configuration.NumberOfInterfaces >= dravio::DRAVIO_MAX_INTERFACES) {
        Put(status, DRAVIOCOM_TOO_MANY_INTERFACES);
        return S_OK;
    }
    dravio::DRAVIO_INTERFACE_SETTING &entry = configuration.Interfaces[configuration.NumberOfInterfaces++];
    entry.InterfaceIndex = static_cast<USHORT>(interfaceIndex);
    entry.AlternateSettingIndex = static_cast<USHORT>(alternateSetting);
    entry.MaximumTransferSize = static_cast<ULONG>(maximumTransferSize);
    Put(status, 0);
    return S_OK;
}

STDMETHODIMP CDravioInterface::DeleteInterfaces()
{
    worker_->Configuration().NumberOfInterfaces = 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetConfiguration(LONG configurationIndex, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    dravio::DRAVIO_CONFIGURATION_REQUEST &configuration = worker_->Configuration();
    if (configuration.NumberOfInterfaces == 0) {
        Put(status, DRAVIOCOM_NO_INTERFACE);
        return S_OK;
    }
    configuration.ConfigurationIndex = static_cast<USHORT>(configurationIndex);
    Put(status, worker_->SetConfiguration(configuration));
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetConfiguration(BYTE *configurationValue, LONG *status)
{
    if (!configurationValue || !status) {
        return E_POINTER;
    }
    UCHAR value = 0;
    Put(status, worker_->GetConfiguration(value));
    *configurationValue = value;
    return S_OK;
}

STDMETHODIMP CDravioInterface::UnconfigureDevice(LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    worker_->StopAndWaitUnlessInHandler();
    Put(status, worker_->UnconfigureDevice());
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetInterface(LONG interfaceIndex, LONG alternateSetting, LONG maximumTransferSize,
                                            LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    dravio::DRAVIO_INTERFACE_SETTING setting = {};
    setting.InterfaceIndex = static_cast<USHORT>(interfaceIndex);
    setting.AlternateSettingIndex = static_cast<USHORT>(alternateSetting);
    setting.MaximumTransferSize = static_cast<ULONG>(maximumTransferSize);
    Put(status, worker_->SetInterface(setting));
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetInterface(BYTE *alternateSetting, LONG interfaceIndex, LONG *status)
{
    if (!alternateSetting || !status) {
        return E_POINTER;
    }
    UCHAR value = 0;
    Put(status, worker_->GetInterface(value, static_cast<USHORT>(interfaceIndex)));
    *alternateSetting = value;
    return S_OK;
}

// Class and vendor requests, features, power and status

STDMETHODIMP CDravioInterface::ClassOrVendorInRequest(SAFEARRAY **data, LONG *length, LONG flags, LONG requestType,
                                                      LONG recipient, LONG reservedBits, LONG request, LONG value,
                                                      LONG index, LONG *status)
{
    if (!length || !status) {
        return E_POINTER;
    }
    LONG wanted = *length;
    *length = 0;
    DWORD result = CheckArray(data, 1, wanted);
    if (result == 0) {
        com::SafeArrayAccess<BYTE> bytes(*data);
        if (FAILED(bytes.Status())) {
            result = DRAVIOCOM_INVALID_ARRAY;
        } else {
            dravio::DRAVIO_CLASS_OR_VENDOR_REQUEST setup = {};
            setup.Flags = static_cast<ULONG>(flags);
            setup.RequestType = static_cast<ULONG>(requestType);
            setup.Recipient = static_cast<ULONG>(recipient);
            setup.RequestTypeReservedBits = static_cast<UCHAR>(reservedBits);
            setup.Request = static_cast<UCHAR>(request);
            setup.Value = static_cast<USHORT>(value);
            setup.Index = static_cast<USHORT>(index);
            DWORD delivered = static_cast<DWORD>(wanted);
            result = worker_->ClassOrVendorInRequest(bytes.Data(), delivered, setup);
            if (result == 0) {
                *length = static_cast<LONG>(delivered);
            }
        }
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::ClassOrVendorOutRequest(SAFEARRAY **data, LONG flags, LONG requestType,
                                                       LONG recipient, LONG reservedBits, LONG request, LONG value,
                                                       LONG index, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    dravio::DRAVIO_CLASS_OR_VENDOR_REQUEST setup = {};
    setup.Flags = static_cast<ULONG>(flags);
    setup.RequestType = static_cast<ULONG>(requestType);
    setup.Recipient = static_cast<ULONG>(recipient);
    setup.RequestTypeReservedBits = static_cast<UCHAR>(reservedBits);
    setup.Request = static_cast<UCHAR>(request);
    setup.Value = static_cast<USHORT>(value);
    setup.Index = static_cast<USHORT>(index);
    if (!data || !*data) {
        DWORD none = 0;
        Put(status, worker_->ClassOrVendorOutRequest(nullptr, none, setup));
        return S_OK;
    }
    DWORD bytesToSend = 0;
    if (FAILED(WholeArrayBytes(*data, bytesToSend))) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    com::SafeArrayAccess<BYTE> bytes(*data);
    if (FAILED(bytes.Status())) {
        Put(status, kErrorOutOfMemory);
        return S_OK;
    }
    Put(status, worker_->ClassOrVendorOutRequest(bytes.Data(), bytesToSend, setup));
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetFeature(LONG recipient, LONG featureSelector, LONG index, LONG *status)
{
    return ReportStatus(status, [&] {
        return worker_->SetFeature(static_cast<ULONG>(recipient), static_cast<USHORT>(featureSelector),
                                   static_cast<USHORT>(index));
    });
}

STDMETHODIMP CDravioInterface::ClearFeature(LONG recipient, LONG featureSelector, LONG index, LONG *status)
{
    return ReportStatus(status, [&] {
        return worker_->ClearFeature(static_cast<ULONG>(recipient), static_cast<USHORT>(featureSelector),
                                     static_cast<USHORT>(index));
    });
}

STDMETHODIMP CDravioInterface::GetDevicePowerState(LONG *powerState, LONG *status)
{
    if (!powerState || !status) {
        return E_POINTER;
    }
    *powerState = 0;
    ULONG state = 0;
    DWORD result = worker_->GetDevicePowerState(state);
    if (result == 0) {
        *powerState = static_cast<LONG>(state);
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetDevicePowerState(LONG powerState, LONG *status)
{
    return ReportStatus(status, [&] { return worker_->SetDevicePowerState(static_cast<ULONG>(powerState)); });
}

STDMETHODIMP CDravioInterface::ResetDevice(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->ResetDevice(); });
}

STDMETHODIMP CDravioInterface::CyclePort(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->CyclePort(); });
}

STDMETHODIMP CDravioInterface::GetStatus(LONG *statusWord, LONG recipient, LONG index, LONG *status)
{
    if (!statusWord || !status) {
        return E_POINTER;
    }
    USHORT word = 0;
    DWORD result = worker_->GetStatus(word, static_cast<ULONG>(recipient), static_cast<USHORT>(index));
    if (result == 0) {
        *statusWord = word;
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetCurrentFrameNumber(LONG *frameNumber, LONG *status)
{
    if (!frameNumber || !status) {
        return E_POINTER;
    }
    *frameNumber = 0;
    ULONG frame = 0;
    DWORD result = worker_->GetCurrentFrameNumber(frame);
    if (result == 0) {
        *frameNumber = static_cast<LONG>(frame);
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetErrorText(LONG statusCode, BSTR *text)
{
    if (!text) {
        return E_POINTER;
    }
    wchar_t buffer[kErrorTextCapacity] = {};
    DWORD code = static_cast<DWORD>(statusCode);
    if (const wchar_t *serverText = ServerStatusText(code)) {
        _snwprintf(buffer, kErrorTextCapacity - 1, L"Error code 0x%08X: %s", code, serverText);
    } else {
        dravio::CDravio::FormatStatusText(buffer, kErrorTextCapacity, code);
    }
    *text = SysAllocString(buffer);
    return *text ? S_OK : E_OUTOFMEMORY;
}

// Pipe

STDMETHODIMP CDravioInterface::Bind(LONG endpointAddress, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    if (!worker_->IsOpen()) {
        Put(status, kErrorNotOpen);
        return S_OK;
    }
    DWORD result = worker_->BindEndpoint(static_cast<UCHAR>(endpointAddress));
    if (result == 0) {
        // Only a bound endpoint is kept: a refused bind leaves the old state.
        worker_->SetEndpointAddress(endpointAddress);
        result = worker_->LookUpPipe();
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::Unbind(LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    worker_->StopThread();
    worker_->SetEndpointAddress(-1);
    Put(status, worker_->Unbind());
    return S_OK;
}

STDMETHODIMP CDravioInterface::StartReading(LONG size, LONG bufferCount, LONG errorLimit, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    DWORD result = worker_->StartReading(size, bufferCount, errorLimit);
    startedSize_ = size;
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::ReadData(SAFEARRAY **data, LONG *length, LONG *status)
{
    if (!length || !status) {
        return E_POINTER;
    }
    *length = 0;
    if (startedSize_ == 0) {
        Put(status, DRAVIOCOM_READER_NOT_RUNNING);
        return S_OK;
    }
    DWORD result = CheckArray(data, 1, startedSize_);
    if (result == 0) {
        com::SafeArrayAccess<BYTE> bytes(*data);
        if (FAILED(bytes.Status())) {
            result = DRAVIOCOM_INVALID_ARRAY;
        } else {
            DWORD capacity = static_cast<DWORD>(startedSize_);
            result = worker_->ReadData(bytes.Data(), capacity);
            if (result == 0) {
                *length = static_cast<LONG>(capacity);
            }
        }
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::ReadIsoData(SAFEARRAY **data, LONG *length, SAFEARRAY **packetStatus, LONG *status)
{
    if (!length || !status) {
        return E_POINTER;
    }
    *length = 0;
    if (startedSize_ == 0) {
        Put(status, DRAVIOCOM_READER_NOT_RUNNING);
        return S_OK;
    }
    DWORD result =
        CheckArray(data, 1, static_cast<LONGLONG>(startedSize_) * static_cast<LONGLONG>(worker_->GetMaxPacketSize()));
    if (result == 0) {
        result = CheckArray(packetStatus, sizeof(LONG), startedSize_);
    }
    if (result == 0) {
        com::SafeArrayAccess<BYTE> bytes(*data);
        com::SafeArrayAccess<LONG> statuses(*packetStatus);
        if (FAILED(bytes.Status()) || FAILED(statuses.Status())) {
            result = DRAVIOCOM_INVALID_ARRAY;
        } else {
            DWORD delivered = static_cast<DWORD>(ElementCount(*data));
            result = worker_->ReadIsoData(bytes.Data(), delivered, statuses.Data(),
                                          static_cast<DWORD>(startedSize_));
            if (result == 0) {
                *length = static_cast<LONG>(delivered);
            }
        }
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::StopReading()
{
    startedSize_ = 0;
    if (worker_->IsReading()) {
        worker_->StopThread();
    }
    return S_OK;
}

STDMETHODIMP CDravioInterface::StartWriting(LONG size, LONG bufferCount, LONG errorLimit, LONG keepWriteStatus,
                                            LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    DWORD result = worker_->StartWriting(size, bufferCount, errorLimit, keepWriteStatus);
    startedSize_ = size;
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::WriteData(SAFEARRAY **data, LONG tag, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    DWORD bytesToWrite = 0;
    if (!data || !*data || FAILED(WholeArrayBytes(*data, bytesToWrite))) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    com::SafeArrayAccess<BYTE> bytes(*data);
    if (FAILED(bytes.Status())) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    Put(status, worker_->WriteData(bytes.Data(), bytesToWrite, static_cast<DWORD>(tag)));
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetWriteStatus(LONG *tag, LONG *status)
{
    if (!tag || !status) {
        return E_POINTER;
    }
    // The write-buffer event runs on this thread; its handler may drop the client's last reference.
    com::ComPtr<IDravioInterface> self(this);
    std::shared_ptr<CDravioRW> worker = worker_;
    DWORD taken = 0;
    DWORD result = worker->GetWriteStatus(taken);
    *tag = static_cast<LONG>(taken);
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::WriteIsoData(SAFEARRAY **data, SAFEARRAY **packetLengths, LONG tag, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    DWORD bytesToWrite = 0;
    if (!data || !*data || FAILED(WholeArrayBytes(*data, bytesToWrite))) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    // The lengths are checked like every other array: 4-byte elements, one per packet.
    DWORD result = CheckArray(packetLengths, sizeof(LONG), 0);
    if (result != 0) {
        Put(status, result);
        return S_OK;
    }
    com::SafeArrayAccess<BYTE> bytes(*data);
    com::SafeArrayAccess<LONG> lengths(*packetLengths);
    if (FAILED(bytes.Status()) || FAILED(lengths.Status())) {
        Put(status, DRAVIOCOM_INVALID_ARRAY);
        return S_OK;
    }
    Put(status, worker_->WriteIsoData(bytes.Data(), bytesToWrite, lengths.Data(),
                                      static_cast<DWORD>(ElementCount(*packetLengths)), static_cast<DWORD>(tag)));
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetIsoWriteStatus(LONG *tag, SAFEARRAY **packetStatus, LONG *packetCount,
                                                 LONG *status)
{
    if (!tag || !packetCount || !status) {
        return E_POINTER;
    }
    *packetCount = 0;
    DWORD result = CheckArray(packetStatus, sizeof(LONG), startedSize_);
    if (result == 0 && startedSize_ == 0) {
        result = DRAVIOCOM_WRITER_NOT_RUNNING;
    }
    if (result == 0) {
        com::SafeArrayAccess<LONG> statuses(*packetStatus);
        if (FAILED(statuses.Status())) {
            result = DRAVIOCOM_INVALID_ARRAY;
        } else {
            com::ComPtr<IDravioInterface> self(this);
            std::shared_ptr<CDravioRW> worker = worker_;
            DWORD taken = 0;
            DWORD capacity = static_cast<DWORD>(ElementCount(*packetStatus));
            result = worker->GetIsoWriteStatus(taken, statuses.Data(), capacity);
            *tag = static_cast<LONG>(taken);
            if (result == 0) {
                *packetCount = static_cast<LONG>(capacity);
            }
        }
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::StopWriting()
{
    startedSize_ = 0;
    if (!worker_->IsReading()) {
        worker_->StopThread();
    }
    return S_OK;
}

STDMETHODIMP CDravioInterface::ResetPipe(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->ResetPipe(); });
}

STDMETHODIMP CDravioInterface::AbortPipe(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->AbortPipe(); });
}

STDMETHODIMP CDravioInterface::GetPipeFlag(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    ULONG flags = 0;
    *value = worker_->GetPipeParameters(flags) == 0 ? ((flags & kPipeFlag) ? 1 : 0) : 1;
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetPipeFlag(LONG flag)
{
    worker_->SetPipeParameters(flag ? kPipeFlag : 0);
    return S_OK;
}

STDMETHODIMP CDravioInterface::GetMaxPacketSize(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = static_cast<LONG>(worker_->GetMaxPacketSize());
    return S_OK;
}

// Plug and play

STDMETHODIMP CDravioInterface::EnablePnPNotification(BSTR interfaceClass, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    GUID guid;
    if (!ParseGuid(interfaceClass, guid)) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    CPnPNotifyMap &map = ThePnPNotifyMap();
    std::shared_ptr<CThreadPnPNotify> notifier;
    if (map.Find(guid, notifier)) {
        Put(status, DRAVIOCOM_ALREADY_CALLED);
        return S_OK;
    }
    try {
        notifier = std::make_shared<CThreadPnPNotify>();
        com::ScopedLock lock(notifierLock_);
        enabledClasses_.reserve(enabledClasses_.size() + 1);
    } catch (const std::bad_alloc &) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    if (!map.Add(guid, notifier)) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    notifier->SetCallback(this, &CDravioInterface::DispatchEvent);
    notifier->SetInterfaceClass(guid);
    if (notifier->Start() != 0) {
        // No window or no registration: nothing would ever be reported.
        std::shared_ptr<CThreadPnPNotify> removed;
        map.Remove(guid, removed);
        Put(status, kErrorFailed);
        return S_OK;
    }
    {
        com::ScopedLock lock(notifierLock_);
        enabledClasses_.push_back(guid); // room was reserved above
    }
    Put(status, 0);
    return S_OK;
}

STDMETHODIMP CDravioInterface::DisablePnPNotification(BSTR interfaceClass, LONG *status)
{
    if (!status) {
        return E_POINTER;
    }
    GUID guid;
    if (!ParseGuid(interfaceClass, guid)) {
        Put(status, kErrorFailed);
        return S_OK;
    }
    std::shared_ptr<CThreadPnPNotify> notifier;
    if (ThePnPNotifyMap().Remove(guid, notifier)) {
        notifier->StopAndWait();
    }
    Put(status, 0);
    return S_OK;
}

// Device information and statistics

STDMETHODIMP CDravioInterface::GetBandwidthInfo(LONG *first, LONG *second, LONG *status)
{
    if (!first || !second || !status) {
        return E_POINTER;
    }
    dravio::DRAVIO_BANDWIDTH_INFO info = {};
    DWORD result = worker_->GetBandwidthInfo(info);
    *first = result == 0 ? static_cast<LONG>(info.FirstValue) : 0;
    *second = result == 0 ? static_cast<LONG>(info.SecondValue) : 0;
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::IsHighSpeed(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    *value = worker_->IsHighSpeedDevice() ? 1 : 0;
    return S_OK;
}

STDMETHODIMP CDravioInterface::SetupPipeStatistics(LONG averagingInterval, LONG *status)
{
    return ReportStatus(status, [&] { return worker_->SetupPipeStatistics(static_cast<ULONG>(averagingInterval)); });
}

STDMETHODIMP CDravioInterface::QueryPipeStatistics(LONG *value1, LONG *value2, LONG *value3, LONG *value4,
                                                   LONG *value5, LONG *value6, LONG queryFlags, LONG *status)
{
    LONG *values[] = {value1, value2, value3, value4, value5, value6};
    for (LONG *value : values) {
        if (!value) {
            return E_POINTER;
        }
    }
    if (!status) {
        return E_POINTER;
    }
    dravio::DRAVIO_PIPE_STATISTICS statistics = {};
    DWORD result = worker_->QueryPipeStatistics(statistics, static_cast<ULONG>(queryFlags));
    for (size_t i = 0; i < 6; ++i) {
        *values[i] = result == 0 ? static_cast<LONG>(statistics.Values[i]) : 0;
    }
    Put(status, result);
    return S_OK;
}

STDMETHODIMP CDravioInterface::Control832(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->Control832(); });
}

STDMETHODIMP CDravioInterface::Control833(LONG *status)
{
    return ReportStatus(status, [&] { return worker_->Control833(); });
}

STDMETHODIMP CDravioInterface::GetDeviceInfoWord1(LONG *value)
{
    if (!value) {
        return E_POINTER;
    }
    dravio::DRAVIO_DEVICE_INFO info = {};
    *value = worker_->GetDeviceInfo(info) == 0 ? static_cast<LONG>(info.SecondWord) : 0;
    return S_OK;
}
