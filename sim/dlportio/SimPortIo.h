// The stand-in port I/O driver: byte writes and reads of I/O ports, one
// parallel port among them with the master chip behind it, every access
// logged. Each access takes a microsecond of the chip's time.
#pragma once

#include <memory>
#include <string>

#include "ParallelPortAdapter.h"
#include "PortSimControl.h"

namespace sim::dlportio {

class SimPortIo final : public IPortSimControl {
public:
    void WritePort(uint32_t port, uint8_t value);
    uint8_t ReadPort(uint32_t port);

    void Reset() override;
    void Connect(uint32_t base, uint32_t wiring, chipbus::IMasterChipBus *chip) override;
    uint32_t CopyLog(char *buffer, uint32_t capacity) const override;
    void ClearLog() override
    {
        log_.clear();
        accesses_ = 0;
    }
    uint32_t AccessCount() const override { return accesses_; }

private:
    void Log(uint32_t port, const char *operation, uint8_t value);

    uint32_t base_ = 0;
    chipbus::IMasterChipBus *chip_ = nullptr;
    std::unique_ptr<ParallelPortAdapter> port_;
    std::string log_;
    uint32_t accesses_ = 0;
};

} // namespace sim::dlportio
