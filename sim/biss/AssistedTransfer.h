// The master chip running the control channel by itself: a register transfer
// of up to 64 bytes, or a command, one control bit per frame (the frame
// layout is described in SlaveControlChannel.h).
#pragma once

#include <cstdint>
#include <functional>

namespace sim::biss {

// Runs one frame carrying the master's control bit; returns the slave's bit.
using ControlFrameRunner = std::function<bool(bool cdm)>;

enum class TransferOutcome : uint8_t {
    Ok,
    NoAnswer, // no slave echoed the access (no such slave, or the request was garbled)
    Rejected, // the slave refused: no write echo, or no start bit in time
    BadData,  // a wrong echo or CRC in the data part
};

struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Ok;
    unsigned bytes = 0; // bytes moved before the outcome
};

// Frames the master waits for a slave's start bit.
inline constexpr unsigned kStartBitPatience = 100;

// ram holds count bytes: the data to write, or room for the data read.
TransferResult RunRegisterTransfer(const ControlFrameRunner &frame, uint8_t slaveId, uint8_t address,
                                   bool write, unsigned count, uint8_t *ram);

// selection: bit i selects slave i. Ok when every selected slave answered.
TransferResult RunCommand(const ControlFrameRunner &frame, uint8_t command, uint8_t selection);

} // namespace sim::biss
