// Reading and writing slave registers: the checks every access makes, and
// mode 1, where the master chip runs the access by itself.
#include <algorithm>
#include <array>

#include "BissMaster.h"
#include "MasterPoll.h"
#include "MasterRegisterMap.h"
#include "ferrolink.h"

namespace ferrolink {
namespace {

constexpr uint32_t kSlaves = 8;
constexpr uint32_t kAddressLimit = 256;
// Slave register addresses travel in 7 bits.
constexpr uint32_t kSlaveRegisters = 128;

bool IsUsbAdapter(uint32_t type) { return type == eBISS_IF_DRAVIO_A || type == eBISS_IF_DRAVIO_B; }

int CheckAccess(uint32_t mode, uint32_t slave, uint32_t address, const BISS_U32 *count, const void *data)
{
    if (count == nullptr || data == nullptr)
        return eBISS_INVALID_PARAMETER;
    if (slave >= kSlaves)
        return eBISS_INVALID_PARAMETER;
    if (address >= kAddressLimit)
        return eBISS_ADDRESS_RANGE;
    if (*count == 0)
        return eBISS_REGCNT_EXCEEDED;
    if (address + *count > kSlaveRegisters)
        return eBISS_ADDRESS_RANGE;
    if (mode > 1)
        return eBISS_INVALID_PARAMETER;
    return eBISS_NO_ERROR;
}

int CheckAccess(uint32_t interfaceType, uint32_t mode, uint32_t slave, uint32_t address, const BISS_U32 *count,
                const void *data)
{
    const int refused = CheckAccess(mode, slave, address, count, data);
    if (refused != eBISS_NO_ERROR)
        return refused;
    // Without an adapter the master's limits are not even known.
    return interfaceType == eBISS_IF_NONE ? eBISS_NO_INTERFACE : eBISS_NO_ERROR;
}

} // namespace

int BissMasterClass::ReadSlaveRegister(uint32_t mode, uint32_t slave, uint32_t address, BISS_U32 *count,
                                       BISS_U32 data[])
{
    if (const int refused = CheckAccess(interfaceType_, mode, slave, address, count, data); refused != eBISS_NO_ERROR) {
        if (count != nullptr)
            *count = 0;
        return refused;
    }
    const auto slaveId = static_cast<uint8_t>(slave);
    const auto start = static_cast<uint8_t>(address);
    return mode == 1 ? ReadSlaveAssisted(slaveId, start, count, data) : ReadSlaveControl(slaveId, start, count, data);
}

int BissMasterClass::WriteSlaveRegister(uint32_t mode, uint32_t slave, uint32_t address, BISS_U32 *count,
                                        const BISS_U32 data[])
{
    if (const int refused = CheckAccess(interfaceType_, mode, slave, address, count, data); refused != eBISS_NO_ERROR) {
        if (count != nullptr)
            *count = 0;
        return refused;
    }
    const auto slaveId = static_cast<uint8_t>(slave);
    const auto start = static_cast<uint8_t>(address);
    return mode == 1 ? WriteSlaveAssisted(slaveId, start, count, data)
                     : WriteSlaveControl(slaveId, start, count, data);
}

int BissMasterClass::ReadSlaveAssisted(uint8_t slave, uint8_t address, BISS_U32 *count, BISS_U32 data[])
{
    const uint32_t n = *count;
    *count = 0;
    if (n > GetMasterInfo().maxRegCount)
        return eBISS_REGCNT_EXCEEDED;
    const auto lastIndex = static_cast<uint8_t>((n - 1) & 0x7F);
    const auto setup = static_cast<uint8_t>(slave * 8 + 2 * (params_.Com(eBISS_CP_EN_MO) & 1));
    const auto regAddress = static_cast<uint8_t>(address & 0x7F);
    uint32_t statusValue = 0;
    int result;

    if (IsUsbAdapter(interfaceType_)) {
        const uint8_t addresses[] = {reg::kAccessCount, reg::kAccessAddress, reg::kAccessSetup, reg::kChannelSelect};
        const uint8_t values[] = {lastIndex, regAddress, setup, 1};
        uint8_t statusByte = 0;
        if ((result = UsbWriteRegisters(addresses, values, nullptr, 4, &statusByte)) != eBISS_NO_ERROR)
            return result;
        const uint8_t instructionRegister = reg::kInstruction;
        const uint8_t start = instruction::kAssistedAccess;
        if ((result = UsbWriteRegisters(&instructionRegister, &start, nullptr, 1, &statusByte)) != eBISS_NO_ERROR)
            return result;
        statusValue = statusByte;
    } else {
        if ((result = WriteMasterRegister(reg::kAccessCount, lastIndex)) != eBISS_NO_ERROR ||
            (result = StopAtEndOfCycle()) != eBISS_NO_ERROR ||
            (result = WriteMasterRegister(reg::kAccessAddress, regAddress)) != eBISS_NO_ERROR ||
            (result = WriteMasterRegister(reg::kAccessSetup, setup)) != eBISS_NO_ERROR ||
            (result = WriteMasterRegister(reg::kChannelSelect, 1)) != eBISS_NO_ERROR ||
            (result = WriteMasterRegister(reg::kInstruction, instruction::kAssistedAccess)) != eBISS_NO_ERROR)
            return result;
        bool expired = false;
        result = PollMaster(
            kMasterWaitMs, [this](uint32_t *value) { return ReadMasterRegister(reg::kInstruction, value); },
            [](uint32_t value) { return value == 0; }, &expired);
        if (result != eBISS_NO_ERROR)
            return result;
        if (expired) {
            InitBissComm();
            return eBISS_BISS_COMM_FAILED;
        }
        if ((result = WaitForEndOfCycle(&expired)) != eBISS_NO_ERROR)
            return result;
        if (expired) {
            WriteMasterRegister(reg::kInstruction, instruction::kStop);
            WriteMasterRegister(reg::kAccessCount, 0);
            return eBISS_BISS_COMM_FAILED;
        }
        if ((result = ReadMasterRegister(reg::kStatus, &statusValue)) != eBISS_NO_ERROR)
            return result;
    }

    if ((statusValue & (status::kAnswered | status::kAccessDone)) == 0) {
        // Rejected part-way: hand out what did arrive.
        uint32_t transferred = 0;
        if ((result = WriteMasterRegister(reg::kInstruction, instruction::kRelease)) != eBISS_NO_ERROR ||
            (result = ReadMasterRegister(reg::kControlStatus, &transferred)) != eBISS_NO_ERROR)
            return result;
        const uint32_t received = std::min<uint32_t>(transferred & 0x1F, n);
        if ((result = ReadMasterRam(received, data)) != eBISS_NO_ERROR)
            return result;
        *count = received;
        return eBISS_REGISTER_REJECTED;
    }
    if ((statusValue & status::kAccessDone) == 0) {
        WriteMasterRegister(reg::kInstruction, instruction::kRelease);
        return eBISS_REGISTER_REJECTED;
    }
    if ((result = ReadMasterRam(n, data)) != eBISS_NO_ERROR)
        return result;
    *count = n;
    return n > 1 ? WriteMasterRegister(reg::kAccessCount, 0) : eBISS_NO_ERROR;
}

int BissMasterClass::WriteSlaveAssisted(uint8_t slave, uint8_t address, BISS_U32 *count, const BISS_U32 data[])
{
    const uint32_t n = *count;
    *count = 0;
    if (n > GetMasterInfo().maxRegCount)
        return eBISS_REGCNT_EXCEEDED;
    int result;
    if ((result = WriteMasterRegister(reg::kAccessCount, (n - 1) & 0x7F)) != eBISS_NO_ERROR ||
        (result = StopAtEndOfCycle()) != eBISS_NO_ERROR ||
        (result = WriteMasterRegister(reg::kAccessAddress, (address & 0x7Fu) + 0x80)) != eBISS_NO_ERROR ||
        (result = WriteMasterRegister(reg::kAccessSetup, slave * 8u)) != eBISS_NO_ERROR ||
        (result = WriteMasterRegister(reg::kChannelSelect, 0)) != eBISS_NO_ERROR)
        return result;
    for (uint32_t i = 0; i < n; ++i)
        if ((result = WriteMasterRegister(reg::kRam + i, data[i] & 0xFF)) != eBISS_NO_ERROR)
            return result;

    // The parallel port's first two wirings must see the instruction register busy once.
    const bool mustSeeBusy = interfaceType_ == eBISS_IF_LPT_1 || interfaceType_ == eBISS_IF_LPT_2;
    bool seenBusy = false;
    const auto start = [&] {
        int started = WriteMasterRegister(reg::kInstruction, instruction::kAssistedAccess);
        if (started != eBISS_NO_ERROR)
            return started;
        bool expired = false;
        started = PollMaster(
            kMasterWaitMs,
            [&](uint32_t *value) {
                const int read = ReadMasterRegister(reg::kInstruction, value);
                seenBusy = seenBusy || (read == eBISS_NO_ERROR && *value != 0);
                return read;
            },
            [](uint32_t value) { return value == 0; }, &expired);
        if (started == eBISS_NO_ERROR && expired)
            return static_cast<int>(eBISS_BISS_COMM_FAILED);
        return started;
    };
    if ((result = start()) != eBISS_NO_ERROR)
        return result;
    if (mustSeeBusy && !seenBusy) {
        if ((result = start()) != eBISS_NO_ERROR)
            return result;
        if (!seenBusy)
            return eBISS_FRAME_FAILED;
    }

    bool expired = false;
    if ((result = WaitForEndOfCycle(&expired)) != eBISS_NO_ERROR)
        return result;
    if (expired) {
        WriteMasterRegister(reg::kInstruction, instruction::kStop);
        if (n > 1)
            WriteMasterRegister(reg::kAccessCount, 0);
        return eBISS_BISS_COMM_FAILED;
    }
    uint32_t statusValue = 0;
    if ((result = ReadMasterRegister(reg::kStatus, &statusValue)) != eBISS_NO_ERROR)
        return result;
    if ((statusValue & status::kAccessDone) != 0) {
        *count = n;
        return n > 1 ? WriteMasterRegister(reg::kAccessCount, 0) : eBISS_NO_ERROR;
    }
    if ((statusValue & status::kAnswered) == 0) {
        uint32_t transferred = 0;
        if ((result = ReadMasterRegister(reg::kControlStatus, &transferred)) != eBISS_NO_ERROR)
            return result;
        *count = std::min<uint32_t>(transferred & 0x3F, n);
    }
    return eBISS_REGISTER_REJECTED;
}

int BissMasterClass::ReadMasterRam(uint32_t count, BISS_U32 data[])
{
    if (count == 0)
        return eBISS_NO_ERROR;
    if (IsUsbAdapter(interfaceType_)) {
        std::array<uint8_t, 128> addresses{}, values{};
        for (uint32_t i = 0; i < count; ++i)
            addresses[i] = static_cast<uint8_t>(reg::kRam + i);
        uint8_t statusByte = 0;
        const int result = UsbReadRegistersSplit(addresses.data(), values.data(), count, &statusByte);
        if (result != eBISS_NO_ERROR)
            return result;
        for (uint32_t i = 0; i < count; ++i)
            data[i] = values[i];
        return eBISS_NO_ERROR;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t value = 0;
        const int result = ReadMasterRegister(reg::kRam + i, &value);
        if (result != eBISS_NO_ERROR)
            return result;
        data[i] = value;
    }
    return eBISS_NO_ERROR;
}

int BissMasterClass::StopAtEndOfCycle()
{
    uint8_t endOfCycle = 0;
    int result = ReadEndOfCycle(&endOfCycle);
    if (result != eBISS_NO_ERROR || endOfCycle)
        return result;
    if ((result = WriteMasterRegister(reg::kInstruction, instruction::kStop)) != eBISS_NO_ERROR)
        return result;
    bool expired = false;
    if ((result = WaitForEndOfCycle(&expired)) != eBISS_NO_ERROR)
        return result;
    return expired ? eBISS_BISS_COMM_FAILED : eBISS_NO_ERROR;
}

int BissMasterClass::WaitForEndOfCycle(bool *expired)
{
    return PollMaster(
        kMasterWaitMs,
        [this](uint32_t *value) {
            uint8_t flag = 0;
            const int result = ReadEndOfCycle(&flag);
            *value = flag;
            return result;
        },
        [](uint32_t flag) { return flag != 0; }, expired);
}

} // namespace ferrolink
