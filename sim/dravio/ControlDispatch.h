// Answers one device I/O control request of the driver against a device's
// state: record sizes, the request's effect, and the bytes it returns.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "SimController.h"
#include "SimDevice.h"

namespace dravio::sim {

struct ControlCall {
    SimDevice &device;
    uint32_t handle;                          // the submitting handle's number
    uint32_t code;
    std::span<const uint8_t> input;
    uint32_t outputLength;
    std::span<const uint8_t> outputData;      // what the output buffer holds (direct-in codes send it)
};

struct ControlOutcome {
    uint32_t status = 0;
    std::vector<uint8_t> output;              // copied to the caller's output buffer at completion
    uint32_t bytesReturned = 0;

    // A request only the device's control handler can answer.
    std::optional<ControlRequest> deviceRequest;
    std::vector<uint8_t> requestData;         // host-to-device data, or room for the answer

    // Transfers the request ends before it completes.
    enum class Abort { None, Pipe, Device } abort = Abort::None;
    uint8_t abortEndpoint = 0;
    uint32_t abortStatus = 0;
};

// Whether the code is one the driver knows.
bool IsKnownControlCode(uint32_t code);

ControlOutcome DispatchControl(const ControlCall &call);

// Completes a device request with the control handler's answer.
void AnswerDeviceRequest(ControlOutcome &outcome, ControlHandler handler, void *context);

} // namespace dravio::sim
