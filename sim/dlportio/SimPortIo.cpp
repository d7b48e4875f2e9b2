#include "SimPortIo.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace sim::dlportio {

namespace {
constexpr uint32_t kAccessMicroseconds = 1;
constexpr const char *kRegisterNames[] = {"D", "S", "C"};
} // namespace

void SimPortIo::Log(uint32_t port, const char *operation, uint8_t value)
{
    char line[32];
    if (port_ != nullptr && port >= base_ && port - base_ < 3)
        std::snprintf(line, sizeof(line), "%s%s%02X\n", kRegisterNames[port - base_], operation, value);
    else
        std::snprintf(line, sizeof(line), "0x%04X%s%02X\n", static_cast<unsigned>(port), operation, value);
    log_ += line;
    ++accesses_;
    if (chip_ != nullptr)
        chip_->Elapse(kAccessMicroseconds);
}

void SimPortIo::WritePort(uint32_t port, uint8_t value)
{
    Log(port, ":=", value);
    if (port_ == nullptr)
        return;
    if (port == base_)
        port_->WriteData(value);
    else if (port == base_ + 2)
        port_->WriteControl(value);
}

uint8_t SimPortIo::ReadPort(uint32_t port)
{
    uint8_t value = 0xFF;
    if (port_ != nullptr && port == base_)
        value = port_->ReadData();
    else if (port_ != nullptr && port == base_ + 1)
        value = port_->ReadStatus();
    else if (port_ != nullptr && port == base_ + 2)
        value = port_->ReadControl();
    Log(port, "=", value);
    return value;
}

void SimPortIo::Reset()
{
    port_.reset();
    chip_ = nullptr;
    base_ = 0;
    log_.clear();
    accesses_ = 0;
}

void SimPortIo::Connect(uint32_t base, uint32_t wiring, chipbus::IMasterChipBus *chip)
{
    base_ = base;
    chip_ = chip;
    port_ = std::make_unique<ParallelPortAdapter>(wiring, chip);
}

uint32_t SimPortIo::CopyLog(char *buffer, uint32_t capacity) const
{
    if (buffer != nullptr && capacity > 0) {
        const size_t count = std::min<size_t>(capacity - 1, log_.size());
        std::memcpy(buffer, log_.data(), count);
        buffer[count] = '\0';
    }
    return static_cast<uint32_t>(log_.size());
}

} // namespace sim::dlportio
