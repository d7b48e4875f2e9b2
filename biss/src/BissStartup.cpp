// Bringing the BiSS line and the slaves into a known state before any traffic.
#include <array>

#include "BissMaster.h"
#include "ProcessClock.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kInstructionRegister = 0xF4;
constexpr uint32_t kStop = 0x80;
constexpr uint32_t kEndOfCycleTimeoutMs = 1000;
constexpr int kUsbStartPasses = 15;
constexpr int kRegisterStartFrames = 14;
constexpr uint32_t kLineRegister = 0xF8;
constexpr uint32_t kLineHigh = 0x01;
constexpr uint8_t kSingleFrame = 4;
constexpr uint32_t kSettleAfterStopMs = 5;

// Polls the end of the cycle until it is seen or more than 1000 ms have
// passed; a failed read is returned.
int PollEndOfCycle(BissMasterClass &master, bool *ended)
{
    const uint32_t begin = ProcessClockMs();
    for (;;) {
        uint8_t endOfCycle = 0;
        const int result = master.ReadEndOfCycle(&endOfCycle);
        if (result != eBISS_NO_ERROR)
            return result;
        *ended = endOfCycle != 0;
        if (*ended || ProcessClockMs() - begin > kEndOfCycleTimeoutMs)
            return eBISS_NO_ERROR;
    }
}

// One start frame through the master registers: 0 once the cycle has ended
// and the line is high again.
int RunStartFrame(BissMasterClass &master)
{
    master.WriteMasterRegister(kInstructionRegister, kSingleFrame);
    bool ended = false;
    int result = PollEndOfCycle(master, &ended);
    if (result != eBISS_NO_ERROR)
        return result;
    if (!ended) {
        if ((result = master.WriteMasterRegister(kInstructionRegister, kStop)) != eBISS_NO_ERROR)
            return result;
        if ((result = PollEndOfCycle(master, &ended)) != eBISS_NO_ERROR)
            return result;
        return eBISS_BISS_COMM_FAILED;
    }
    const uint32_t begin = ProcessClockMs();
    for (;;) {
        uint32_t line = 0;
        master.ReadMasterRegister(kLineRegister, &line);
        if (line & kLineHigh)
            return eBISS_NO_ERROR;
        if (ProcessClockMs() - begin > kEndOfCycleTimeoutMs)
            return eBISS_BISS_COMM_FAILED;
    }
}

} // namespace

int BissMasterClass::InitBissComm()
{
    GetMasterInfo();
    WriteMasterRegister(kInstructionRegister, kStop);
    if (interfaceType_ == eBISS_IF_DRAVIO_A || interfaceType_ == eBISS_IF_DRAVIO_B)
        return InitBissCommUsb();
    return InitBissCommRegisters();
}

// The parallel port and the FTDI adapter: 14 one-bit SSI frames through the
// master registers, with the caller's frame configuration put back afterwards.
int BissMasterClass::InitBissCommRegisters()
{
    const uint32_t protocol = params_.Com(eBISS_CP_PROTOCOL);
    uint8_t endOfCycle = 0;
    int result = ReadEndOfCycle(&endOfCycle);
    if (result != eBISS_NO_ERROR)
        return result;
    if (!endOfCycle) {
        if ((result = WriteMasterRegister(kInstructionRegister, kStop)) != eBISS_NO_ERROR)
            return result;
        bool ended = false;
        if ((result = PollEndOfCycle(*this, &ended)) != eBISS_NO_ERROR)
            return result;
        if (!ended)
            return eBISS_BISS_COMM_FAILED;
        const uint32_t stopped = ProcessClockMs();
        while (ProcessClockMs() - stopped <= kSettleAfterStopMs) {
        }
    }

    // A slave holding the line low is freed with two clock pulses.
    uint32_t line = 0;
    if ((result = ReadMasterRegister(kLineRegister, &line)) != eBISS_NO_ERROR)
        return result;
    if (!(line & kLineHigh)) {
        if ((result = ClockPulses(2, kSingleFrame, 1)) != eBISS_NO_ERROR)
            return result;
        if ((result = ReadMasterRegister(kLineRegister, &line)) != eBISS_NO_ERROR)
            return result;
        if (!(line & kLineHigh))
            return eBISS_FRAME_FAILED;
        if ((result = ClockPulses(0, 0, 1)) != eBISS_NO_ERROR)
            return result;
    }

    // One channel of one SSI bit, straight into the store: the configured
    // channel count stays the caller's.
    std::array<std::array<uint32_t, 2>, kChannels> saved{};
    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        saved[channel] = {params_.Frame(channel, eBISS_FP_SCD_LENGTH), params_.Frame(channel, eBISS_FP_CRC_POLY)};
        params_.SetFrameParam(channel, eBISS_FP_SCD_LENGTH, 0, BissParamClass::kUserTable);
        params_.SetFrameParam(channel, eBISS_FP_CRC_POLY, 0, BissParamClass::kUserTable);
    }
    params_.SetComParam(eBISS_CP_PROTOCOL, 2);
    params_.SetFrameParam(0, eBISS_FP_SCD_LENGTH, 1, BissParamClass::kUserTable);
    WriteMasterParams(true);

    for (int frame = 0; frame < kRegisterStartFrames && result == eBISS_NO_ERROR; ++frame)
        result = RunStartFrame(*this);

    for (uint32_t channel = 0; channel < kChannels; ++channel) {
        params_.SetFrameParam(channel, eBISS_FP_SCD_LENGTH, saved[channel][0], BissParamClass::kUserTable);
        params_.SetFrameParam(channel, eBISS_FP_CRC_POLY, saved[channel][1], BissParamClass::kUserTable);
    }
    params_.SetComParam(eBISS_CP_PROTOCOL, protocol);
    WriteMasterParams(true);
    return result;
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
