// BiSS commands: a 2-bit command number for the slaves an 8-bit selection
// names. The USB adapter's master runs the command by itself; with the FTDI
// adapter the library sends the command frame one control bit per frame.
#include <string>

#include "BissMaster.h"
#include "MasterPoll.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kInstructionTakenMs = 500;
constexpr uint32_t kCommandTakenMs = 5000;
constexpr uint8_t kCommandSetup = 0x40;   // 0xE5: a command, not a register access
constexpr uint8_t kChipIdRegister = 0xEB;
constexpr uint8_t kAnswerBit = 0x40;      // 0xF3: control bit received in the last frame
constexpr uint32_t kClosingZeros = 14;    // frames at 0 that end any exchange
constexpr uint32_t kUnansweredZeros = 7;
constexpr uint32_t kSelectionBits = 8;

// Instruction of a frame carrying one control bit.
constexpr uint8_t ControlBit(bool one) { return one ? instruction::kControlOne : instruction::kDataFrame; }

} // namespace

int BissMasterClass::SendCommand(uint32_t first, uint32_t second)
{
    switch (interfaceType_) {
    case eBISS_IF_DRAVIO_A:
    case eBISS_IF_DRAVIO_B:
        return SendCommandAssisted(first & 3u, second & 0xFFu);
    case eBISS_IF_FTDI:
        return SendCommandFrame(first, second);
    default:
        return eBISS_NO_INTERFACE;
    }
}

int BissMasterClass::SendCommandAssisted(uint32_t command, uint32_t selection)
{
    registerE8Stale_ = 1;
    const uint8_t addresses[] = {reg::kAccessSetup, reg::kAgsDivider, reg::kRam};
    const uint8_t values[] = {
        static_cast<uint8_t>(kCommandSetup + 16 * (command & 3u) + 2 * params_.Com(eBISS_CP_EN_MO)),
        static_cast<uint8_t>(params_.Com(eBISS_CP_FREQ_AGS_REG)),
        static_cast<uint8_t>(selection),
    };
    uint8_t statusByte = 0;
    int result = UsbWriteRegisters(addresses, values, nullptr, 3, &statusByte);
    if (result != eBISS_NO_ERROR)
        return result;
    if ((result = StartUsbControlTransfer()) != eBISS_NO_ERROR)
        return result;

    uint32_t statusValue = 0;
    if ((result = AwaitUsbControlEnd(kCommandTakenMs, &statusValue)) != eBISS_NO_ERROR)
        return result;
    if (status::AllOk(statusValue))
        return eBISS_NO_ERROR;
    ResetControlSequence();
    WriteMasterRegister(reg::kInstruction, instruction::kRelease);
    return status::AssistedFailureCode(statusValue);
}

int BissMasterClass::SendInstructionFrame(uint8_t instructionValue)
{
    int result = WriteMasterRegister(reg::kInstruction, instructionValue);
    if (result != eBISS_NO_ERROR)
        return result;
    bool expired = false;
    result = PollMaster(
        kInstructionTakenMs, [this](uint32_t *value) { return ReadMasterRegister(reg::kInstruction, value); },
        [](uint32_t value) { return value == 0; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    if (expired)
        return eBISS_BISS_COMM_FAILED;
    result = PollMaster(
        kMasterWaitMs,
        [this](uint32_t *value) {
            uint8_t flag = 0;
            const int read = ReadEndOfCycle(&flag);
            *value = flag;
            return read;
        },
        [](uint32_t flag) { return flag != 0; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    return expired ? eBISS_BISS_COMM_FAILED : eBISS_NO_ERROR;
}

int BissMasterClass::SendCommandFrame(uint32_t selection, uint32_t command)
{
    if (selection > 0xFF || command > 3)
        return eBISS_INVALID_PARAMETER;
    uint32_t chipId = 0;
    int result = ReadMasterRegister(kChipIdRegister, &chipId);
    if (result != eBISS_NO_ERROR)
        return result;
    // The first failing frame ends the command with its code.
    const auto frames = [this](uint8_t instructionValue, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i)
            if (const int code = SendInstructionFrame(instructionValue); code != eBISS_NO_ERROR)
                return code;
        return static_cast<int>(eBISS_NO_ERROR);
    };

    // Quiet line, start bit, CTS = 0 (a command).
    if ((result = frames(instruction::kDataFrame, kClosingZeros)) != eBISS_NO_ERROR ||
        (result = frames(instruction::kControlOne, 1)) != eBISS_NO_ERROR ||
        (result = frames(instruction::kDataFrame, 1)) != eBISS_NO_ERROR)
        return result;
    // The request bits as the CRC sees them: index 10 CTS, 9-2 the selection
    // (bit 0 at index 9), 1-0 the command.
    std::string request(12, '0');
    for (uint32_t i = 0; i < kSelectionBits; ++i) {
        const bool one = ((selection >> i) & 1u) != 0;
        if ((result = frames(ControlBit(one), 1)) != eBISS_NO_ERROR)
            return result;
        request[9 - i] = one ? '1' : '0';
    }
    for (uint32_t bit = 2; bit-- > 0;) {
        const bool one = ((command >> bit) & 1u) != 0;
        if ((result = frames(ControlBit(one), 1)) != eBISS_NO_ERROR)
            return result;
        request[bit] = one ? '1' : '0';
    }
    const std::string crc = ControlCrc(request);
    for (uint32_t k = 4; k-- > 0;)
        if ((result = frames(ControlBit(crc[k] == '0'), 1)) != eBISS_NO_ERROR)
            return result;
    if ((result = frames(instruction::kControlOne, 1)) != eBISS_NO_ERROR)
        return result;

    if (selection == 0) {
        if ((result = frames(instruction::kControlOne, 1)) != eBISS_NO_ERROR)
            return result;
        return frames(instruction::kDataFrame, kClosingZeros);
    }
    // Each selected slave answers in its own frame; an unanswered command is not an error.
    bool answered = true;
    for (uint32_t i = 0; i < kSelectionBits; ++i) {
        if ((result = frames(instruction::kDataFrame, 1)) != eBISS_NO_ERROR)
            return result;
        uint32_t controlStatus = 0;
        if ((result = ReadMasterRegister(reg::kControlStatus, &controlStatus)) != eBISS_NO_ERROR)
            return result;
        if (((selection >> i) & 1u) != 0 && (controlStatus & kAnswerBit) == 0)
            answered = false;
    }
    if (!answered)
        return frames(instruction::kDataFrame, kUnansweredZeros);
    if ((result = frames(instruction::kControlOne, 1)) != eBISS_NO_ERROR)
        return result;
    return frames(instruction::kDataFrame, kClosingZeros);
}

} // namespace ferrolink
