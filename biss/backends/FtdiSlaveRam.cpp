// Slave registers through the master's own transfer (instruction 9) for the
// FTDI adapter on master chip 0x84: the bytes travel through the master's RAM
// at 0x80, up to the register count limit at a time.
#include <algorithm>

#include "BissMaster.h"
#include "ProcessClock.h"
#include "ferrolink.h"

namespace ferrolink {

namespace {

constexpr uint32_t kRam = 0x80;
constexpr uint32_t kRamSize = 64;
constexpr uint32_t kAccessAddress = 0xE2;
constexpr uint32_t kAccessCount = 0xE3;
constexpr uint32_t kAccessChannel = 0xE4;
constexpr uint32_t kAccessSetup = 0xE5;
constexpr uint32_t kAgsDivider = 0xE8;
constexpr uint32_t kStatus = 0xF0;
constexpr uint32_t kTransferred = 0xF3;
constexpr uint32_t kInstruction = 0xF4;
constexpr uint32_t kAssistedTransfer = 9;
constexpr uint32_t kRegisterAccessSetup = 0xC0;
constexpr uint32_t kTimeoutMs = 1000;
constexpr uint32_t kTransferEnded = 0x04;
constexpr uint32_t kAllGood = 0x78;  // status bits 3-6
// A shadow entry no register value can equal.
constexpr uint32_t kUnknownRegister = 0xFFFFFFFF;

} // namespace

int BissMasterClass::ReadSlaveRam(uint32_t slave, uint32_t address, uint32_t *count, uint32_t data[])
{
    return SlaveRamTransfer(slave, address, count, nullptr, data);
}

int BissMasterClass::WriteSlaveRam(uint32_t slave, uint32_t address, uint32_t *count, const uint32_t data[])
{
    return SlaveRamTransfer(slave, address, count, data, nullptr);
}

// A write takes its bytes from source, a read leaves them in target. Every
// register access is checked: a failed adapter transfer ends the call with its code.
int BissMasterClass::SlaveRamTransfer(uint32_t slave, uint32_t address, uint32_t *count, const uint32_t *source,
                                      uint32_t *target)
{
    const bool write = source != nullptr;
    const uint32_t requested = *count;
    *count = 0;
    if (requested == 0 || requested > kRamSize)
        return eBISS_REGCNT_EXCEEDED;

    // The master runs the transfer's frames with its register divider; the
    // data frames' divider must be written again before it is relied on.
    int result = WriteMasterRegister(kAgsDivider, params_.Com(eBISS_CP_FREQ_AGS_REG));
    shadow_[kAgsDivider] = kUnknownRegister;
    if (result != eBISS_NO_ERROR)
        return result;
    for (uint32_t i = 0; write && i < requested; ++i)
        if ((result = WriteMasterRegister(kRam + i, source[i] & 0xFF)) != eBISS_NO_ERROR)
            return result;
    // Register addresses have seven bits; bit 7 of 0xE2 asks for a write.
    const uint32_t request[][2] = {{kAccessAddress, (address & 0x7F) + (write ? 0x80 : 0)},
                                   {kAccessCount, requested - 1},
                                   {kAccessChannel, 1},
                                   {kAccessSetup, slave * 8 + kRegisterAccessSetup},
                                   {kInstruction, kAssistedTransfer}};
    for (const auto &pair : request)
        if ((result = WriteMasterRegister(pair[0], pair[1])) != eBISS_NO_ERROR)
            return result;

    uint32_t value = 0;
    uint32_t begin = ProcessClockMs();
    for (;;) {
        if ((result = ReadMasterRegister(kInstruction, &value)) != eBISS_NO_ERROR)
            return result;
        if (value <= 1)
            break;
        if (ProcessClockMs() - begin > kTimeoutMs) {
            control_.operation = ControlSequenceState::kNone;
            InitBissComm();
            return eBISS_BISS_COMM_FAILED;
        }
    }
    begin = ProcessClockMs();
    for (;;) {
        if ((result = ReadMasterRegister(kStatus, &value)) != eBISS_NO_ERROR)
            return result;
        if (value & kTransferEnded)
            break;
        if (ProcessClockMs() - begin > kTimeoutMs)
            return eBISS_REGISTER_REJECTED;
    }
    if ((result = WriteMasterRegister(kInstruction, 0)) != eBISS_NO_ERROR)
        return result;

    uint32_t status = 0;
    if ((result = ReadMasterRegister(kStatus, &status)) != eBISS_NO_ERROR)
        return result;
    int code = eBISS_NO_ERROR;
    uint32_t transferred = requested;
    if ((status & kAllGood) != kAllGood) {
        if ((status & 0x48) != 0 && (status & 0x28) != 0)
            code = (status & 0x08) ? eBISS_FRAME_FAILED : eBISS_REGISTER_COMM_FAILED;
        else
            code = eBISS_REGISTER_REJECTED;
        if ((result = ReadMasterRegister(kTransferred, &transferred)) != eBISS_NO_ERROR)
            return result;
        if (!write)
            transferred &= 0x3F;
        if ((result = WriteMasterRegister(kInstruction, 0)) != eBISS_NO_ERROR)
            return result;
    }
    // The master's count never makes the caller's buffer larger than it is.
    transferred = std::min(transferred, requested);
    const bool bytesArrived = code != eBISS_FRAME_FAILED;
    for (uint32_t i = 0; !write && bytesArrived && i < transferred; ++i) {
        if ((result = ReadMasterRegister(kRam + i, &value)) != eBISS_NO_ERROR)
            return result;
        target[i] = value;
    }
    *count = transferred;
    return code;
}

} // namespace ferrolink
