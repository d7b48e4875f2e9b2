// The simulated generic USB driver, in process. One exists at a time; while it
// lives its seam table reaches it, and everything it does not own (real files,
// events, modules, windows) goes to the real Win32 functions.
//
//   dravio::sim::SimDriver sim;
//   sim.Install(dravio::InstallDriverSeam);   // the class library now talks to it
//   uint32_t number;
//   sim.AddDevice(setup, &number);
#pragma once

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "SimController.h"

namespace dravio::sim {

struct DriverState;
struct Request;

class SimDriver final : public ISimController {
public:
    // Throws std::logic_error when another simulated driver lives.
    SimDriver();
    ~SimDriver();
    SimDriver(const SimDriver &) = delete;
    SimDriver &operator=(const SimDriver &) = delete;

    // Puts this driver's table into a seam through the seam's own install
    // function (dravio::InstallDriverSeam); Uninstall and destruction put the
    // real functions back through it.
    using InstallFunction = void (*)(const DriverSeam *);
    void Install(InstallFunction install);
    void Uninstall();

    const DriverSeam &Seam() override;

    uint32_t AddDevice(const DeviceSetup &setup, uint32_t *number) override;
    uint32_t RemoveDevice(uint32_t number) override;
    uint32_t SetStringDescriptor(uint32_t number, uint8_t index, uint16_t language, const wchar_t *text) override;
    uint32_t SetApiVersion(uint32_t number, uint16_t apiVersion) override;
    uint32_t SetDriverInfo(uint32_t number, uint16_t apiVersion, uint16_t driverVersion, uint32_t buildNumber,
                           uint32_t flags) override;
    uint32_t SetHighSpeed(uint32_t number, bool highSpeed) override;
    uint32_t SetDeviceInfo(uint32_t number, uint32_t flags, uint32_t secondWord) override;
    uint32_t SetBandwidthInfo(uint32_t number, uint32_t first, uint32_t second) override;
    uint32_t SetControl83D(uint32_t number, const uint8_t *tenBytes) override;
    uint32_t SetControlHandler(uint32_t number, ControlHandler handler, void *context) override;
    uint32_t SetDeferredCompletion(uint32_t number, bool deferred) override;
    uint32_t SetEndpointSilent(uint32_t number, uint8_t endpoint, bool silent) override;
    uint32_t SetLoopback(uint32_t number, uint8_t outEndpoint, uint8_t inEndpoint) override;
    uint32_t SetWriteHandler(uint32_t number, uint8_t outEndpoint, WriteHandler handler, void *context) override;
    uint32_t SetReadHandler(uint32_t number, uint8_t inEndpoint, ReadHandler handler, void *context) override;
    uint32_t Deliver(uint32_t number, uint8_t inEndpoint, const void *data, uint32_t length) override;
    uint32_t FailNextControl(uint32_t number, uint32_t code, uint32_t count, uint32_t status) override;
    uint32_t FailNextTransfer(uint32_t number, uint8_t endpoint, uint32_t count, uint32_t status) override;
    void SetSetupApiAvailable(bool available) override;
    void HideSetupApiEntry(const char *name) override;
    void SetCancelLatency(uint32_t milliseconds) override;
    uint32_t QueryDevice(uint32_t number, DeviceState *state) override;
    uint32_t SetupApiReferences() override;
    uint32_t CopyLog(LogEntry *entries, uint32_t capacity) override;
    void ClearLog() override;
    void LogMarker(const char *text) override;
    uint64_t EventOperations() override;

private:
    friend struct SeamEntries;
    friend struct DriverState;

    // The process's simulated driver, or null.
    static SimDriver *Active();

    // Seam side. An empty result means the object is not the simulation's and
    // the real function must handle it.
    std::optional<HANDLE> OpenPath(std::wstring_view path, DWORD flags);
    std::optional<BOOL> Close(HANDLE handle);
    std::optional<BOOL> Control(HANDLE handle, DWORD code, LPVOID input, DWORD inputLength, LPVOID output,
                                DWORD outputLength, LPDWORD returned, LPOVERLAPPED overlapped);
    std::optional<BOOL> Transfer(HANDLE handle, bool write, void *buffer, DWORD length, LPDWORD transferred,
                                 LPOVERLAPPED overlapped);
    std::optional<BOOL> Cancel(HANDLE handle);
    std::optional<HMODULE> LoadModule(std::wstring_view name);
    std::optional<FARPROC> FindProcedure(HMODULE module, LPCSTR name);
    std::optional<BOOL> ReleaseModule(HMODULE module);
    std::optional<HDEVNOTIFY> RegisterNotification(HANDLE recipient, LPVOID filter, DWORD flags);
    std::optional<BOOL> UnregisterNotification(HDEVNOTIFY notification);

    // Setup API and configuration manager entries of the simulated "setupapi.dll".
    HDEVINFO GetClassDevs(const GUID *classGuid, std::optional<std::wstring_view> enumerator, DWORD flags);
    BOOL DestroyDeviceInfoList(HDEVINFO list);
    BOOL EnumDeviceInterfaces(HDEVINFO list, PSP_DEVINFO_DATA device, const GUID *classGuid, DWORD index,
                              PSP_DEVICE_INTERFACE_DATA data);
    BOOL GetDeviceInterfaceDetail(HDEVINFO list, PSP_DEVICE_INTERFACE_DATA data, void *detail, DWORD detailSize,
                                  PDWORD requiredSize, PSP_DEVINFO_DATA device, bool wide);
    CONFIGRET GetParentNode(PDEVINST parent, DEVINST node, ULONG flags);
    CONFIGRET GetDeviceId(DEVINST node, PWCHAR buffer, ULONG length, ULONG flags);

    void Serve(const std::shared_ptr<Request> &request);
    void Broadcast(DWORD event, const GUID &interfaceClass, const std::wstring &path);

    std::unique_ptr<DriverState> state_;
};

} // namespace dravio::sim
