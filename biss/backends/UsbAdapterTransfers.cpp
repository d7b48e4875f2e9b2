// The USB adapter's larger requests: a frame started and its single-cycle data
// read back in one request, and register transfers over the control channel
// that the master runs by itself.
#include <algorithm>
#include <array>
#include <vector>

#include "BissMaster.h"
#include "DravioStatus.h"
#include "MasterPoll.h"
#include "MasterRegisterMap.h"
#include "UsbAdapterFrames.h"
#include "ferrolink.h"

namespace ferrolink {

using namespace usbadapter;

namespace {

constexpr DWORD kTransferTimeoutMs = 100;
constexpr DWORD kSsiWriteAnswerMs = 1;
constexpr uint32_t kWriteEndMs = 5000;
constexpr uint32_t kSlotRegisters = 8;
constexpr uint8_t kSsiProtocolFields = 2;  // channel 0 in SSI
constexpr uint8_t kAssistedSetup = 0xC0;

// Read-back of the instruction register in a response: 0 once the frame has ended.
constexpr uint32_t kInstructionValueOffset = kFirstPairOffset + 1;

// 0xE5 of a mode 0 transfer: register access, the slave's id, the EN_MO bit.
uint8_t AssistedSetup(uint8_t slave, uint32_t enMo)
{
    return static_cast<uint8_t>(kAssistedSetup | ((slave & 7u) << 3) | ((enMo & 1u) << 1));
}

int FailedRead(DWORD status)
{
    return status == dravio::DRAVIO_ERR_TIMEOUT ? eBISS_BISS_COMM_FAILED : eBISS_MASTER_COMM_FAILED;
}

} // namespace

int BissMasterClass::UsbFrameCycle(uint32_t slots, uint8_t *scd, uint8_t *statusOut, BISS_U32 *validBits,
                                   uint8_t instructionValue)
{
    const bool ssiWrite = params_.Com(eBISS_CP_SSI_WRITE) != 0;
    std::array<uint32_t, kChannels> bytes{};
    std::vector<RegisterPair> pairs;
    std::vector<uint8_t> response;
    if (ssiWrite) {
        // Channel 0 runs in SSI and the master is stopped; no data are read back.
        const RegisterPair setup[] = {{reg::kProtocolLow, kSsiProtocolFields}, {reg::kInstruction, instruction::kStop}};
        if (UsbSend(BuildRequest(kWriteRegisters, UsbOptions(), setup, 2)) == eBISS_NO_ERROR)
            UsbReceive(&response, kSsiWriteAnswerMs);
        if (instructionValue == instruction::kControlStart)
            instructionValue = instruction::kDataFrame;
    } else {
        for (uint32_t k = 0; k < slots && k < kChannels; ++k) {
            const uint32_t length = params_.Frame(k, eBISS_FP_SCD_LENGTH);
            const uint32_t poly = params_.Frame(k, eBISS_FP_CRC_POLY);
            uint32_t dataBits = 0;
            if (length != 0) {
                const uint32_t masterCrc =
                    params_.Frame(k, eBISS_FP_CRC_START) == 0 && poly < 256 ? CrcLength(poly) : 0;
                dataBits = length > masterCrc ? length - masterCrc : 0;
            } else if (splitSlot_ >= 0 && k == static_cast<uint32_t>(splitSlot_)) {
                dataBits = splitCrcLength_;
            }
            // A slot without data still takes one byte.
            bytes[k] = std::min(dataBits / 8 + 1, kSlotRegisters);
        }
    }
    pairs.push_back({reg::kInstruction, instructionValue});
    for (uint32_t k = 0; k < slots && k < kChannels; ++k)
        for (uint32_t j = 0; j < bytes[k]; ++j)
            pairs.push_back({static_cast<uint8_t>(kSlotRegisters * k + j), 0});

    if (UsbSend(BuildRequest(kWriteRegisters, UsbOptions(), pairs.data(), static_cast<uint32_t>(pairs.size()))) !=
        eBISS_NO_ERROR)
        return eBISS_MASTER_COMM_FAILED;
    DWORD read = UsbReceiveEcho(reg::kInstruction, &response, kTransferTimeoutMs);
    if (read != dravio::DRAVIO_STATUS_SUCCESS)
        return FailedRead(read);
    if (response.size() <= kInstructionValueOffset)
        return eBISS_MASTER_COMM_FAILED;
    // The adapter answers at once when the frame outlasts its patience, and again at the end.
    if ((response[kStatusOffset] & kStatusTransferEnded) == 0 || response[kInstructionValueOffset] != 0) {
        read = UsbReceive(&response, kTransferTimeoutMs);
        if (read == dravio::DRAVIO_ERR_TIMEOUT) {
            InitBissComm();
            return eBISS_BISS_COMM_FAILED;
        }
        if (read != dravio::DRAVIO_STATUS_SUCCESS)
            return eBISS_MASTER_COMM_FAILED;
    }
    if (response.size() < 2 * pairs.size() + 8)
        return eBISS_MASTER_COMM_FAILED;
    *statusOut = response[kStatusOffset];
    if (ssiWrite)
        return eBISS_NO_ERROR;

    int result = eBISS_NO_ERROR;
    if (NoErrorBits(*statusOut)) {
        *validBits = 0xFF;
    } else {
        const uint8_t addresses[] = {reg::kChannelStatusLow, reg::kChannelStatusHigh};
        uint8_t values[2] = {};
        uint8_t statusByte = 0;
        if ((result = UsbReadRegistersSplit(addresses, values, 2, &statusByte)) != eBISS_NO_ERROR)
            return result;
        *validBits = status::ValidChannels(values[0], values[1]);
        result = eBISS_FRAME_FAILED;
    }
    // The values follow the instruction register's pair, in the order they were asked for.
    size_t next = kInstructionValueOffset + 2;
    for (uint32_t k = 0; k < slots && k < kChannels; ++k) {
        for (uint32_t j = 0; j < kSlotRegisters; ++j) {
            uint8_t value = 0;
            if (j < bytes[k]) {
                value = response[next];
                next += 2;
            }
            scd[kSlotRegisters * k + j] = value;
        }
    }
    return result;
}

int BissMasterClass::UsbReadSlaveRegisters(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 values[])
{
    uint32_t n = *count;
    *count = 0;
    const uint8_t setup = AssistedSetup(slave, params_.Com(eBISS_CP_EN_MO));
    registerE8Stale_ = 1;
    const uint8_t addresses[] = {reg::kAccessAddress, reg::kAccessCount, reg::kChannelSelect, reg::kAccessSetup,
                                 reg::kAgsDivider};
    const uint8_t request[] = {static_cast<uint8_t>(address & 0x7F), static_cast<uint8_t>(n - 1), 1, setup,
                               static_cast<uint8_t>(params_.Com(eBISS_CP_FREQ_AGS_REG) & 0xFF)};
    uint8_t statusByte = 0;
    int result = UsbWriteRegisters(addresses, request, nullptr, 5, &statusByte);
    if (result != eBISS_NO_ERROR)
        return result;
    if ((result = StartUsbControlTransfer()) != eBISS_NO_ERROR)
        return result;

    // The access has ended when the instruction register falls to 0 or 1 with status bit 2 set.
    const uint32_t begin = ProcessClockMs();
    for (;;) {
        const uint8_t instructionRegister = reg::kInstruction;
        uint8_t value = 0;
        const int read = UsbReadRegistersSplit(&instructionRegister, &value, 1, &statusByte);
        if (read == eBISS_NO_ERROR && value <= 1 && (statusByte & kStatusControlEnded) != 0)
            break;
        if (read != eBISS_NO_ERROR || ProcessClockMs() - begin > kMasterWaitMs) {
            UsbSetInstruction(0, true);
            ResetControlSequence();
            return eBISS_BISS_COMM_FAILED;
        }
    }
    UsbSetInstruction(0, false);

    int code = eBISS_NO_ERROR;
    if (!NoErrorBits(statusByte)) {
        code = status::AssistedFailureCode(statusByte);
        uint32_t transferred = 0;
        if ((result = ReadMasterRegister(reg::kControlStatus, &transferred)) != eBISS_NO_ERROR)
            return result;
        // The master's count is never trusted beyond what was asked for.
        n = std::min<uint32_t>(transferred & 0x3F, n);
        ResetControlSequence();
        WriteMasterRegister(reg::kInstruction, instruction::kRelease);
    }
    if (n != 0) {
        if ((result = ReadMasterRam(n, values)) != eBISS_NO_ERROR)
            return result;
        *count = n;
    }
    return code;
}

int BissMasterClass::UsbWriteSlaveRegisters(uint8_t slave, uint8_t address, BISS_U32 *count,
                                            const BISS_U32 values[])
{
    const uint32_t n = *count;
    *count = 0;
    const uint8_t setup = AssistedSetup(slave, params_.Com(eBISS_CP_EN_MO));
    registerE8Stale_ = 1;
    std::vector<uint8_t> addresses = {reg::kAccessAddress, reg::kAccessCount, reg::kChannelSelect, reg::kAccessSetup,
                                      reg::kAgsDivider};
    std::vector<uint8_t> request = {static_cast<uint8_t>((address & 0x7F) | 0x80), static_cast<uint8_t>(n - 1), 1,
                                    setup, static_cast<uint8_t>(params_.Com(eBISS_CP_FREQ_AGS_REG) & 0xFF)};
    for (uint32_t i = 0; i < n; ++i) {
        addresses.push_back(static_cast<uint8_t>(reg::kRam + i));
        request.push_back(static_cast<uint8_t>(values[i] & 0xFF));
    }
    uint8_t statusByte = 0;
    int result = UsbWriteRegisters(addresses.data(), request.data(), nullptr, static_cast<uint32_t>(addresses.size()),
                                   &statusByte);
    if (result != eBISS_NO_ERROR)
        return result;
    if ((result = StartUsbControlTransfer()) != eBISS_NO_ERROR)
        return result;

    uint32_t statusValue = 0;
    if ((result = AwaitUsbControlEnd(kWriteEndMs, &statusValue)) != eBISS_NO_ERROR)
        return result;
    if (NoErrorBits(static_cast<uint8_t>(statusValue))) {
        *count = n;
        return eBISS_NO_ERROR;
    }
    const int code = status::AssistedFailureCode(statusValue);
    uint32_t transferred = 0;
    if ((result = ReadMasterRegister(reg::kControlStatus, &transferred)) != eBISS_NO_ERROR)
        return result;
    *count = std::min<uint32_t>(transferred & 0x3F, n);
    ResetControlSequence();
    WriteMasterRegister(reg::kInstruction, instruction::kRelease);
    return code;
}

int BissMasterClass::StartUsbControlTransfer()
{
    const int result = WriteMasterRegister(reg::kInstruction, instruction::kAssistedTransfer);
    if (result != eBISS_NO_ERROR) {
        UsbSetInstruction(0, true);
        ResetControlSequence();
    }
    return result;
}

int BissMasterClass::AwaitUsbControlEnd(uint32_t takenLimitMs, uint32_t *statusValue)
{
    // The master takes the access (0xF4 falls to 0 or 1), then reports its end in status bit 2.
    bool expired = false;
    int result = PollMaster(
        takenLimitMs, [this](uint32_t *value) { return ReadMasterRegister(reg::kInstruction, value); },
        [](uint32_t value) { return value <= 1; }, &expired);
    if (result != eBISS_NO_ERROR || expired) {
        UsbSetInstruction(0, true);
        ResetControlSequence();
        return eBISS_BISS_COMM_FAILED;
    }
    result = PollMaster(
        kMasterWaitMs,
        [&](uint32_t *value) {
            const int read = ReadMasterRegister(reg::kStatus, value);
            *statusValue = *value;
            return read;
        },
        [](uint32_t value) { return (value & kStatusControlEnded) != 0; }, &expired);
    if (result != eBISS_NO_ERROR || expired) {
        ResetControlSequence();
        UsbSetInstruction(0, true);
        WriteMasterRegister(reg::kInstruction, instruction::kRelease);
        return eBISS_REGISTER_REJECTED;
    }
    UsbSetInstruction(0, false);
    return eBISS_NO_ERROR;
}

} // namespace ferrolink
