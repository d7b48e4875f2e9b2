#include "SimDriver.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "DescriptorBuilder.h"
#include "DriverState.h"
#include "SeamFunctions.h"

namespace dravio::sim {

namespace {

// The seam's entries are plain function pointers without a context, so they
// find the driver through this one pointer.
std::atomic<SimDriver *> g_active{nullptr};

const wchar_t kDefaultManufacturer[] = L"Vantrel";
const wchar_t kDefaultProduct[] = L"BiSS USB Adapter";
const wchar_t kDefaultParentId[] = L"USB\\ROOT_HUB20\\4&2F1E7A3&0";

std::vector<uint8_t> DefaultConfiguration()
{
    return ConfigurationBuilder()
        .Interface(0, 0).Endpoint(0x02, 2, 64).Endpoint(0x81, 2, 64)
        .Interface(0, 1).Endpoint(0x02, 2, 512).Endpoint(0x81, 2, 512)
        .Build();
}

std::wstring GuidText(const GUID &g)
{
    wchar_t text[40];
    swprintf(text, 40, L"{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", static_cast<unsigned long>(g.Data1),
             g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
             g.Data4[7]);
    return text;
}

uint16_t Word(const std::vector<uint8_t> &bytes, size_t at)
{
    return uint16_t(bytes[at] | (bytes[at + 1] << 8));
}

// Applies a change to a present device under the lock.
template <class Change>
uint32_t ChangeDevice(DriverState &s, uint32_t number, Change change)
{
    std::lock_guard guard(s.lock);
    auto device = s.Device(number);
    if (!device)
        return ERROR_NOT_FOUND;
    change(*device);
    return 0;
}

} // namespace

SimDriver::SimDriver() : state_(std::make_unique<DriverState>(*this))
{
    SimDriver *expected = nullptr;
    if (!g_active.compare_exchange_strong(expected, this))
        throw std::logic_error("a simulated USB driver already exists in this module");
}

SimDriver::~SimDriver()
{
    Uninstall();
    g_active.store(nullptr);
    {
        // Nobody may wait forever on a request the driver took with it.
        std::lock_guard guard(state_->lock);
        state_->shuttingDown = true;
        for (auto &[number, device] : state_->devices)
            state_->EndPending(*device, [](const Request &) { return true; }, ERROR_OPERATION_ABORTED, false);
        // Handles the caller still holds keep their events: closing them here
        // would let the values come back as unrelated real handles.
    }
    state_->worker.Stop();
}

SimDriver *SimDriver::Active()
{
    return g_active.load();
}

void SimDriver::Install(InstallFunction install)
{
    Uninstall();
    install(&Seam());
    state_->installedInto = install;
}

void SimDriver::Uninstall()
{
    if (InstallFunction install = state_->installedInto) {
        state_->installedInto = nullptr;
        install(nullptr);
    }
}

const DriverSeam &SimDriver::Seam()
{
    return SeamFunctions::kTable;
}

uint32_t SimDriver::AddDevice(const DeviceSetup &setup, uint32_t *number)
{
    auto device = std::make_shared<SimDevice>();
    device->interfaceClass = setup.interfaceClass;
    device->languageId = setup.languageId ? setup.languageId : 0x0407;

    if (setup.deviceDescriptor) {
        if (setup.deviceDescriptorLength != 18 || setup.deviceDescriptor[0] != 18 || setup.deviceDescriptor[1] != 1)
            return ERROR_INVALID_PARAMETER;
        device->deviceDescriptor.assign(setup.deviceDescriptor, setup.deviceDescriptor + 18);
    }
    const std::vector<uint8_t> defaultConfiguration = DefaultConfiguration();
    auto configurations = setup.configurationDescriptors
                              ? ParseConfigurations({setup.configurationDescriptors, setup.configurationDescriptorsLength})
                              : ParseConfigurations(defaultConfiguration);
    if (!configurations || configurations->empty())
        return ERROR_INVALID_PARAMETER;
    device->configurations = std::move(*configurations);

    const wchar_t *manufacturer = setup.manufacturer;
    const wchar_t *product = setup.product;
    if (device->deviceDescriptor.empty()) {
        DeviceDescriptorFields fields;
        fields.serialNumberIndex = setup.serialNumber ? 3 : 0;
        fields.configurationCount = uint8_t(device->configurations.size());
        device->deviceDescriptor = BuildDeviceDescriptor(fields);
        manufacturer = manufacturer ? manufacturer : kDefaultManufacturer;
        product = product ? product : kDefaultProduct;
    }
    const std::vector<uint8_t> &descriptor = device->deviceDescriptor;
    const std::pair<uint8_t, const wchar_t *> strings[] = {
        {descriptor[14], manufacturer}, {descriptor[15], product}, {descriptor[16], setup.serialNumber}};
    for (const auto &[index, text] : strings)
        if (index != 0 && text)
            device->strings[{index, device->languageId}] =
                BuildStringDescriptor(reinterpret_cast<const char16_t *>(text));

    const bool highSpeed = setup.highSpeed;
    device->deviceInfo.flags = highSpeed ? wire::kHighSpeedFlag : 0;
    device->bandwidth.first = highSpeed ? 480000 : 12000;
    device->plugTime = GetTickCount64();

    std::unique_lock guard(state_->lock);
    DriverState &s = *state_;
    if (setup.number < -1)
        return ERROR_INVALID_PARAMETER;
    if (setup.number >= 0) {
        if (s.devices.count(uint32_t(setup.number)))
            return ERROR_ALREADY_EXISTS;
        device->number = uint32_t(setup.number);
    } else {
        while (s.devices.count(device->number))
            ++device->number;
    }

    wchar_t id[64];
    swprintf(id, 64, L"USB\\VID_%04X&PID_%04X\\", Word(descriptor, 8), Word(descriptor, 10));
    std::wstring instance = setup.serialNumber ? std::wstring(setup.serialNumber)
                                               : L"6&2C5A1F0&0&" + std::to_wstring(device->number + 1);
    device->deviceId = id + instance;
    swprintf(id, 64, L"\\\\?\\usb#vid_%04x&pid_%04x#", Word(descriptor, 8), Word(descriptor, 10));
    device->interfacePath = id + instance + L"#" + GuidText(setup.interfaceClass);
    const std::wstring path = LowerCase(device->interfacePath);
    for (const auto &[n, other] : s.devices)
        if (LowerCase(other->interfacePath) == path)
            return ERROR_ALREADY_EXISTS;
    s.retiredPaths.erase(path);

    const std::wstring parentId = setup.parentDeviceId ? setup.parentDeviceId : kDefaultParentId;
    DEVINST parent = 0;
    for (const auto &[node, devnode] : s.devnodes)
        if (devnode.parent == 0 && devnode.deviceId == parentId)
            parent = node;
    if (parent == 0) {
        parent = s.nextDevInst++;
        s.devnodes[parent] = {parentId, 0};
    }
    device->parentDevInst = parent;
    device->devInst = s.nextDevInst++;
    s.devnodes[device->devInst] = {device->deviceId, parent};

    s.devices[device->number] = device;
    DriverState::SetLogText(s.Log(LogEvent::Plug, device.get()), device->interfacePath);
    if (number)
        *number = device->number;
    guard.unlock();
    Broadcast(DBT_DEVICEARRIVAL, device->interfaceClass, device->interfacePath);
    return 0;
}

uint32_t SimDriver::RemoveDevice(uint32_t number)
{
    std::unique_lock guard(state_->lock);
    DriverState &s = *state_;
    auto device = s.Device(number);
    if (!device)
        return ERROR_NOT_FOUND;
    device->present = false;
    s.devices.erase(number);
    s.devnodes.erase(device->devInst);
    s.retiredPaths.insert(LowerCase(device->interfacePath));
    s.EndPending(*device, [](const Request &) { return true; }, wire::status::kDeviceRemoved, false);
    DriverState::SetLogText(s.Log(LogEvent::Unplug, device.get()), device->interfacePath);
    guard.unlock();
    Broadcast(DBT_DEVICEREMOVECOMPLETE, device->interfaceClass, device->interfacePath);
    return 0;
}


uint32_t SimDriver::SetStringDescriptor(uint32_t number, uint8_t index, uint16_t language, const wchar_t *text)
{
    if (index == 0 || !text)
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.strings[{index, language}] = BuildStringDescriptor(reinterpret_cast<const char16_t *>(text));
    });
}

uint32_t SimDriver::SetApiVersion(uint32_t number, uint16_t apiVersion)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.driverInfo.apiVersion = apiVersion;
    });
}

uint32_t SimDriver::SetDriverInfo(uint32_t number, uint16_t apiVersion, uint16_t driverVersion, uint32_t buildNumber,
                                  uint32_t flags)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.driverInfo = {apiVersion, driverVersion, buildNumber, flags};
    });
}

uint32_t SimDriver::SetHighSpeed(uint32_t number, bool highSpeed)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        if (highSpeed)
            device.deviceInfo.flags |= wire::kHighSpeedFlag;
        else
            device.deviceInfo.flags &= ~wire::kHighSpeedFlag;
    });
}

uint32_t SimDriver::SetDeviceInfo(uint32_t number, uint32_t flags, uint32_t secondWord)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.deviceInfo.flags = flags;
        device.deviceInfo.secondWord = secondWord;
    });
}

uint32_t SimDriver::SetBandwidthInfo(uint32_t number, uint32_t first, uint32_t second)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.bandwidth.first = first;
        device.bandwidth.second = second;
    });
}

uint32_t SimDriver::SetControl83D(uint32_t number, const uint8_t *tenBytes)
{
    if (!tenBytes)
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        std::memcpy(device.control83D, tenBytes, sizeof device.control83D);
    });
}

uint32_t SimDriver::SetControlHandler(uint32_t number, ControlHandler handler, void *context)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.controlHandler = handler;
        device.controlContext = context;
    });
}

uint32_t SimDriver::SetDeferredCompletion(uint32_t number, bool deferred)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.deferred = deferred;
    });
}

uint32_t SimDriver::SetEndpointSilent(uint32_t number, uint8_t endpoint, bool silent)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.Endpoint(endpoint).silent = silent;
        if (silent)
            return;
        if (endpoint & 0x80) {
            state_->Pump(device, endpoint);
        } else {
            for (const auto &request : device.pending)
                if (request->kind == RequestKind::Write && request->endpoint == endpoint)
                    state_->ServeLater(request);
        }
    });
}

uint32_t SimDriver::SetLoopback(uint32_t number, uint8_t outEndpoint, uint8_t inEndpoint)
{
    if ((outEndpoint & 0x80) || (inEndpoint != 0 && !(inEndpoint & 0x80)))
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.Endpoint(outEndpoint).loopbackTo = inEndpoint;
    });
}

uint32_t SimDriver::SetWriteHandler(uint32_t number, uint8_t outEndpoint, WriteHandler handler, void *context)
{
    if (outEndpoint & 0x80)
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.Endpoint(outEndpoint).handler = handler;
        device.Endpoint(outEndpoint).handlerContext = context;
    });
}

uint32_t SimDriver::SetReadHandler(uint32_t number, uint8_t inEndpoint, ReadHandler handler, void *context)
{
    if (!(inEndpoint & 0x80))
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        device.Endpoint(inEndpoint).readHandler = handler;
        device.Endpoint(inEndpoint).readHandlerContext = context;
    });
}

uint32_t SimDriver::Deliver(uint32_t number, uint8_t inEndpoint, const void *data, uint32_t length)
{
    if (!(inEndpoint & 0x80) || (!data && length))
        return ERROR_INVALID_PARAMETER;
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        const auto *bytes = static_cast<const uint8_t *>(data);
        device.Endpoint(inEndpoint).queue.emplace_back(bytes, bytes + length);
        state_->Pump(device, inEndpoint);
    });
}

uint32_t SimDriver::FailNextControl(uint32_t number, uint32_t code, uint32_t count, uint32_t status)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        if (count == 0)
            device.controlFailures.erase(code);
        else
            device.controlFailures[code] = {count, status};
    });
}

uint32_t SimDriver::FailNextTransfer(uint32_t number, uint8_t endpoint, uint32_t count, uint32_t status)
{
    return ChangeDevice(*state_, number, [&](SimDevice &device) {
        if (count == 0)
            device.transferFailures.erase(endpoint);
        else
            device.transferFailures[endpoint] = {count, status};
    });
}


void SimDriver::SetSetupApiAvailable(bool available)
{
    std::lock_guard guard(state_->lock);
    state_->setupApiAvailable = available;
}

void SimDriver::HideSetupApiEntry(const char *name)
{
    std::lock_guard guard(state_->lock);
    if (name)
        state_->hiddenEntries.insert(name);
    else
        state_->hiddenEntries.clear();
}

void SimDriver::SetCancelLatency(uint32_t milliseconds)
{
    std::lock_guard guard(state_->lock);
    state_->cancelLatency = milliseconds;
}

uint32_t SimDriver::QueryDevice(uint32_t number, DeviceState *state)
{
    if (!state)
        return ERROR_INVALID_PARAMETER;
    *state = {};
    std::lock_guard guard(state_->lock);
    auto device = state_->Device(number);
    if (!device)
        return ERROR_NOT_FOUND;
    state->present = true;
    state->openHandles = device->openHandles;
    state->openPeriod = device->openPeriod;
    state->pendingRequests = uint32_t(device->pending.size());
    state->configurationValue = device->activeConfiguration ? device->activeConfiguration->value : 0;
    state->powerState = device->powerState;
    state->deviceParameters[0] = device->parameters.first;
    state->deviceParameters[1] = device->parameters.second;
    for (const auto &[address, behaviour] : device->endpoints)
        state->queuedMessages += uint32_t(behaviour.queue.size());
    return 0;
}

uint32_t SimDriver::SetupApiReferences()
{
    std::lock_guard guard(state_->lock);
    return state_->setupApiReferences;
}

uint32_t SimDriver::CopyLog(LogEntry *entries, uint32_t capacity)
{
    std::lock_guard guard(state_->lock);
    const auto &log = state_->log;
    for (uint32_t i = 0; i < capacity && i < log.size(); ++i)
        entries[i] = log[i];
    return uint32_t(log.size());
}

void SimDriver::ClearLog()
{
    std::lock_guard guard(state_->lock);
    state_->log.clear();
}

void SimDriver::LogMarker(const char *text)
{
    std::lock_guard guard(state_->lock);
    LogEntry &entry = state_->Log(LogEvent::Marker);
    if (text)
        strncpy(entry.text, text, sizeof entry.text - 1);
}

uint64_t SimDriver::EventOperations()
{
    return state_->eventOperations.load();
}

} // namespace dravio::sim
