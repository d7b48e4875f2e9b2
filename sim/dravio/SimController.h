// Scripting face of the simulated generic USB driver. Plain types only, so a
// test program can drive the very devices that a product DLL reaches through
// its copy of the driver seam (dravio_sim.dll hands this interface out).
#pragma once

#include <windows.h>

#include <cstdint>

#include "usb/classlib/DriverSeam.h"

namespace dravio::sim {

class ISimController;

// Describes a device to plug in. Null pointers and zero fields take defaults:
// a device descriptor of vendor 0x5A17 / product 0x0B15 with manufacturer,
// product and serial strings 1-3 (serial index 0 when no serial is given),
// one configuration whose interface 0 carries bulk OUT 0x02 and bulk IN 0x81
// (64 bytes in alternate setting 0, 512 bytes in alternate setting 1).
struct DeviceSetup {
    GUID interfaceClass;
    int32_t number = -1;                     // device name number; -1 takes the lowest free one
    const uint8_t *deviceDescriptor = nullptr;
    uint32_t deviceDescriptorLength = 0;
    const uint8_t *configurationDescriptors = nullptr;  // one or more, each its own total length
    uint32_t configurationDescriptorsLength = 0;
    const wchar_t *manufacturer = nullptr;   // strings at the indexes the device descriptor names
    const wchar_t *product = nullptr;
    const wchar_t *serialNumber = nullptr;
    uint16_t languageId = 0;                 // 0 takes 0x0407
    bool highSpeed = true;
    const wchar_t *parentDeviceId = nullptr; // 0 takes a root hub's id
};

// Called for every transfer written to an OUT endpoint that has a handler
// (once per packet on an isochronous endpoint). It answers through
// ISimController::Deliver and returns the write's completion status.
using WriteHandler = uint32_t (*)(void *context, ISimController &sim, uint32_t device, uint8_t endpoint,
                                  const uint8_t *data, uint32_t length);

// Called when a read on an IN endpoint that has a handler finds no data
// waiting. The handler may Deliver data, which the read then takes. It
// returns 0 to leave the read pending, or a status that ends the read at
// once: a device that knows nothing more is coming answers with the
// driver's time-out, so the caller's wait costs no real time.
using ReadHandler = uint32_t (*)(void *context, ISimController &sim, uint32_t device, uint8_t endpoint);

// One control request of the class or vendor codes or of a pipe control transfer.
struct ControlRequest {
    bool deviceToHost;
    uint8_t requestType;   // 1 class, 2 vendor; the type bits of the set-up packet for pipe transfers
    uint8_t recipient;     // 0 device, 1 interface, 2 endpoint, 3 other
    uint8_t reservedBits;
    uint8_t request;
    uint16_t value;
    uint16_t index;
    uint32_t flags;
    uint8_t endpoint;      // the bound pipe of a pipe control transfer, else 0
};

// Answers a control request. For device-to-host requests it fills up to
// *length bytes of data and sets *length to the count; for host-to-device
// requests data holds *length bytes and *length becomes the count taken.
// Without a handler the device stalls (0xE0000004).
using ControlHandler = uint32_t (*)(void *context, const ControlRequest &request, uint8_t *data,
                                    uint32_t *length);

enum class LogEvent : uint32_t {
    Open,        // text: the path opened
    Close,
    Control,     // code, length = input bytes, input = their first bytes (the Complete entry has the status)
    Read,        // submission: endpoint, length asked
    Write,
    Complete,    // request, status, length = bytes transferred
    Cancel,      // CancelIo: length = number of requests it cancelled
    Plug,
    Unplug,
    Broadcast,   // code = the device event, length = windows reached
    Marker,      // text from LogMarker
};

struct LogEntry {
    uint32_t sequence;
    LogEvent event;
    uint32_t device;
    uint32_t handle;       // the handle's number in the simulation, 0 when none
    uint32_t request;      // the request's number, 0 when none
    uint32_t code;
    uint8_t endpoint;
    uint32_t status;
    uint32_t length;
    uint32_t thread;
    char text[96];
    uint8_t input[24];     // Control: the first bytes of the request's input record, in order
};

struct DeviceState {
    bool present;
    uint32_t openHandles;
    // Numbers each stretch of time in which the device is held open (the first
    // open to the last close), never the same twice in one driver, even across
    // devices; 0 while no handle is open. A changed number means the device was
    // closed in between, however briefly.
    uint32_t openPeriod;
    uint32_t pendingRequests;
    uint8_t configurationValue;   // 0 when unconfigured
    uint32_t powerState;
    uint32_t deviceParameters[2];
    uint32_t queuedMessages;      // data waiting on IN endpoints
};

class ISimController {
public:
    // The seam table whose functions reach this driver (real functions for
    // anything the simulation does not own).
    virtual const DriverSeam &Seam() = 0;

    // Plugging (broadcasts an arrival) and unplugging (fails pending and later
    // I/O with 0xE000100A, broadcasts the removal). 0 or a Windows error.
    virtual uint32_t AddDevice(const DeviceSetup &setup, uint32_t *number) = 0;
    virtual uint32_t RemoveDevice(uint32_t number) = 0;

    virtual uint32_t SetStringDescriptor(uint32_t number, uint8_t index, uint16_t language, const wchar_t *text) = 0;
    virtual uint32_t SetApiVersion(uint32_t number, uint16_t apiVersion) = 0;
    virtual uint32_t SetDriverInfo(uint32_t number, uint16_t apiVersion, uint16_t driverVersion, uint32_t buildNumber,
                                   uint32_t flags) = 0;
    virtual uint32_t SetHighSpeed(uint32_t number, bool highSpeed) = 0;
    virtual uint32_t SetDeviceInfo(uint32_t number, uint32_t flags, uint32_t secondWord) = 0;
    virtual uint32_t SetBandwidthInfo(uint32_t number, uint32_t first, uint32_t second) = 0;
    virtual uint32_t SetControl83D(uint32_t number, const uint8_t *tenBytes) = 0;
    virtual uint32_t SetControlHandler(uint32_t number, ControlHandler handler, void *context) = 0;

    // Deferred completion makes every request pend and complete on the
    // simulation's worker thread, as a busy driver would.
    virtual uint32_t SetDeferredCompletion(uint32_t number, bool deferred) = 0;

    // Endpoints: a silent endpoint never completes a transfer; an OUT endpoint
    // loops its data back to an IN endpoint (0 ends the loop) or hands it to a
    // handler; an IN endpoint asks its read handler when a read finds nothing;
    // Deliver queues data that the IN endpoint's reads receive.
    virtual uint32_t SetEndpointSilent(uint32_t number, uint8_t endpoint, bool silent) = 0;
    virtual uint32_t SetLoopback(uint32_t number, uint8_t outEndpoint, uint8_t inEndpoint) = 0;
    virtual uint32_t SetWriteHandler(uint32_t number, uint8_t outEndpoint, WriteHandler handler, void *context) = 0;
    virtual uint32_t SetReadHandler(uint32_t number, uint8_t inEndpoint, ReadHandler handler, void *context) = 0;
    virtual uint32_t Deliver(uint32_t number, uint8_t inEndpoint, const void *data, uint32_t length) = 0;

    // The next count requests with that control code, or transfers on that
    // endpoint, fail with the status given.
    virtual uint32_t FailNextControl(uint32_t number, uint32_t code, uint32_t count, uint32_t status) = 0;
    virtual uint32_t FailNextTransfer(uint32_t number, uint8_t endpoint, uint32_t count, uint32_t status) = 0;

    // "setupapi.dll" fails to load while unavailable; a hidden entry point is
    // not found by GetProcAddress (null shows them all again).
    virtual void SetSetupApiAvailable(bool available) = 0;
    virtual void HideSetupApiEntry(const char *name) = 0;

    // Time between a cancel (CancelIo, CloseHandle) and the cancelled
    // request's completion on the worker thread.
    virtual void SetCancelLatency(uint32_t milliseconds) = 0;

    virtual uint32_t QueryDevice(uint32_t number, DeviceState *state) = 0;
    virtual uint32_t SetupApiReferences() = 0;

    // The operation log, oldest first; returns the number of entries held.
    virtual uint32_t CopyLog(LogEntry *entries, uint32_t capacity) = 0;
    virtual void ClearLog() = 0;
    virtual void LogMarker(const char *text) = 0;

    // Event operations (each set or reset of an event) the driver has performed
    // to complete requests, since it was created.
    virtual uint64_t EventOperations() = 0;

protected:
    ~ISimController() = default;
};

// The exports of dravio_sim.dll, found by name with GetProcAddress.
constexpr char kGetSeamExport[] = "DravioSim_GetSeam";
constexpr char kGetControllerExport[] = "DravioSim_GetController";
using GetSeamFunction = const DriverSeam *(*)();
using GetControllerFunction = ISimController *(*)();

} // namespace dravio::sim
