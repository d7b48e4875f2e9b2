// A slave's side of the BiSS control channel, one bit per frame: the master's
// bit (CDM) comes in at the end of every frame, the slave's bit (CDS) goes out
// in the next one.
//
// A register access, frame by frame (frame 0 is the start bit S):
//   0 S=1, 1 CTS=1, 2-4 slave id (MSB first), 5-11 address (MSB first),
//   12-15 CRC-4 of bits 1-11, sent inverted; 16 R, 17 W (read 1 0, write 0 1);
//   18 S=1 for the data. The addressed slave echoes R in frame 17 and W in
//   frame 18 (a write it refuses: 0 in frame 18).
//   Read:  after a delay of d frames at 0 the slave sends its start bit 1, eight
//          data bits MSB first and the inverted CRC-4 of the data; in the next
//          frame a master bit 1 asks for the following register (S again).
//   Write: the slave sends its start bit when ready (the master repeats its
//          first data bit until it sees it) and echoes every master bit one
//          frame later: eight data bits, the inverted CRC-4, the stop bit 0; in
//          the next frame a master bit 1 starts the following register.
// A command (CTS=0): 1 CTS, 2-9 slave selection (bit 0 first), 10-11 command
//   (bit 1 first), 12-15 inverted CRC-4 of bits 1-11; frame 16 S; in frames
//   17-24 slave i answers 1 in frame 17+i when it was selected.
// A slave that is not addressed, or that received a request with a bad CRC,
// stays at 0 until the master has sent 14 frames at 0.
#pragma once

#include <cstdint>

namespace sim::biss {

// What the control channel needs of the slave it speaks for.
class ControlTarget {
public:
    virtual ~ControlTarget() = default;
    virtual bool MayRead(uint8_t address) const = 0;
    virtual bool MayWrite(uint8_t address) const = 0;
    virtual uint8_t ReadForControl(uint8_t address) = 0;
    virtual void WriteForControl(uint8_t address, uint8_t value) = 0;
    virtual void CommandForControl(uint8_t command) = 0;
};

class SlaveControlChannel {
public:
    SlaveControlChannel(uint8_t slaveId, ControlTarget &target);

    // One frame: returns the slave's bit for this frame and takes the master's.
    bool Exchange(bool cdm);

    // Frames the slave holds back its start bit after the master's S.
    void SetStartBitDelay(unsigned frames) { startBitDelay_ = frames; }
    // A faulty slave: the CRC of every byte it reads out is wrong.
    void SetCorruptsAnswerCrc(bool corrupts) { corruptsAnswerCrc_ = corrupts; }

    bool Idle() const { return phase_ == Phase::Idle; }

private:
    enum class Phase {
        Idle,
        Request,
        ReadWriteR,
        ReadWriteW,
        DataStart,
        Delay,
        ReadStart,
        ReadAnswer,
        ReadNext,
        WriteStart,
        WriteData,
        WriteCrc,
        WriteStop,
        WriteNext,
        CommandAnswer,
        Quiet,
    };

    void EvaluateRequest();
    void BeginByte();
    bool ResetsOnZeroRun() const;

    const uint8_t slaveId_;
    ControlTarget &target_;
    unsigned startBitDelay_ = 0;
    bool corruptsAnswerCrc_ = false;

    Phase phase_ = Phase::Idle;
    bool lastCdm_ = false;
    unsigned zeroRun_ = 0;

    uint32_t requestBits_ = 0;
    unsigned requestCount_ = 0;
    uint8_t address_ = 0;
    bool readBit_ = false;
    bool write_ = false;
    unsigned delayLeft_ = 0;
    uint32_t answer_ = 0;
    unsigned answerLeft_ = 0;
    uint8_t data_ = 0;
    unsigned dataCount_ = 0;
    uint8_t crcIn_ = 0;
    unsigned crcCount_ = 0;
    bool selected_ = false;
    unsigned commandFrame_ = 0;
};

} // namespace sim::biss
