// Clock pulses on the BiSS line through the master's test-mode register 0xF5
// ("CLKENI (Test Modes)"): 0x10 switches the test mode on with the clock low,
// 0x30 raises the clock. They free a line that a slave holds low and end an
// SSI write. The values carry the register's configured low bits (the base).
#pragma once

#include <cstdint>
#include <vector>

namespace ferrolink {

struct TestModeClockPlan {
    std::vector<uint8_t> pulses;  // written first, in one go
    bool settle = false;          // wait more than 20 ms before the last write
    uint8_t last = 0;             // the clock's state afterwards
};

// count pulses for instruction i (2 leaves the clock low after the pulses; any
// non-zero instruction leaves it high, 0 leaves the test mode); a delay value
// of 500 or more asks for the settling wait.
TestModeClockPlan PlanTestModeClock(uint32_t count, uint32_t instruction, uint32_t delay, uint8_t base);

// Waits until more than 20 ms have passed by the process clock.
void SettleTestModeClock();

} // namespace ferrolink
