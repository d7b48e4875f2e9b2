// One frame cycle: the master runs a frame on all configured channels, the
// library learns which channels arrived valid and takes their data out of the
// master's data registers.
#include <algorithm>
#include <array>

#include "BissMaster.h"
#include "MasterPoll.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kSlotRegisters = 8;
constexpr uint32_t kMaxSlots = 8;
constexpr uint32_t kBufferSize = kSlotRegisters * kMaxSlots;
constexpr uint8_t kChipControlBitInLine = 0x52;

// How a frame cycle reaches the master.
enum class FrameRoad { UsbAdapter, FtdiAdapter, MasterRegisters };

FrameRoad ChooseFrameRoad(uint32_t interfaceType, bool timeoutsDisabled)
{
    switch (interfaceType) {
    case eBISS_IF_DRAVIO_A:
    case eBISS_IF_DRAVIO_B:
        return FrameRoad::UsbAdapter;
    case eBISS_IF_FTDI:
        // The adapter's one-transfer cycle polls a fixed number of times: no
        // good for a master that may take without limit.
        return timeoutsDisabled ? FrameRoad::MasterRegisters : FrameRoad::FtdiAdapter;
    default:
        return FrameRoad::MasterRegisters;
    }
}

} // namespace

namespace status {

uint32_t ValidChannels(uint32_t channelStatusLow, uint32_t channelStatusHigh)
{
    // Two bits per channel from bit 0 up; the upper one of each pair is the valid flag.
    uint32_t mask = 0;
    for (uint32_t k = 0; k < 4; ++k) {
        mask |= ((channelStatusLow >> (2 * k + 1)) & 1u) << k;
        mask |= ((channelStatusHigh >> (2 * k + 1)) & 1u) << (k + 4);
    }
    return mask;
}

int AssistedFailureCode(uint32_t value)
{
    if ((value & (kAccessDone | kAnswered)) == 0 || (value & (kAccessDone | kAccepted)) == 0)
        return eBISS_REGISTER_REJECTED;
    return (value & kAccessDone) != 0 ? eBISS_FRAME_FAILED : eBISS_REGISTER_COMM_FAILED;
}

} // namespace status

uint32_t BissMasterClass::SlotCount() const
{
    const uint32_t slots = configuredChannels_ + (splitSlot_ >= 0 ? 1 : 0);
    // Eight channels and a split slot would need a ninth slot the master does not have.
    return std::min(slots, kMaxSlots);
}

int BissMasterClass::RunFrameCycle(BISS_U32 high[], BISS_U32 low[], BISS_U32 *crcOkMask, uint8_t instruction,
                                   BISS_U32 *controlBit, bool *delivered)
{
    bool arrived = false;
    if (delivered != nullptr)
        *delivered = false;
    if (configuredChannels_ == 0)
        return eBISS_FRAME_FAILED;
    const uint32_t slots = SlotCount();
    std::array<uint8_t, kBufferSize> buffer{};
    BISS_U32 mask = 0;
    int result = eBISS_NO_ERROR;

    switch (ChooseFrameRoad(interfaceType_, params_.Com(eBISS_CP_DISABLE_TIMEOUT) != 0)) {
    case FrameRoad::UsbAdapter: {
        uint8_t statusByte = 0;
        result = UsbFrameCycle(slots, buffer.data(), &statusByte, &mask, instruction);
        // With an SSI write running the adapter reads no data.
        arrived = (result == eBISS_NO_ERROR || result == eBISS_FRAME_FAILED) && params_.Com(eBISS_CP_SSI_WRITE) == 0;
        if (arrived && controlBit != nullptr) {
            uint32_t line = 0;
            const int read = ReadMasterRegister(reg::kLine, &line);
            if (read != eBISS_NO_ERROR)
                return read;
            *controlBit = (line >> 1) & 1u;
        }
        break;
    }
    case FrameRoad::FtdiAdapter: {
        uint32_t validBits = 0, bit = 0;
        result = ftdi_.FrameCycle(buffer.data(), &validBits, slots, params_.Com(eBISS_CP_FREQ_SCD), instruction,
                                  params_.Com(eBISS_CP_SSI_WRITE), params_.Com(eBISS_CP_SSI_WRITE_TIMEOUT), &bit,
                                  chipId_, &arrived);
        mask = validBits;
        if (controlBit != nullptr)
            *controlBit = bit;
        break;
    }
    case FrameRoad::MasterRegisters:
        result = RunFrameCycleThroughRegisters(slots, buffer.data(), &mask, instruction, controlBit, &arrived);
        break;
    }
    if (crcOkMask != nullptr)
        *crcOkMask = mask;
    // A frame with invalid channels still hands out the valid ones.
    if (!arrived)
        return result;

    DecodeScdRegisters(buffer.data(), mask);
    for (uint32_t slot = 0; slot < slots; ++slot) {
        high[slot] = scdValues_[slot].GetHigh();
        low[slot] = scdValues_[slot].GetLow();
    }
    if (delivered != nullptr)
        *delivered = true;
    return result;
}

int BissMasterClass::RunFrameCycleThroughRegisters(uint32_t slots, uint8_t *buffer, BISS_U32 *crcOkMask,
                                                   uint8_t instruction, BISS_U32 *controlBit, bool *delivered)
{
    *delivered = false;
    const uint32_t limit = params_.Com(eBISS_CP_DISABLE_TIMEOUT) != 0 ? 0 : kMasterWaitMs;
    bool expired = false;
    const auto readEndOfCycle = [this](uint32_t *value) {
        uint8_t flag = 0;
        const int result = ReadEndOfCycle(&flag);
        *value = flag;
        return result;
    };
    const auto readRegister = [this](uint8_t address) {
        return [this, address](uint32_t *value) { return ReadMasterRegister(address, value); };
    };

    // A cycle still running is stopped first.
    uint32_t endOfCycle = 0;
    int result = readEndOfCycle(&endOfCycle);
    if (result != eBISS_NO_ERROR)
        return result;
    if (!endOfCycle) {
        WriteMasterRegister(reg::kInstruction, instruction::kStop);
        result = PollMaster(kMasterWaitMs, readEndOfCycle, [](uint32_t flag) { return flag != 0; }, &expired);
        if (result != eBISS_NO_ERROR)
            return result;
        if (expired)
            return eBISS_BISS_COMM_FAILED;
    }

    // The master did not take the instruction or did not end the cycle in time.
    const auto hung = [this] {
        InitBissComm();
        return static_cast<int>(eBISS_BISS_COMM_FAILED);
    };
    if ((result = WriteMasterRegister(reg::kInstruction, instruction)) != eBISS_NO_ERROR)
        return result;
    result = PollMaster(limit, readRegister(reg::kInstruction), [](uint32_t value) { return value == 0; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    if (expired)
        return hung();
    uint32_t statusValue = 0;
    result = PollMaster(
        limit,
        [&](uint32_t *value) {
            const int read = ReadMasterRegister(reg::kStatus, value);
            statusValue = *value;
            return read;
        },
        [](uint32_t value) { return (value & status::kEndOfCycle) != 0; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    // An ended cycle without the slaves' answer is a hung line as well.
    if (expired || (statusValue & status::kAnswered) == 0)
        return hung();

    int frameResult = eBISS_NO_ERROR;
    if ((statusValue & status::kAllValid) != 0) {
        *crcOkMask = 0xFF;
    } else {
        uint32_t lowPairs = 0, highPairs = 0;
        if ((result = ReadMasterRegister(reg::kChannelStatusLow, &lowPairs)) != eBISS_NO_ERROR ||
            (result = ReadMasterRegister(reg::kChannelStatusHigh, &highPairs)) != eBISS_NO_ERROR)
            return result;
        *crcOkMask = status::ValidChannels(lowPairs, highPairs);
        frameResult = eBISS_FRAME_FAILED;
    }
    // The error flag fails the whole frame: no channel's data can be called good.
    if ((statusValue & status::kAccepted) == 0 && (statusValue & status::kErrorFlag) != 0) {
        *crcOkMask = 0;
        frameResult = eBISS_FRAME_FAILED;
    }

    for (uint32_t address = 0; address < kSlotRegisters * slots; ++address) {
        uint32_t value = 0;
        if ((result = ReadMasterRegister(reg::kScdData + address, &value)) != eBISS_NO_ERROR)
            return result;
        buffer[address] = static_cast<uint8_t>(value);
    }
    if (controlBit != nullptr) {
        uint32_t value = 0;
        if (chipId_ == kChipControlBitInLine) {
            result = ReadMasterRegister(reg::kLine, &value);
            *controlBit = (value >> 1) & 1u;
        } else {
            result = ReadMasterRegister(reg::kControlStatus, &value);
            *controlBit = (value >> 6) & 1u;
        }
        if (result != eBISS_NO_ERROR)
            return result;
    }
    *delivered = true;
    return frameResult;
}

void BissMasterClass::DecodeScdRegisters(const uint8_t *buffer, uint32_t crcOkMask)
{
    const uint32_t slots = SlotCount();
    for (uint32_t slot = 0; slot < slots; ++slot) {
        uint64_t value = 0;
        const bool invalid = slot < configuredChannels_ && (crcOkMask & (1u << slot)) == 0;
        if (!invalid) {
            const bool isSplitSlot = splitSlot_ >= 0 && slot == static_cast<uint32_t>(splitSlot_);
            const bool beforeSplitSlot = splitSlot_ >= 0 && slot + 1 == static_cast<uint32_t>(splitSlot_);
            uint32_t length = 0;
            if (isSplitSlot) {
                length = splitCrcLength_;
            } else {
                const uint32_t scdLength = params_.Frame(slot, eBISS_FP_SCD_LENGTH);
                const uint32_t poly = params_.Frame(slot, eBISS_FP_CRC_POLY);
                const uint32_t start = params_.Frame(slot, eBISS_FP_CRC_START);
                // The master keeps the CRC bits when it checks them itself, or puts them into the split slot.
                const bool masterTakesCrc = (start == 0 && poly >= 1 && poly <= 255) || (poly != 0 && beforeSplitSlot);
                const uint32_t crcBits = masterTakesCrc ? CrcLength(poly) : 0;
                length = scdLength > crcBits ? scdLength - crcBits : 0;
            }
            length = std::min(length, 64u);
            const uint8_t *registers = buffer + kSlotRegisters * slot;
            const uint32_t wholeBytes = length / 8;
            for (uint32_t j = 0; j < wholeBytes; ++j)
                value |= static_cast<uint64_t>(registers[j]) << (8 * j);
            if (const uint32_t rest = length % 8; rest != 0)
                value |= static_cast<uint64_t>(registers[wholeBytes] & ((1u << rest) - 1)) << (8 * wholeBytes);
        }
        scdValues_[slot].Set(static_cast<uint32_t>(value >> 32), static_cast<uint32_t>(value));
    }
}

} // namespace ferrolink
