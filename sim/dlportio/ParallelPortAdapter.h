// A PC parallel port with the BiSS master chip wired to it in one of three ways.
//
// Wiring 1 (address/data bus, separate strobes): the data lines carry address
// and value; control bit 1 low latches the address (taken as it rises),
// control bit 0 high is the write strobe (the value is taken as it falls),
// control bit 2 low makes the chip drive the register's value onto the data
// lines.
// Wiring 2 (address/data bus, one data strobe): control bit 1 low latches the
// address as above; control bit 2 says read (1) or write (0); control bit 0
// low is the data strobe: on a write the value is taken as it rises, on a read
// the chip drives the data lines while it is low.
// Wiring 3 (serial): control bit 2 low selects the chip's serial register
// interface, control bit 0 is its clock (a bit per falling edge), control
// bit 1 carries the bit to the chip inverted, status bit 7 the chip's bit
// inverted.
// All wirings: status bit 5 is the chip's end-of-cycle output. The port reads
// its own data latch unless control bit 5 has switched the data lines to
// input; lines nobody drives read high.
#pragma once

#include <cstdint>

#include "chipbus/MasterChipBus.h"
#include "chipbus/SerialRegisterInterface.h"

namespace sim::dlportio {

class ParallelPortAdapter {
public:
    ParallelPortAdapter(uint32_t wiring, chipbus::IMasterChipBus *chip);

    void WriteData(uint8_t value) { data_ = value; }
    void WriteControl(uint8_t value);
    uint8_t ReadData() const;
    uint8_t ReadStatus();
    uint8_t ReadControl() const { return control_; }

private:
    void ControlWiring1(uint8_t before, uint8_t after);
    void ControlWiring2(uint8_t before, uint8_t after);
    void ControlWiring3(uint8_t before, uint8_t after);
    void StartDriving();

    const uint32_t wiring_;
    chipbus::IMasterChipBus *const chip_;
    chipbus::SerialRegisterInterface serial_;
    uint8_t data_ = 0;
    uint8_t control_ = 0;
    uint8_t addressLatch_ = 0;
    bool chipDrives_ = false;
    uint8_t chipValue_ = 0;
    bool chipDataOut_ = true;
};

} // namespace sim::dlportio
