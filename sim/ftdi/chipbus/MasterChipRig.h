// The master chip and its line of slaves as an adapter wired straight to the
// chip sees them: the same chip model that sits behind the simulated USB
// adapter, offered to the stand-in DLLs as their chip bus, and the virtual
// clock everything runs in. Members are in construction order.
#pragma once

#include "MasterChipBus.h"
#include "MasterChipProfile.h"
#include "SimBissLine.h"
#include "SimBissMaster.h"
#include "SimClock.h"

namespace sim::chipbus {

class MasterChipRig final : public IMasterChipBus {
public:
    explicit MasterChipRig(const biss::MasterChipProfile &chip = biss::MasterChipProfile::Chip52Rev4());
    MasterChipRig(const MasterChipRig &) = delete;
    MasterChipRig &operator=(const MasterChipRig &) = delete;

    // A slave that holds the line low (the master's line test reads 0) until
    // the master's test-mode clock has pulsed this often; 0: it never lets go.
    // The test-mode clock is register 0xF5: bit 4 switches it on, a rising
    // bit 5 is one pulse.
    void HoldLineLow(unsigned pulsesToRelease);
    unsigned TestClockPulses() const { return testClockPulses_; }

    uint8_t ReadRegister(uint8_t address) override;
    void WriteRegister(uint8_t address, uint8_t value) override;
    bool EndOfCycle() override;
    void Elapse(uint32_t microseconds) override { clock.Advance(microseconds); }

    biss::SimClock clock;
    biss::SimBissLine line;
    biss::SimBissMaster master;

private:
    void WatchTestClock(uint8_t value);

    uint8_t testMode_ = 0;
    unsigned testClockPulses_ = 0;
    bool holdingLine_ = false;
    unsigned pulsesToRelease_ = 0;
};

} // namespace sim::chipbus
