// Everything the simulated driver keeps, guarded by one lock.
#pragma once

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <atomic>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "CompletionWorker.h"
#include "Request.h"
#include "SimDevice.h"
#include "SimDriver.h"

namespace dravio::sim {

// A device information list: the interfaces present when it was built.
struct DeviceInfoList {
    std::vector<std::shared_ptr<SimDevice>> interfaces;
};

struct NotificationRegistration {
    HWND window;
    GUID interfaceClass;
    bool allClasses;
};

struct Devnode {
    std::wstring deviceId;
    DEVINST parent;
};

struct DriverState {
    explicit DriverState(SimDriver &owner) : owner(owner) {}

    SimDriver &owner;
    std::mutex lock;

    std::map<uint32_t, std::shared_ptr<SimDevice>> devices;   // present devices by number
    std::set<std::wstring> retiredPaths;                      // interface paths of removed devices (lower case)
    std::map<DEVINST, Devnode> devnodes;
    DEVINST nextDevInst = 0x1000;

    std::map<HANDLE, std::shared_ptr<SimHandle>> handles;
    uint32_t nextHandleId = 1;
    uint32_t nextRequestId = 1;
    uint32_t nextOpenPeriod = 1;

    std::map<HDEVINFO, std::unique_ptr<DeviceInfoList>> lists;
    bool setupApiAvailable = true;
    std::set<std::string> hiddenEntries;
    uint32_t setupApiReferences = 0;
    const char moduleTag = 0;   // its address is the simulated setup API's module handle

    std::map<HDEVNOTIFY, std::unique_ptr<NotificationRegistration>> registrations;

    uint32_t cancelLatency = 0;
    bool shuttingDown = false;

    std::deque<LogEntry> log;
    uint32_t nextLogSequence = 1;

    SimDriver::InstallFunction installedInto = nullptr;

    CompletionWorker worker;   // declared last: it ends before the state it completes into

    HMODULE SetupModule() const { return reinterpret_cast<HMODULE>(const_cast<char *>(&moduleTag)); }

    std::shared_ptr<SimDevice> Device(uint32_t number) const;
    std::shared_ptr<SimHandle> Handle(HANDLE value) const;

    LogEntry &Log(LogEvent event, const SimDevice *device = nullptr, const SimHandle *handle = nullptr);
    static void SetLogText(LogEntry &entry, std::wstring_view text);

    // Event operations (set and reset) the driver performed, for benchmarks.
    std::atomic<uint64_t> eventOperations{0};

    // A request that pends: the object its caller waits on (the OVERLAPPED's
    // event, or the handle when it names none) is reset until it completes.
    void ArmCompletion(const Request &request);
    // Completes a request through its caller's OVERLAPPED: now, or on the
    // worker thread after a delay.
    void Complete(Request &request, uint32_t status, uint32_t bytes);
    void CompleteLater(std::shared_ptr<Request> request, uint32_t status, uint32_t delay);

    // Ends the pending requests the filter picks, with the status given.
    template <class Filter>
    void EndPending(SimDevice &device, Filter filter, uint32_t status, bool later)
    {
        for (auto it = device.pending.begin(); it != device.pending.end();) {
            if (!filter(**it)) {
                ++it;
                continue;
            }
            std::shared_ptr<Request> request = *it;
            it = device.pending.erase(it);
            if (later)
                CompleteLater(std::move(request), status, cancelLatency);
            else
                Complete(*request, status, 0);
        }
    }

    // Runs the device's side of a pending request on the worker thread.
    void ServeLater(std::shared_ptr<Request> request);

    // Gives data waiting on an IN endpoint to its pending reads, oldest first.
    void Pump(SimDevice &device, uint8_t endpoint);

    // The device's side of a written transfer: handler, loop-back or sink.
    // Releases the lock while a handler runs. Returns the write's status.
    uint32_t AcceptWrite(std::unique_lock<std::mutex> &guard, SimDevice &device, const Request &request);

    // Asks the read handler of an IN endpoint for data when a read finds none.
    // Releases the lock while the handler runs. Returns the handler's status.
    uint32_t AskForData(std::unique_lock<std::mutex> &guard, SimDevice &device, uint8_t endpoint);
};

std::wstring LowerCase(std::wstring_view text);

// The NTSTATUS that makes GetOverlappedResult report the given error.
uint32_t CompletionStatusFor(uint32_t error);

} // namespace dravio::sim
