#include "TestModeClock.h"

#include "ProcessClock.h"

namespace ferrolink {

namespace {
constexpr uint8_t kClockLow = 0x10;
constexpr uint8_t kClockHigh = 0x30;
constexpr uint32_t kSettlingDelay = 500;
constexpr uint32_t kSettlingMs = 20;
} // namespace

TestModeClockPlan PlanTestModeClock(uint32_t count, uint32_t instruction, uint32_t delay, uint8_t base)
{
    TestModeClockPlan plan;
    for (uint32_t n = 0; n < count; ++n) {
        plan.pulses.push_back(static_cast<uint8_t>(kClockLow + base));
        plan.pulses.push_back(static_cast<uint8_t>(kClockHigh + base));
    }
    if (instruction == 2)
        plan.pulses.push_back(static_cast<uint8_t>(kClockLow + base));
    plan.settle = delay >= kSettlingDelay;
    plan.last = static_cast<uint8_t>((instruction != 0 ? kClockHigh : 0) + base);
    return plan;
}

void SettleTestModeClock()
{
    const uint32_t begin = ProcessClockMs();
    while (ProcessClockMs() - begin <= kSettlingMs) {
    }
}

} // namespace ferrolink
