// Bringing the BiSS line and the slaves into a known state before any traffic.
#include "BissMaster.h"
#include "ProcessClock.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kInstructionRegister = 0xF4;
constexpr uint32_t kStop = 0x80;
constexpr uint32_t kEndOfCycleTimeoutMs = 1000;
constexpr int kUsbStartPasses = 15;

} // namespace

int BissMasterClass::InitBissComm()
{
    GetMasterInfo();
    WriteMasterRegister(kInstructionRegister, kStop);
    if (interfaceType_ == eBISS_IF_DRAVIO_A || interfaceType_ == eBISS_IF_DRAVIO_B)
        return InitBissCommUsb();
    return eBISS_NO_INTERFACE;
}

int BissMasterClass::InitBissCommUsb()
{
    WriteMasterRegister(0xE5, 0x40);
    uint8_t endOfCycle = 0;
    int result = ReadEndOfCycle(&endOfCycle);
    if (result != eBISS_NO_ERROR)
        return result;
    if (!endOfCycle && (result = WriteMasterRegister(kInstructionRegister, kStop)) != eBISS_NO_ERROR)
        return result;

    for (int pass = 0; pass < kUsbStartPasses; ++pass) {
        const int started = UsbStartBiss();
        if (started != eBISS_NO_ERROR) {
            WriteMasterRegister(kInstructionRegister, kStop);
            // The first start-up step may fail on a line that was busy.
            if (pass > 0)
                return started;
        }
        const uint32_t begin = ProcessClockMs();
        for (;;) {
            if ((result = ReadEndOfCycle(&endOfCycle)) != eBISS_NO_ERROR)
                return result;
            if (endOfCycle)
                break;
            if (ProcessClockMs() - begin > kEndOfCycleTimeoutMs) {
                WriteMasterRegister(kInstructionRegister, kStop);
                return eBISS_BISS_COMM_FAILED;
            }
        }
    }
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
