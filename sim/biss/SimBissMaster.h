// The simulated BiSS master chip: 256 byte registers, the instruction
// register 0xF4 and the status registers, driving a SimBissLine.
//
// Timing is counted in register accesses: an instruction written to 0xF4
// keeps reading back for L further accesses (any register) and completes
// after the L-th, when the frame (or transfer) runs and 0xF0 bit 0 (end of
// cycle) is set again. 0x80 stops at once. The start-up step (0x10) keeps
// clocking until the line answers: with nobody answering its cycle does not
// end until the next instruction.
#pragma once

#include "ChannelSetup.h"
#include "MasterChipProfile.h"
#include "MasterRegisters.h"
#include "SimBissLine.h"
#include "SimTrace.h"

#include <bitset>
#include <cstdint>

namespace sim::biss {

class SimBissMaster {
public:
    SimBissMaster(const MasterChipProfile &profile, SimBissLine &line);
    SimBissMaster(const SimBissMaster &) = delete;
    SimBissMaster &operator=(const SimBissMaster &) = delete;

    // Register accesses as the chip's bus sees them; each one counts toward
    // the completion of a running instruction.
    uint8_t Read(uint8_t address, AccessOrigin origin = AccessOrigin::Host);
    void Write(uint8_t address, uint8_t value, AccessOrigin origin = AccessOrigin::Host);

    // A register's content without a bus access (no trace, no timing).
    uint8_t Peek(uint8_t address) const;
    void Poke(uint8_t address, uint8_t value) { regs_[address] = value; }

    // Automatic frames (instruction bit 0): the adapter's stream asks for them
    // one by one. False when automatic frames are not running.
    bool RunAutomaticFrame();
    bool AutomaticRunning() const { return (regs_[reg::kStatus] & status::kAutomatic) != 0; }
    // Frames run so far (wraps at 32 bits).
    uint32_t FrameNumber() const { return frameNumber_; }

    // Faults and timing.
    void SetCompletionDelay(unsigned accesses) { completionDelay_ = accesses ? accesses : 1; }
    void SetIgnoresInstructions(bool ignores) { ignoresInstructions_ = ignores; }
    void SetNeverEndsCycle(bool never) { neverEndsCycle_ = never; }
    // A register that does not hold: writes to it are lost.
    void SetRegisterHolds(uint8_t address, bool holds) { lost_[address] = !holds; }
    // Automatic frames cannot keep up with the divider in 0xE8: they do not start.
    void SetFrameRateTooHigh(bool tooHigh) { frameRateTooHigh_ = tooHigh; }
    // Every frame ends with the error flag (0xF0 bit 1) and without the
    // acceptance bit (bit 5), whatever the channels' data say.
    void SetFlagsFrameError(bool flags) { flagsFrameError_ = flags; }

    const MasterChipProfile &Profile() const { return profile_; }
    SimBissLine &Line() { return line_; }
    SimTrace &Trace() { return trace_; }

private:
    void Store(uint8_t address, uint8_t value);
    void StartInstruction(uint8_t value);
    void AfterAccess();
    void Complete();
    void EndCycle();
    void RunStartUpFrame();
    void RunAccessInstruction();
    // Runs one frame on the line and takes in its data; returns the control bit received.
    bool RunFrame(FrameKind kind, bool cdm);

    const MasterChipProfile profile_;
    SimBissLine &line_;
    SimTrace trace_;
    MasterRegisterFile regs_{};
    std::bitset<256> lost_;

    uint8_t pending_ = 0;       // instruction waiting to complete
    bool stopPending_ = false;  // automatic frames ending
    unsigned countdown_ = 0;
    unsigned completionDelay_ = 1;
    uint8_t runningInstruction_ = 0;
    bool ignoresInstructions_ = false;
    bool neverEndsCycle_ = false;
    bool startUpWaiting_ = false;  // the start-up step has not been answered yet
    bool frameRateTooHigh_ = false;
    bool flagsFrameError_ = false;
    bool lastCds_ = false;
    uint32_t frameNumber_ = 0;
};

} // namespace sim::biss
