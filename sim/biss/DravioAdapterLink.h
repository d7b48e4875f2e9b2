// Puts a simulated USB adapter on the simulated USB driver: a device of one of
// the adapter's device interface classes whose bulk OUT endpoint 0x02 hands
// each request frame to the firmware and whose bulk IN endpoint 0x81 carries
// the answers. While the firmware streams, a pump keeps a few packets queued
// ahead of the host's reads, as the adapter fills its packets on its own.
// Otherwise answers go out with their request, and a read that finds none
// waiting asks the firmware for a late one (the end of a transfer that
// outlasted its patience); when none is owed, the read times out at once
// instead of after the host's real-time wait.
#pragma once

#include "SimUsbAdapter.h"

#include "sim/dravio/SimController.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace sim::biss {

// Device interface classes of the USB adapter (interface types 5 and 6).
inline constexpr GUID kAdapterInterfaceA = {0x4B104F5C, 0x324B, 0x49B4,
                                            {0x82, 0x59, 0xB4, 0xC4, 0xDB, 0x41, 0x9C, 0x9B}};
inline constexpr GUID kAdapterInterfaceB = {0xD5856444, 0x1898, 0x4B27,
                                            {0x99, 0x93, 0xBD, 0x9C, 0xD1, 0x01, 0x14, 0xA2}};

class DravioAdapterLink {
public:
    // Plugs the adapter in; Status() tells whether that worked.
    DravioAdapterLink(dravio::sim::ISimController &driver, SimUsbAdapter &adapter, const GUID &interfaceClass,
                      int32_t deviceNumber = -1);
    // Unplugs it.
    ~DravioAdapterLink();
    DravioAdapterLink(const DravioAdapterLink &) = delete;
    DravioAdapterLink &operator=(const DravioAdapterLink &) = delete;

    uint32_t Status() const { return status_; }
    uint32_t DeviceNumber() const { return device_; }

    // Runs f with the simulation held still (no stream packets move meanwhile).
    template <class F> auto WithAdapterHeld(F f)
    {
        std::lock_guard lock(mutex_);
        return f();
    }

private:
    static uint32_t OnRequest(void *context, dravio::sim::ISimController &driver, uint32_t device,
                              uint8_t endpoint, const uint8_t *data, uint32_t length);
    static uint32_t OnIdleRead(void *context, dravio::sim::ISimController &driver, uint32_t device,
                               uint8_t endpoint);
    void DeliverAnswers();
    void PumpStream();

    dravio::sim::ISimController &driver_;
    SimUsbAdapter &adapter_;
    uint32_t device_ = 0;
    uint32_t status_ = 0;
    bool plugged_ = false;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread pump_;
};

} // namespace sim::biss
