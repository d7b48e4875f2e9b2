// The seam through which a behavioural device (an encoder with its mailbox and
// memory, say) takes over parts of a simulated slave. Every member has a
// default that leaves the slave's own behaviour in place.
#pragma once

#include <cstdint>

namespace sim::biss {

class SimBissSlave;

class SlaveBehaviour {
public:
    virtual ~SlaveBehaviour() = default;

    // A register access over the control channel. Return true when the device
    // owns the address (for a read, with the value set); false leaves it to
    // the slave's register file.
    virtual bool ReadRegister(uint8_t address, uint8_t &value)
    {
        (void)address;
        (void)value;
        return false;
    }
    virtual bool WriteRegister(uint8_t address, uint8_t value)
    {
        (void)address;
        (void)value;
        return false;
    }

    // A BiSS command that selected this slave.
    virtual void Command(uint8_t command) { (void)command; }

    // Just before a frame's single-cycle data leave the slave.
    virtual void BeforeFrame(SimBissSlave &slave) { (void)slave; }

    // Whether the device drives the data line in the frame that just ran
    // (asked after BeforeFrame); a device without power does not.
    virtual bool DrivesLine() { return true; }
};

} // namespace sim::biss
