// State of one control-channel access carried bit by bit in successive frames.
#pragma once

#include <cstdint>
#include <string>

namespace ferrolink {

struct ControlSequenceState {
    enum Operation : uint8_t { kNone = 0, kRead = 1, kWrite = 2 };

    uint8_t frameCounter = 0;  // number of the next frame of the sequence
    uint8_t data = 0;          // byte to write, or the byte being received
    uint8_t expectedBit = 0;   // control bit the slave must return in this frame
    uint8_t address = 0;       // register address, shifted out bit by bit
    uint8_t slaveId = 0;       // slave number, shifted out bit by bit
    uint8_t operation = kNone;
    uint8_t lastOperation = kNone;  // the operation of the latest access, kept after its end
    bool lastFrame = false;         // the frame just sent is the access's last
    std::string requestText;      // request bits as '0'/'1'
    std::string receivedCrcText;  // CRC bits received
    std::string crcText;          // CRC computed here
};

} // namespace ferrolink
