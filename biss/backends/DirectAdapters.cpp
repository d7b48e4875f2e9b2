// The adapters that reach the master chip directly, the FTDI adapter and the
// parallel port, as the master object drives them beyond single registers:
// the FTDI adapter's free pins and clock, and the test-mode clock pulses.
#include "BissMaster.h"
#include "TestModeClock.h"
#include "ferrolink.h"

namespace ferrolink {

namespace {
constexpr uint32_t kTestModeRegister = 0xF5;
} // namespace

int BissMasterClass::SetZeptorPins(uint32_t direction, uint32_t value)
{
    return ftdi_.SetPins(direction, value, interfaceType_ == eBISS_IF_FTDI);
}

int BissMasterClass::GetZeptorPins(uint32_t *direction, uint32_t *value)
{
    return ftdi_.GetPins(direction, value, interfaceType_ == eBISS_IF_FTDI);
}

int BissMasterClass::SetFtdiFreq(uint32_t a, uint32_t b)
{
    ftdi_.SetClock(a, b);
    return eBISS_NO_ERROR;
}

// The FTDI adapter sends the pulses in one transfer; the other adapters write
// the same register values one by one.
int BissMasterClass::ClockPulses(uint32_t count, uint32_t instruction, uint32_t delay)
{
    if (interfaceType_ == eBISS_IF_FTDI) {
        try {
            ftdi_.ClockPulses(count, instruction, delay);
            return eBISS_NO_ERROR;
        } catch (const FtdiTransferFailed &) {
            return eBISS_USB_CONNECTION;
        }
    }
    const auto base = static_cast<uint8_t>(target_[kTestModeRegister] & 0xFF);
    const TestModeClockPlan plan = PlanTestModeClock(count, instruction, delay, base);
    for (uint8_t value : plan.pulses) {
        const int result = WriteMasterRegister(kTestModeRegister, value);
        if (result != eBISS_NO_ERROR)
            return result;
    }
    if (plan.settle)
        SettleTestModeClock();
    return WriteMasterRegister(kTestModeRegister, plan.last);
}

} // namespace ferrolink
