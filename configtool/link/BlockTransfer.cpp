#include "BlockTransfer.h"

#include "LinkPauses.h"
#include "RegisterImage.h"
#include "SensorLinkState.h"
#include "SensorMailbox.h"
#include "SensorMemoryMap.h"

namespace {

bool IsRead(int operation)
{
    return operation == kMailboxReadEeprom || operation == kMailboxReadRam;
}

void StoreRead(unsigned address, std::uint32_t result)
{
    if (address >= calvista::kRegisterImageCells)
        return;
    const std::uint16_t cell = calvista::ImageIndexForRead(static_cast<std::uint16_t>(address));
    calvista::UpdateBuffers(0, cell, static_cast<std::uint16_t>(result & 0xFF));
}

} // namespace

int TransferBissData(int operation, unsigned start, int count)
{
    PauseLink(0.5);
    for (int done = 0; done < count; ++done) {
        const unsigned address = start + static_cast<unsigned>(done);
        ProcessLinkEvents();
        if (OperateSlaveRegByAddress(address, calvista::ImageByte(address), operation) != 0)
            return g_link.lastError;
        if (IsRead(operation))
            StoreRead(address, MailboxResult());
        if (count > 1)
            ShowLinkProgress(static_cast<int>(static_cast<long long>(done) * 100 / (count - 1)));
    }
    return g_link.lastError;
}
