// Master-assisted register transfers of the chip 0x84 behind the FTDI adapter,
// driven through its registers: the bytes travel through its transfer memory.
#include <algorithm>

#include "BissMaster.h"
#include "MasterPoll.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint8_t kAssistedSetup = 0xC0;

} // namespace

int BissMasterClass::ReadSlaveRam(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[])
{
    uint32_t n = *count;
    *count = 0;
    const int result = RunSlaveRamTransfer(slave, address, false, &n, nullptr);
    // The bytes that did arrive are handed out, also after a rejection or a bad bit.
    if (result == eBISS_NO_ERROR || result == eBISS_REGISTER_REJECTED || result == eBISS_REGISTER_COMM_FAILED) {
        const int read = ReadMasterRam(n, data);
        if (read != eBISS_NO_ERROR)
            return read;
        *count = n;
    }
    return result;
}

int BissMasterClass::WriteSlaveRam(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[])
{
    uint32_t n = *count;
    *count = 0;
    const int result = RunSlaveRamTransfer(slave, address, true, &n, data);
    *count = n;
    return result;
}

int BissMasterClass::RunSlaveRamTransfer(uint8_t slave, uint8_t address, bool write, uint32_t *count,
                                         const BISS_U32 data[])
{
    const uint32_t n = *count;
    registerE8Stale_ = 1;
    // Single accesses whose results the transfer's own status makes up for.
    WriteMasterRegister(reg::kAgsDivider, params_.Com(eBISS_CP_FREQ_AGS_REG) & 0xFF);
    if (write)
        for (uint32_t i = 0; i < n; ++i)
            WriteMasterRegister(reg::kRam + i, data[i] & 0xFF);
    WriteMasterRegister(reg::kAccessAddress, (address & 0x7Fu) + (write ? 0x80u : 0u));
    WriteMasterRegister(reg::kAccessCount, n - 1);
    WriteMasterRegister(reg::kChannelSelect, 1);
    WriteMasterRegister(reg::kAccessSetup, slave * 8u + kAssistedSetup);

    *count = 0;
    int result = WriteMasterRegister(reg::kInstruction, instruction::kAssistedTransfer);
    if (result != eBISS_NO_ERROR)
        return result;
    bool expired = false;
    result = PollMaster(
        kMasterWaitMs, [this](uint32_t *value) { return ReadMasterRegister(reg::kInstruction, value); },
        [](uint32_t value) { return value <= 1; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    if (expired) {
        control_.operation = ControlSequenceState::kNone;
        InitBissComm();
        return eBISS_BISS_COMM_FAILED;
    }
    uint32_t statusValue = 0;
    result = PollMaster(
        kMasterWaitMs,
        [&](uint32_t *value) {
            const int read = ReadMasterRegister(reg::kStatus, value);
            statusValue = *value;
            return read;
        },
        [](uint32_t value) { return (value & status::kControlEnded) != 0; }, &expired);
    if (result != eBISS_NO_ERROR)
        return result;
    if (expired)
        return eBISS_REGISTER_REJECTED;
    WriteMasterRegister(reg::kInstruction, instruction::kClear);
    if ((result = ReadMasterRegister(reg::kStatus, &statusValue)) != eBISS_NO_ERROR)
        return result;
    if (status::AllOk(statusValue)) {
        *count = n;
        return eBISS_NO_ERROR;
    }

    const int failure = status::AssistedFailureCode(statusValue);
    uint32_t transferred = 0;
    if ((result = ReadMasterRegister(reg::kControlStatus, &transferred)) != eBISS_NO_ERROR)
        return result;
    *count = std::min<uint32_t>(write ? transferred : transferred & 0x3F, n);
    WriteMasterRegister(reg::kInstruction, instruction::kClear);
    return failure;
}

} // namespace ferrolink
