#include "DravioAdapterLink.h"

#include "sim/dravio/DriverProtocol.h"

#include <chrono>
#include <string>

namespace sim::biss {

namespace {

// Stream packets the adapter keeps queued beyond what the host has taken.
constexpr uint32_t kPacketsAhead = 3;

std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }

} // namespace

DravioAdapterLink::DravioAdapterLink(dravio::sim::ISimController &driver, SimUsbAdapter &adapter,
                                     const GUID &interfaceClass, int32_t deviceNumber)
    : driver_(driver), adapter_(adapter)
{
    const AdapterIdentity &identity = adapter.Identity();
    const std::vector<uint8_t> device = DeviceDescriptor(identity);
    const std::vector<uint8_t> configuration = ConfigurationDescriptor(identity);
    const std::wstring manufacturer = Widen(identity.manufacturer);
    const std::wstring product = Widen(identity.product);
    const std::wstring serial = Widen(identity.serialNumber);

    dravio::sim::DeviceSetup setup{};
    setup.interfaceClass = interfaceClass;
    setup.number = deviceNumber;
    setup.deviceDescriptor = device.data();
    setup.deviceDescriptorLength = static_cast<uint32_t>(device.size());
    setup.configurationDescriptors = configuration.data();
    setup.configurationDescriptorsLength = static_cast<uint32_t>(configuration.size());
    setup.manufacturer = manufacturer.c_str();
    setup.product = product.c_str();
    setup.serialNumber = serial.empty() ? nullptr : serial.c_str();
    setup.languageId = 0x0407;
    setup.highSpeed = identity.highSpeed;
    status_ = driver_.AddDevice(setup, &device_);
    if (status_ != 0)
        return;
    plugged_ = true;
    status_ = driver_.SetWriteHandler(device_, SimUsbAdapter::kOutEndpoint, &DravioAdapterLink::OnRequest, this);
    if (status_ == 0)
        status_ = driver_.SetReadHandler(device_, SimUsbAdapter::kInEndpoint, &DravioAdapterLink::OnIdleRead, this);
    if (status_ == 0)
        pump_ = std::thread([this] { PumpStream(); });
}

DravioAdapterLink::~DravioAdapterLink()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (pump_.joinable())
        pump_.join();
    if (plugged_) {
        driver_.SetWriteHandler(device_, SimUsbAdapter::kOutEndpoint, nullptr, nullptr);
        driver_.SetReadHandler(device_, SimUsbAdapter::kInEndpoint, nullptr, nullptr);
        driver_.RemoveDevice(device_);
    }
}

uint32_t DravioAdapterLink::OnRequest(void *context, dravio::sim::ISimController &, uint32_t, uint8_t,
                                      const uint8_t *data, uint32_t length)
{
    auto &link = *static_cast<DravioAdapterLink *>(context);
    {
        std::lock_guard lock(link.mutex_);
        link.adapter_.ReceiveRequest(data, length);
        link.DeliverAnswers();
    }
    link.wake_.notify_all();
    return 0;
}

uint32_t DravioAdapterLink::OnIdleRead(void *context, dravio::sim::ISimController &, uint32_t, uint8_t)
{
    auto &link = *static_cast<DravioAdapterLink *>(context);
    std::lock_guard lock(link.mutex_);
    if (link.adapter_.Streaming())
        return 0; // the pump brings the next packet
    // A late answer goes out once the transfer it waits for has ended; else nothing is coming.
    std::vector<uint8_t> answer;
    if (!link.adapter_.SendResponse(4096, answer))
        return dravio::sim::wire::status::kTimeout;
    link.driver_.Deliver(link.device_, SimUsbAdapter::kInEndpoint, answer.data(),
                         static_cast<uint32_t>(answer.size()));
    return 0;
}

void DravioAdapterLink::DeliverAnswers()
{
    if (adapter_.Streaming())
        return; // the pump moves stream packets
    std::vector<uint8_t> answer;
    while (adapter_.SendResponse(4096, answer))
        driver_.Deliver(device_, SimUsbAdapter::kInEndpoint, answer.data(), static_cast<uint32_t>(answer.size()));
}

void DravioAdapterLink::PumpStream()
{
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!adapter_.Streaming()) {
            wake_.wait(lock);
            continue;
        }
        dravio::sim::DeviceState state{};
        std::vector<uint8_t> packet;
        if (driver_.QueryDevice(device_, &state) == 0 && state.queuedMessages < kPacketsAhead &&
            adapter_.SendResponse(adapter::kStreamPacketSize, packet)) {
            driver_.Deliver(device_, SimUsbAdapter::kInEndpoint, packet.data(),
                            static_cast<uint32_t>(packet.size()));
            continue;
        }
        wake_.wait_for(lock, std::chrono::milliseconds(1));
    }
}

} // namespace sim::biss
