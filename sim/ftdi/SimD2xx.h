// The stand-in D2XX library: adapter channels found by description, each with
// an MPSSE engine, a receive buffer and its share of the call log.
//
// Statuses: 0 success, 1 invalid handle, 2 device not found, 3 device not
// opened (already open), 4 I/O error, 6 invalid parameter.
// Reads return what has arrived: fewer bytes than asked for once the read
// time-out has passed (in virtual time).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "FtdiSimControl.h"
#include "MpsseEngine.h"

namespace sim::ftdi {

using D2xxStatus = uint32_t;

class SimD2xx final : public IFtdiSimControl {
public:
    static constexpr D2xxStatus kOk = 0;
    static constexpr D2xxStatus kInvalidHandle = 1;
    static constexpr D2xxStatus kDeviceNotFound = 2;
    static constexpr D2xxStatus kDeviceNotOpened = 3;
    static constexpr D2xxStatus kIoError = 4;
    static constexpr D2xxStatus kInvalidParameter = 6;
    static constexpr uint32_t kOpenByDescription = 2;
    static constexpr uint8_t kModeReset = 0;
    static constexpr uint8_t kModeMpsse = 2;

    D2xxStatus OpenEx(const void *what, uint32_t flags, void **handle);
    D2xxStatus Close(void *handle);
    D2xxStatus Read(void *handle, void *buffer, uint32_t length, uint32_t *done);
    D2xxStatus Write(void *handle, const void *buffer, uint32_t length, uint32_t *done);
    D2xxStatus Purge(void *handle, uint32_t mask);
    D2xxStatus SetTimeouts(void *handle, uint32_t readMs, uint32_t writeMs);
    D2xxStatus GetQueueStatus(void *handle, uint32_t *waiting);
    D2xxStatus SetLatencyTimer(void *handle, uint8_t milliseconds);
    D2xxStatus SetBitMode(void *handle, uint8_t mask, uint8_t mode);

    void Reset() override;
    void AddDevice(const char *description, chipbus::IMasterChipBus *chip) override;
    void SetInputPins(uint8_t levels) override;
    void FailCalls(D2xxCall call, uint32_t after, uint32_t count) override;
    void AddStrayBytes(uint32_t count) override { strayBytes_ += count; }
    uint32_t CopyLog(char *buffer, uint32_t capacity) const override;
    void ClearLog() override { log_.clear(); }
    uint32_t CallCount(D2xxCall call) const override;
    uint32_t WaitingBytes() const override;

private:
    struct Device {
        std::string description;
        chipbus::IMasterChipBus *chip = nullptr;
        bool open = false;
        uint8_t mode = kModeReset;
        uint32_t readTimeoutMs = 0;
        MpsseEngine engine;
        std::vector<uint8_t> received;
    };
    struct Fault {
        uint32_t after = 0;
        uint32_t count = 0;
    };

    Device *Find(void *handle);
    // Counts the call; true when an injected fault makes it fail.
    bool Fails(D2xxCall call);
    // Counts the call, finds its device and gives the status a call on a handle starts from.
    D2xxStatus Begin(D2xxCall call, void *handle, Device **device);
    void Elapse(const Device &device, uint64_t microseconds);
    void Log(const std::string &line, D2xxStatus status = kOk);

    std::vector<Device> devices_;
    std::array<Fault, 32> faults_{};
    std::array<uint32_t, 32> calls_{};
    uint32_t strayBytes_ = 0;
    uint8_t inputLevels_ = 0;
    std::string log_;
};

} // namespace sim::ftdi
