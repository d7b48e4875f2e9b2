#include "MasterChipRig.h"

namespace sim::chipbus {

namespace {
constexpr uint8_t kTestModeOn = 0x10;
constexpr uint8_t kTestClock = 0x20;
} // namespace

MasterChipRig::MasterChipRig(const biss::MasterChipProfile &chip) : master(chip, line) {}

void MasterChipRig::HoldLineLow(unsigned pulsesToRelease)
{
    holdingLine_ = true;
    pulsesToRelease_ = pulsesToRelease;
    testClockPulses_ = 0;
    line.SetStuckLow(true);
}

uint8_t MasterChipRig::ReadRegister(uint8_t address)
{
    return master.Read(address);
}

void MasterChipRig::WriteRegister(uint8_t address, uint8_t value)
{
    master.Write(address, value);
    if (address == biss::reg::kTestMode)
        WatchTestClock(value);
}

// The pin follows status bit 0. The chip's time is counted in accesses, so a
// sample counts as one (by the adapter, not the host): a host that only
// watches the pin still sees the cycle end.
bool MasterChipRig::EndOfCycle()
{
    return (master.Read(biss::reg::kStatus, biss::AccessOrigin::Adapter) & biss::status::kEndOfCycle) != 0;
}

void MasterChipRig::WatchTestClock(uint8_t value)
{
    const bool rising = (value & kTestModeOn) && (value & kTestClock) && !(testMode_ & kTestClock);
    testMode_ = value;
    if (!rising)
        return;
    ++testClockPulses_;
    if (holdingLine_ && pulsesToRelease_ != 0 && testClockPulses_ >= pulsesToRelease_) {
        holdingLine_ = false;
        line.SetStuckLow(false);
    }
}

} // namespace sim::chipbus
