#include "UsbStreamReads.h"

#include "DravioStatus.h"

namespace ferrolink {

UsbStreamReads::UsbStreamReads(dravio::CDravioPipe &pipe, uint8_t *block, DWORD packetSize)
    : pipe_(pipe), block_(block), packetSize_(packetSize)
{
}

UsbStreamReads::~UsbStreamReads()
{
    CancelPending();
}

bool UsbStreamReads::InFlight(const std::optional<dravio::CDravioBuffer> &slot)
{
    return slot.has_value() && slot->status == dravio::DRAVIO_STATUS_PENDING;
}

bool UsbStreamReads::Submit(uint32_t packet)
{
    std::optional<dravio::CDravioBuffer> &slot = SlotOf(packet);
    if (InFlight(slot))
        return false;
    slot.emplace(block_ + static_cast<size_t>(packet) * packetSize_, packetSize_);
    slot->bytesToTransfer = packetSize_;
    return pipe_.Read(*slot);
}

DWORD UsbStreamReads::Wait(uint32_t packet, DWORD timeoutMs, DWORD *transferred)
{
    *transferred = 0;
    std::optional<dravio::CDravioBuffer> &slot = SlotOf(packet);
    if (!slot.has_value())
        return dravio::DRAVIO_ERR_INVALID_PARAMETER;
    const DWORD status = pipe_.WaitForCompletion(*slot, timeoutMs);
    *transferred = slot->bytesTransferred;
    return status;
}

void UsbStreamReads::CancelPending()
{
    bool any = false;
    for (const auto &slot : slots_)
        any = any || InFlight(slot);
    if (!any)
        return;
    // The driver owns the memory and the events until each read has completed.
    pipe_.CancelIo();
    for (auto &slot : slots_)
        if (InFlight(slot))
            pipe_.WaitForCompletion(*slot, INFINITE);
}

} // namespace ferrolink
