#include "SimD2xx.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim::ftdi {

namespace {

// One USB transfer at high speed costs at least a microframe.
constexpr uint64_t kTransferMicroseconds = 125;
constexpr uint8_t kStrayByte = 0xEE;
// Purge mask bit 0 empties the receive buffer; nothing ever waits to be sent.
constexpr uint32_t kPurgeReceive = 1;

std::string Hex(const uint8_t *bytes, size_t count)
{
    std::string text;
    char cell[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof(cell), " %02X", bytes[i]);
        text += cell;
    }
    return text;
}

void *HandleOf(size_t index)
{
    return reinterpret_cast<void *>(index + 1);
}

} // namespace

SimD2xx::Device *SimD2xx::Find(void *handle)
{
    const auto index = reinterpret_cast<uintptr_t>(handle);
    if (index == 0 || index > devices_.size() || !devices_[index - 1].open)
        return nullptr;
    return &devices_[index - 1];
}

bool SimD2xx::Fails(D2xxCall call)
{
    const auto slot = static_cast<uint32_t>(call);
    ++calls_[slot];
    Fault &fault = faults_[slot];
    if (fault.count == 0)
        return false;
    if (fault.after > 0) {
        --fault.after;
        return false;
    }
    --fault.count;
    return true;
}

D2xxStatus SimD2xx::Begin(D2xxCall call, void *handle, Device **device)
{
    const bool failing = Fails(call);
    *device = Find(handle);
    return *device == nullptr ? kInvalidHandle : failing ? kIoError : kOk;
}

void SimD2xx::Elapse(const Device &device, uint64_t microseconds)
{
    if (device.chip != nullptr)
        device.chip->Elapse(static_cast<uint32_t>(microseconds));
}

void SimD2xx::Log(const std::string &line, D2xxStatus status)
{
    log_ += line;
    if (status != kOk)
        log_ += " -> " + std::to_string(status);
    log_ += '\n';
}

D2xxStatus SimD2xx::OpenEx(const void *what, uint32_t flags, void **handle)
{
    const bool failing = Fails(D2xxCall::OpenByDescription);
    if (flags != kOpenByDescription || what == nullptr || handle == nullptr) {
        Log("open " + std::to_string(flags), kInvalidParameter);
        return kInvalidParameter;
    }
    const std::string description = static_cast<const char *>(what);
    const std::string line = "open \"" + description + "\"";
    auto found = std::find_if(devices_.begin(), devices_.end(),
                              [&](const Device &device) { return device.description == description; });
    D2xxStatus status = kOk;
    if (failing)
        status = kIoError;
    else if (found == devices_.end())
        status = kDeviceNotFound;
    else if (found->open)
        status = kDeviceNotOpened;
    Log(line, status);
    if (status != kOk)
        return status;
    found->open = true;
    found->mode = kModeReset;
    found->readTimeoutMs = 0;
    found->engine.Reset();
    found->engine.SetInputLevels(inputLevels_);
    found->received.clear();
    *handle = HandleOf(static_cast<size_t>(found - devices_.begin()));
    return kOk;
}

D2xxStatus SimD2xx::Close(void *handle)
{
    Device *device = nullptr;
    const D2xxStatus status = Begin(D2xxCall::Close, handle, &device);
    Log("close", status);
    if (status == kOk)
        device->open = false;
    return status;
}

D2xxStatus SimD2xx::Read(void *handle, void *buffer, uint32_t length, uint32_t *done)
{
    const bool failing = Fails(D2xxCall::Read);
    if (done != nullptr)
        *done = 0;
    Device *device = Find(handle);
    if (device == nullptr || buffer == nullptr || done == nullptr) {
        Log("read " + std::to_string(length), device == nullptr ? kInvalidHandle : kInvalidParameter);
        return device == nullptr ? kInvalidHandle : kInvalidParameter;
    }
    Elapse(*device, kTransferMicroseconds);
    if (failing) {
        Log("read " + std::to_string(length), kIoError);
        return kIoError;
    }
    const uint32_t count = std::min<uint32_t>(length, static_cast<uint32_t>(device->received.size()));
    std::memcpy(buffer, device->received.data(), count);
    device->received.erase(device->received.begin(), device->received.begin() + count);
    *done = count;
    if (count < length)
        Elapse(*device, uint64_t{device->readTimeoutMs} * 1000);
    Log("read " + std::to_string(length) + " =" + Hex(static_cast<const uint8_t *>(buffer), count));
    return kOk;
}

D2xxStatus SimD2xx::Write(void *handle, const void *buffer, uint32_t length, uint32_t *done)
{
    const bool failing = Fails(D2xxCall::Write);
    if (done != nullptr)
        *done = 0;
    Device *device = Find(handle);
    const auto *bytes = static_cast<const uint8_t *>(buffer);
    const std::string line = "write" + (bytes != nullptr ? Hex(bytes, length) : std::string());
    if (device == nullptr || bytes == nullptr || done == nullptr) {
        Log(line, device == nullptr ? kInvalidHandle : kInvalidParameter);
        return device == nullptr ? kInvalidHandle : kInvalidParameter;
    }
    Elapse(*device, kTransferMicroseconds);
    if (failing) {
        Log(line, kIoError);
        return kIoError;
    }
    Log(line);
    *done = length;
    if (device->mode != kModeMpsse)
        return kOk;  // the channel is not in MPSSE mode: the bytes leave as serial data
    std::vector<uint8_t> answers;
    device->engine.Execute(bytes, length, device->chip, answers);
    // The engine's clock is 6 MHz divided by (1 + divisor).
    Elapse(*device, device->engine.TakeClockedBits() * (1u + device->engine.Divisor()) / 6);
    if (!answers.empty() && strayBytes_ > 0) {
        answers.insert(answers.end(), strayBytes_, kStrayByte);
        strayBytes_ = 0;
    }
    device->received.insert(device->received.end(), answers.begin(), answers.end());
    return kOk;
}

D2xxStatus SimD2xx::Purge(void *handle, uint32_t mask)
{
    Device *device = nullptr;
    const D2xxStatus status = Begin(D2xxCall::Purge, handle, &device);
    Log("purge " + std::to_string(mask), status);
    if (status == kOk && (mask & kPurgeReceive))
        device->received.clear();
    return status;
}

D2xxStatus SimD2xx::SetTimeouts(void *handle, uint32_t readMs, uint32_t writeMs)
{
    Device *device = nullptr;
    const D2xxStatus status = Begin(D2xxCall::SetTimeouts, handle, &device);
    Log("timeouts " + std::to_string(readMs) + " " + std::to_string(writeMs), status);
    if (status == kOk)
        device->readTimeoutMs = readMs;
    return status;
}

D2xxStatus SimD2xx::GetQueueStatus(void *handle, uint32_t *waiting)
{
    Device *device = nullptr;
    D2xxStatus status = Begin(D2xxCall::QueueStatus, handle, &device);
    if (status == kOk && waiting == nullptr)
        status = kInvalidParameter;
    if (status != kOk) {
        Log("queue", status);
        return status;
    }
    *waiting = static_cast<uint32_t>(device->received.size());
    Log("queue = " + std::to_string(*waiting));
    return kOk;
}

D2xxStatus SimD2xx::SetLatencyTimer(void *handle, uint8_t milliseconds)
{
    Device *device = nullptr;
    const D2xxStatus status = Begin(D2xxCall::LatencyTimer, handle, &device);
    Log("latency " + std::to_string(milliseconds), status);
    return status;
}

D2xxStatus SimD2xx::SetBitMode(void *handle, uint8_t mask, uint8_t mode)
{
    Device *device = nullptr;
    D2xxStatus status = Begin(D2xxCall::BitMode, handle, &device);
    if (status == kOk && mode != kModeReset && mode != kModeMpsse)
        status = kInvalidParameter;
    Log("bitmode" + Hex(&mask, 1) + Hex(&mode, 1), status);
    if (status != kOk)
        return status;
    device->mode = mode;
    device->engine.Reset();
    return kOk;
}

void SimD2xx::Reset()
{
    devices_.clear();
    faults_.fill({});
    calls_.fill(0);
    strayBytes_ = 0;
    inputLevels_ = 0;
    log_.clear();
}

void SimD2xx::AddDevice(const char *description, chipbus::IMasterChipBus *chip)
{
    Device device;
    device.description = description != nullptr ? description : "";
    device.chip = chip;
    devices_.push_back(std::move(device));
}

void SimD2xx::SetInputPins(uint8_t levels)
{
    inputLevels_ = levels;
    for (Device &device : devices_)
        device.engine.SetInputLevels(levels);
}

void SimD2xx::FailCalls(D2xxCall call, uint32_t after, uint32_t count)
{
    faults_[static_cast<uint32_t>(call)] = {after, count};
}

uint32_t SimD2xx::CopyLog(char *buffer, uint32_t capacity) const
{
    if (buffer != nullptr && capacity > 0) {
        const size_t count = std::min<size_t>(capacity - 1, log_.size());
        std::memcpy(buffer, log_.data(), count);
        buffer[count] = '\0';
    }
    return static_cast<uint32_t>(log_.size());
}

uint32_t SimD2xx::CallCount(D2xxCall call) const
{
    return calls_[static_cast<uint32_t>(call)];
}

uint32_t SimD2xx::WaitingBytes() const
{
    for (const Device &device : devices_)
        if (device.open)
            return static_cast<uint32_t>(device.received.size());
    return 0;
}

} // namespace sim::ftdi
