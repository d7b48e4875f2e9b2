#include "ControlDispatch.h"

#include <algorithm>
#include <cstring>

namespace dravio::sim {

namespace {

using namespace wire;

struct CodeShape {
    uint32_t code;
    uint32_t minInput;
    uint32_t minOutput;
    bool reachesDevice;   // refused while the device is powered down
};

constexpr CodeShape kCodes[] = {
    {kGetDescriptor, sizeof(DescriptorRequest), 0, true},
    {kSetDescriptor, sizeof(DescriptorRequest), 0, true},
    {kSetFeature, sizeof(FeatureRequest), 0, true},
    {kClearFeature, sizeof(FeatureRequest), 0, true},
    {kGetStatus, sizeof(StatusRequest), 2, true},
    {kGetConfiguration, 0, 1, true},
    {kGetInterface, 2, 1, true},
    {kStoreConfigDescriptor, 4, 0, false},
    {kSetConfiguration, sizeof(ConfigurationRequest), 0, true},
    {kUnconfigureDevice, 0, 0, true},
    {kSetInterface, sizeof(InterfaceSetting), 0, true},
    {kClassOrVendorInRequest, sizeof(ClassOrVendorRequest), 0, true},
    {kClassOrVendorOutRequest, sizeof(ClassOrVendorRequest), 0, true},
    {kGetDeviceParameters, 0, sizeof(DeviceParameters), false},
    {kSetDeviceParameters, sizeof(DeviceParameters), 0, false},
    {kGetConfigurationInfo, 0, sizeof(ConfigurationInfo), false},
    {kResetDevice, 0, 0, true},
    {kGetCurrentFrameNumber, 0, 4, true},
    {kSetDevicePowerState, 4, 0, false},
    {kGetDevicePowerState, 0, 4, false},
    {kGetBandwidthInfo, 0, sizeof(BandwidthInfo), false},
    {kGetDeviceInfo, 0, sizeof(DeviceInfo), false},
    {kGetDriverInfo, 0, sizeof(DriverInfo), false},
    {kCyclePort, 0, 0, true},
    {kBindPipe, 1, 0, false},
    {kUnbindPipe, 0, 0, false},
    {kResetPipe, 0, 0, true},
    {kAbortPipe, 0, 0, false},
    {kGetPipeParameters, 0, 4, false},
    {kSetPipeParameters, 4, 0, false},
    {kSetupPipeStatistics, sizeof(StatisticsSetup), 0, false},
    {kQueryPipeStatistics, 4, sizeof(PipeStatistics), false},
    {kPipeControlTransferIn, sizeof(ControlTransferRequest), 0, true},
    {kPipeControlTransferOut, sizeof(ControlTransferRequest), 0, true},
    {kControl832, 0, 0, false},
    {kControl833, 0, 0, false},
    {kControl83C, sizeof(Control83C), 0, false},
    {kControl83D, 0, kControl83DLength, false},
};

const CodeShape *FindShape(uint32_t code)
{
    for (const CodeShape &s : kCodes)
        if (s.code == code)
            return &s;
    return nullptr;
}

template <class T>
T ReadRecord(std::span<const uint8_t> input)
{
    T record;
    std::memcpy(&record, input.data(), sizeof(T));
    return record;
}

template <class T>
void Answer(ControlOutcome &outcome, const T &record)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(&record);
    outcome.output.assign(bytes, bytes + sizeof(T));
    outcome.bytesReturned = sizeof(T);
}

ControlOutcome Failed(uint32_t status)
{
    ControlOutcome outcome;
    outcome.status = status;
    return outcome;
}

// Returns up to the caller's length of a descriptor (the host may ask for less).
ControlOutcome AnswerDescriptor(const std::vector<uint8_t> &descriptor, uint32_t outputLength)
{
    ControlOutcome outcome;
    const uint32_t count = std::min<uint32_t>(outputLength, uint32_t(descriptor.size()));
    outcome.output.assign(descriptor.begin(), descriptor.begin() + count);
    outcome.bytesReturned = count;
    return outcome;
}

ControlOutcome GetDescriptor(const ControlCall &call)
{
    const auto request = ReadRecord<DescriptorRequest>(call.input);
    SimDevice &device = call.device;
    if (request.recipient > 3)
        return Failed(status::kInvalidRecipient);
    if (request.recipient != 0)
        return Failed(status::kStallPid);

    if (auto set = device.setDescriptors.find({request.type, request.index}); set != device.setDescriptors.end())
        return AnswerDescriptor(set->second, call.outputLength);
    switch (request.type) {
    case 1:
        if (request.index == 0)
            return AnswerDescriptor(device.deviceDescriptor, call.outputLength);
        break;
    case 2:
        if (request.index < device.configurations.size())
            return AnswerDescriptor(device.configurations[request.index].bytes, call.outputLength);
        break;
    case 3:
        if (request.index == 0)
            return AnswerDescriptor({4, 3, uint8_t(device.languageId), uint8_t(device.languageId >> 8)},
                                    call.outputLength);
        if (auto s = device.strings.find({request.index, request.language}); s != device.strings.end())
            return AnswerDescriptor(s->second, call.outputLength);
        break;
    }
    return Failed(status::kStallPid);
}

ControlOutcome SetDescriptor(const ControlCall &call)
{
    const auto request = ReadRecord<DescriptorRequest>(call.input);
    if (request.recipient > 3)
        return Failed(status::kInvalidRecipient);
    if (request.recipient != 0 || call.outputData.empty())
        return Failed(status::kStallPid);
    call.device.setDescriptors[{request.type, request.index}].assign(call.outputData.begin(), call.outputData.end());
    ControlOutcome outcome;
    outcome.bytesReturned = uint32_t(call.outputData.size());
    return outcome;
}

// Feature selectors: 0 endpoint halt (status bit 0), 1 remote wake-up (bit 1).
ControlOutcome ChangeFeature(const ControlCall &call, bool set)
{
    const auto request = ReadRecord<FeatureRequest>(call.input);
    if (request.recipient > 3)
        return Failed(status::kInvalidRecipient);
    uint16_t bit;
    if (request.selector == 0 && request.recipient == 2)
        bit = 1;
    else if (request.selector == 1 && request.recipient == 0)
        bit = 2;
    else
        return Failed(status::kStallPid);
    uint16_t &word = call.device.statusWords[{request.recipient, request.index}];
    word = set ? uint16_t(word | bit) : uint16_t(word & ~bit);
    return {};
}

ControlOutcome GetStatus(const ControlCall &call)
{
    const auto request = ReadRecord<StatusRequest>(call.input);
    if (request.recipient > 3)
        return Failed(status::kInvalidRecipient);
    const auto it = call.device.statusWords.find({request.recipient, request.index});
    const uint16_t word = it == call.device.statusWords.end() ? 0 : it->second;
    ControlOutcome outcome;
    Answer(outcome, word);
    return outcome;
}

ControlOutcome GetInterface(const ControlCall &call)
{
    const auto number = ReadRecord<uint16_t>(call.input);
    if (!call.device.activeConfiguration)
        return Failed(status::kNotConfigured);
    for (const InterfaceEntry &e : call.device.activeInterfaces)
        if (e.interfaceIndex == number) {
            ControlOutcome outcome;
            Answer(outcome, uint8_t(e.alternateSetting));
            return outcome;
        }
    return Failed(status::kInterfaceNotFound);
}

ControlOutcome StoreConfigDescriptor(const ControlCall &call)
{
    const uint16_t total = uint16_t(call.input[2] | (call.input[3] << 8));
    if (call.input.size() < total)
        return Failed(status::kInputBufferTooSmall);
    auto config = ParseConfiguration(call.input.first(total));
    if (!config)
        return Failed(status::kInvalidConfigurationDescriptor);
    call.device.storedConfiguration = std::move(*config);
    return {};
}

void AddPipes(SimDevice &device, const InterfaceDescription &setting, uint32_t maxTransferSize)
{
    for (const EndpointDescription &e : setting.endpoints)
        device.pipes.push_back(Pipe{e, setting.number, maxTransferSize});
}

ControlOutcome SetConfiguration(const ControlCall &call)
{
    const auto request = ReadRecord<ConfigurationRequest>(call.input);
    SimDevice &device = call.device;
    if (device.activeConfiguration)
        return Failed(status::kAlreadyConfigured);
    if (request.interfaceCount == 0 || request.interfaceCount > kMaxInterfaces)
        return Failed(status::kInvalidParameter);

    const ConfigurationDescription *config = nullptr;
    if (device.storedConfiguration)
        config = &*device.storedConfiguration;
    else if (request.configurationIndex < device.configurations.size())
        config = &device.configurations[request.configurationIndex];
    else
        return Failed(status::kInvalidParameter);

    size_t pipeCount = 0;
    for (uint16_t i = 0; i < request.interfaceCount; ++i) {
        const InterfaceEntry &e = request.interfaces[i];
        for (uint16_t j = 0; j < i; ++j)
            if (request.interfaces[j].interfaceIndex == e.interfaceIndex)
                return Failed(status::kInvalidParameter);
        const InterfaceDescription *setting = config->Find(uint8_t(e.interfaceIndex), uint8_t(e.alternateSetting));
        if (e.interfaceIndex > 0xFF || e.alternateSetting > 0xFF || !setting)
            return Failed(status::kInterfaceNotFound);
        pipeCount += setting->endpoints.size();
    }
    if (pipeCount > kMaxPipes)
        return Failed(status::kInvalidParameter);

    device.activeConfiguration = *config;
    device.activeInterfaces.assign(request.interfaces, request.interfaces + request.interfaceCount);
    device.pipes.clear();
    for (const InterfaceEntry &e : device.activeInterfaces)
        AddPipes(device, *config->Find(uint8_t(e.interfaceIndex), uint8_t(e.alternateSetting)), e.maximumTransferSize);
    return {};
}

ControlOutcome AbortAll(uint32_t status)
{
    ControlOutcome outcome;
    outcome.abort = ControlOutcome::Abort::Device;
    outcome.abortStatus = status;
    return outcome;
}

ControlOutcome Unconfigure(const ControlCall &call)
{
    ControlOutcome outcome = AbortAll(ERROR_OPERATION_ABORTED);
    call.device.activeConfiguration.reset();
    call.device.activeInterfaces.clear();
    call.device.pipes.clear();
    return outcome;
}

ControlOutcome SetInterface(const ControlCall &call)
{
    const auto request = ReadRecord<InterfaceSetting>(call.input);
    SimDevice &device = call.device;
    if (!device.activeConfiguration)
        return Failed(status::kNotConfigured);
    auto active = std::find_if(device.activeInterfaces.begin(), device.activeInterfaces.end(),
                               [&](const InterfaceEntry &e) { return e.interfaceIndex == request.interfaceIndex; });
    const InterfaceDescription *setting =
        request.alternateSetting > 0xFF
            ? nullptr
            : device.activeConfiguration->Find(uint8_t(request.interfaceIndex), uint8_t(request.alternateSetting));
    if (active == device.activeInterfaces.end() || !setting)
        return Failed(status::kInterfaceNotFound);
    for (const Pipe &p : device.pipes)
        if (p.interfaceNumber == request.interfaceIndex && p.boundHandle != 0)
            return Failed(status::kOpenPipes);

    const auto others = std::count_if(device.pipes.begin(), device.pipes.end(), [&](const Pipe &p) {
        return p.interfaceNumber != request.interfaceIndex;
    });
    if (size_t(others) + setting->endpoints.size() > kMaxPipes)
        return Failed(status::kInvalidParameter);
    std::erase_if(device.pipes, [&](const Pipe &p) { return p.interfaceNumber == request.interfaceIndex; });
    *active = request;
    AddPipes(device, *setting, request.maximumTransferSize);
    return {};
}

ControlOutcome ClassOrVendor(const ControlCall &call, bool deviceToHost)
{
    const auto request = ReadRecord<ClassOrVendorRequest>(call.input);
    if (request.requestType != kClassRequest && request.requestType != kVendorRequest)
        return Failed(status::kInvalidType);
    if (request.recipient > 3)
        return Failed(status::kInvalidRecipient);
    ControlOutcome outcome;
    outcome.deviceRequest = ControlRequest{deviceToHost, uint8_t(request.requestType), uint8_t(request.recipient),
                                           request.reservedBits, request.request, request.value, request.index,
                                           request.flags, 0};
    if (deviceToHost)
        outcome.requestData.resize(call.outputLength);
    else
        outcome.requestData.assign(call.outputData.begin(), call.outputData.end());
    return outcome;
}

ControlOutcome GetConfigurationInfo(const ControlCall &call)
{
    const SimDevice &device = call.device;
    ConfigurationInfo info{};
    info.interfaceCount = uint32_t(device.activeInterfaces.size());
    std::copy(device.activeInterfaces.begin(), device.activeInterfaces.end(), info.interfaces);
    info.pipeCount = uint32_t(device.pipes.size());
    for (size_t i = 0; i < device.pipes.size(); ++i) {
        const Pipe &p = device.pipes[i];
        info.pipes[i] = PipeEntry{p.endpoint.type, p.endpoint.interval, p.endpoint.maxPacketSize, p.endpoint.address,
                                  p.interfaceNumber, p.maxTransferSize};
    }
    ControlOutcome outcome;
    Answer(outcome, info);
    return outcome;
}

ControlOutcome SetPowerState(const ControlCall &call)
{
    const auto state = ReadRecord<uint32_t>(call.input);
    SimDevice &device = call.device;
    if (state > 3)
        return Failed(status::kInvalidParameter);
    if (device.powerState != 0 && state != 0 && state != device.powerState)
        return Failed(status::kPowerStateNotAllowed);
    ControlOutcome outcome;
    if (state != 0)
        outcome = AbortAll(status::kDevicePoweredDown);
    device.powerState = state;
    return outcome;
}

ControlOutcome BindPipe(const ControlCall &call)
{
    const uint8_t address = call.input[0];
    SimDevice &device = call.device;
    if (!device.activeConfiguration)
        return Failed(status::kNotConfigured);
    Pipe *pipe = device.FindPipe(address);
    if (!pipe)
        return Failed(status::kPipeNotFound);
    if (pipe->boundHandle != 0 || device.BoundPipe(call.handle))
        return Failed(status::kAlreadyBound);
    pipe->boundHandle = call.handle;
    return {};
}

ControlOutcome PipeRequest(const ControlCall &call)
{
    Pipe *pipe = call.device.BoundPipe(call.handle);
    if (!pipe)
        return Failed(status::kNotBound);
    ControlOutcome outcome;
    switch (call.code) {
    case kUnbindPipe:
        pipe->boundHandle = 0;
        [[fallthrough]];
    case kAbortPipe:
        outcome.abort = ControlOutcome::Abort::Pipe;
        outcome.abortEndpoint = pipe->endpoint.address;
        outcome.abortStatus = ERROR_OPERATION_ABORTED;
        break;
    case kResetPipe:
        if (call.device.HasPending(pipe->endpoint.address))
            return Failed(status::kPendingRequests);
        call.device.statusWords[{2, pipe->endpoint.address}] &= uint16_t(~1u);
        break;
    case kGetPipeParameters:
        Answer(outcome, pipe->flags);
        break;
    case kSetPipeParameters:
        pipe->flags = ReadRecord<uint32_t>(call.input);
        break;
    case kSetupPipeStatistics:
        pipe->averagingInterval = ReadRecord<StatisticsSetup>(call.input).averagingInterval;
        break;
    case kQueryPipeStatistics: {
        const auto reset = ReadRecord<uint32_t>(call.input);
        Answer(outcome, PipeStatistics{uint32_t(pipe->bytes), uint32_t(pipe->bytes >> 32), pipe->succeeded,
                                       pipe->failed, pipe->averagingInterval,
                                       call.device.PendingOn(pipe->endpoint.address), {}});
        if (reset & kResetBytes)
            pipe->bytes = 0;
        if (reset & kResetSucceeded)
            pipe->succeeded = 0;
        if (reset & kResetFailed)
            pipe->failed = 0;
        break;
    }
    case kPipeControlTransferIn:
    case kPipeControlTransferOut: {
        if (pipe->endpoint.type != kControlPipe)
            return Failed(status::kInvalidType);
        const auto setup = ReadRecord<ControlTransferRequest>(call.input);
        const bool in = call.code == kPipeControlTransferIn;
        outcome.deviceRequest = ControlRequest{in, uint8_t((setup.requestType >> 5) & 3),
                                               uint8_t(setup.requestType & 0x1F), 0, setup.request, setup.value,
                                               setup.index, 0, pipe->endpoint.address};
        if (in)
            outcome.requestData.resize(std::min<uint32_t>(setup.length, call.outputLength));
        else
            outcome.requestData.assign(call.outputData.begin(), call.outputData.end());
        break;
    }
    }
    return outcome;
}

} // namespace

bool IsKnownControlCode(uint32_t code)
{
    return FindShape(code) != nullptr;
}

ControlOutcome DispatchControl(const ControlCall &call)
{
    const CodeShape *shape = FindShape(call.code);
    if (!shape)
        return Failed(status::kInvalidControlCode);
    if (call.input.size() < shape->minInput)
        return Failed(status::kInputBufferTooSmall);
    if (call.outputLength < shape->minOutput)
        return Failed(status::kOutputBufferTooSmall);
    SimDevice &device = call.device;
    if (shape->reachesDevice && device.powerState != 0)
        return Failed(status::kDevicePoweredDown);

    ControlOutcome outcome;
    switch (call.code) {
    case kGetDescriptor:
        return GetDescriptor(call);
    case kSetDescriptor:
        return SetDescriptor(call);
    case kSetFeature:
        return ChangeFeature(call, true);
    case kClearFeature:
        return ChangeFeature(call, false);
    case kGetStatus:
        return GetStatus(call);
    case kGetConfiguration:
        Answer(outcome, uint8_t(device.activeConfiguration ? device.activeConfiguration->value : 0));
        return outcome;
    case kGetInterface:
        return GetInterface(call);
    case kStoreConfigDescriptor:
        return StoreConfigDescriptor(call);
    case kSetConfiguration:
        return SetConfiguration(call);
    case kUnconfigureDevice:
        return Unconfigure(call);
    case kSetInterface:
        return SetInterface(call);
    case kClassOrVendorInRequest:
        return ClassOrVendor(call, true);
    case kClassOrVendorOutRequest:
        return ClassOrVendor(call, false);
    case kGetDeviceParameters:
        Answer(outcome, device.parameters);
        return outcome;
    case kSetDeviceParameters:
        device.parameters = ReadRecord<DeviceParameters>(call.input);
        return outcome;
    case kGetConfigurationInfo:
        return GetConfigurationInfo(call);
    case kResetDevice:
    case kCyclePort:
        return AbortAll(ERROR_OPERATION_ABORTED);
    case kGetCurrentFrameNumber:
        Answer(outcome, uint32_t(GetTickCount64() - device.plugTime));
        return outcome;
    case kSetDevicePowerState:
        return SetPowerState(call);
    case kGetDevicePowerState:
        Answer(outcome, device.powerState);
        return outcome;
    case kGetBandwidthInfo:
        Answer(outcome, device.bandwidth);
        return outcome;
    case kGetDeviceInfo:
        Answer(outcome, device.deviceInfo);
        return outcome;
    case kGetDriverInfo:
        Answer(outcome, device.driverInfo);
        return outcome;
    case kBindPipe:
        return BindPipe(call);
    case kControl832:
    case kControl833:
    case kControl83C:
        return outcome;
    case kControl83D:
        Answer(outcome, device.control83D);
        return outcome;
    default:
        return PipeRequest(call);
    }
}

void AnswerDeviceRequest(ControlOutcome &outcome, ControlHandler handler, void *context)
{
    if (!handler) {
        outcome.status = status::kStallPid;
        return;
    }
    uint32_t length = uint32_t(outcome.requestData.size());
    outcome.status = handler(context, *outcome.deviceRequest, outcome.requestData.data(), &length);
    length = std::min<uint32_t>(length, uint32_t(outcome.requestData.size()));
    if (outcome.status != 0)
        return;
    outcome.bytesReturned = length;
    if (outcome.deviceRequest->deviceToHost)
        outcome.output.assign(outcome.requestData.begin(), outcome.requestData.begin() + length);
}

} // namespace dravio::sim
