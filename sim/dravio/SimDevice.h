// The state of one simulated device: what the device itself answers
// (descriptors, endpoint behaviour) and what the driver keeps for it
// (configuration, pipes and their bindings, pending requests).
#pragma once

#include <windows.h>
#include <cfgmgr32.h>

#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ConfigurationDescriptor.h"
#include "DriverProtocol.h"
#include "SimController.h"

namespace dravio::sim {

struct Request;

struct FailureRule {
    uint32_t count;
    uint32_t status;
};

// How the device's side of one endpoint behaves, configured or not.
struct EndpointBehaviour {
    bool silent = false;
    uint8_t loopbackTo = 0;
    WriteHandler handler = nullptr;
    void *handlerContext = nullptr;
    ReadHandler readHandler = nullptr;
    void *readHandlerContext = nullptr;
    std::deque<std::vector<uint8_t>> queue;   // data the IN endpoint has ready for reads
};

// A pipe of the current configuration.
struct Pipe {
    EndpointDescription endpoint;
    uint8_t interfaceNumber;
    uint32_t maxTransferSize;
    uint32_t flags = 0;
    uint32_t averagingInterval = 0;
    uint64_t bytes = 0;
    uint32_t succeeded = 0;
    uint32_t failed = 0;
    uint32_t boundHandle = 0;   // number of the handle bound to it, 0 when none

    bool IsIn() const { return (endpoint.address & 0x80) != 0; }
};

struct SimDevice {
    // Identity.
    uint32_t number = 0;
    GUID interfaceClass{};
    DEVINST devInst = 0;
    DEVINST parentDevInst = 0;
    std::wstring deviceId;
    std::wstring interfacePath;
    bool present = true;
    bool deferred = false;
    uint32_t openHandles = 0;
    uint32_t openPeriod = 0;   // see DeviceState

    // What the device answers.
    std::vector<uint8_t> deviceDescriptor;
    std::vector<ConfigurationDescription> configurations;
    std::map<std::pair<uint8_t, uint16_t>, std::vector<uint8_t>> strings;   // (index, language)
    std::map<std::pair<uint8_t, uint8_t>, std::vector<uint8_t>> setDescriptors;   // (type, index) sent by the host
    uint16_t languageId = 0x0407;
    std::map<std::pair<uint32_t, uint16_t>, uint16_t> statusWords;   // (recipient, index): feature bits
    std::map<uint8_t, EndpointBehaviour> endpoints;
    ControlHandler controlHandler = nullptr;
    void *controlContext = nullptr;

    // What the driver keeps.
    wire::DriverInfo driverInfo{0x0232, 0x0100, 1, 0};
    wire::DeviceInfo deviceInfo{};
    wire::BandwidthInfo bandwidth{};
    uint8_t control83D[wire::kControl83DLength]{};
    wire::DeviceParameters parameters{};
    uint32_t powerState = 0;
    ULONGLONG plugTime = 0;
    std::optional<ConfigurationDescription> storedConfiguration;   // sent by the host, used at the next configuration
    std::optional<ConfigurationDescription> activeConfiguration;
    std::vector<wire::InterfaceEntry> activeInterfaces;
    std::vector<Pipe> pipes;
    std::map<uint32_t, FailureRule> controlFailures;
    std::map<uint8_t, FailureRule> transferFailures;
    std::list<std::shared_ptr<Request>> pending;

    Pipe *FindPipe(uint8_t address);
    Pipe *BoundPipe(uint32_t handle);
    EndpointBehaviour &Endpoint(uint8_t address) { return endpoints[address]; }
    bool HasPending(uint8_t endpoint) const;
    uint32_t PendingOn(uint8_t endpoint) const;

    // Takes one injected failure for the key, if any is left.
    static std::optional<uint32_t> TakeFailure(std::map<uint32_t, FailureRule> &rules, uint32_t key);
    static std::optional<uint32_t> TakeFailure(std::map<uint8_t, FailureRule> &rules, uint8_t key);
};

} // namespace dravio::sim
