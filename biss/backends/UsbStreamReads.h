// The overlapped reads that collect the adapter's stream: packet b lands in
// bytes b * size .. (b + 1) * size - 1 of one data block, and at most three
// reads are in flight. Reads still in flight when the object goes (or when
// CancelPending runs) are cancelled and waited for, so no completion ever
// lands in memory or an event that is already gone.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <optional>

#include "DravioBuffer.h"
#include "DravioPipe.h"

namespace ferrolink {

class UsbStreamReads {
public:
    static constexpr uint32_t kInFlight = 3;

    // The block must outlive this object.
    UsbStreamReads(dravio::CDravioPipe &pipe, uint8_t *block, DWORD packetSize);
    ~UsbStreamReads();
    UsbStreamReads(const UsbStreamReads &) = delete;
    UsbStreamReads &operator=(const UsbStreamReads &) = delete;

    // Submits the read of one packet; false when the pipe refuses it (or the
    // read three packets earlier is still in flight).
    bool Submit(uint32_t packet);
    // Waits for a submitted packet: the driver's status (DRAVIO_ERR_TIMEOUT
    // when the time ran out, the read still in flight) and the bytes it brought.
    DWORD Wait(uint32_t packet, DWORD timeoutMs, DWORD *transferred);
    // Cancels every read in flight and waits until each has completed.
    void CancelPending();

private:
    std::optional<dravio::CDravioBuffer> &SlotOf(uint32_t packet) { return slots_[packet % kInFlight]; }
    static bool InFlight(const std::optional<dravio::CDravioBuffer> &slot);

    dravio::CDravioPipe &pipe_;
    uint8_t *block_;
    DWORD packetSize_;
    std::array<std::optional<dravio::CDravioBuffer>, kInFlight> slots_;
};

} // namespace ferrolink
