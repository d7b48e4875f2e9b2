// A simulated Kelto magnetic encoder on a simulated BiSS slave: it answers
// BiSS or SSI as its output byte (0x10) says, serves its EEPROM and RAM
// through the mailbox in registers 0-3, 12 and 15, shows its live error
// byte in register 0x48, sets its zero on command and sends calibration
// frames in the calibration format (0x11 bits 3-5 = 7); every other format
// sends the absolute position.
//
// On a ring, a calibration frame carries the number of the pole under the
// head (counted from the ring's zero angle) and the two signal values the
// head sees in its direction of travel. The frame's nE bit is the ok bit:
// it drops, and the inconsistency bit of the error byte rises, while the
// ring parameters the encoder runs with (0x00-0x04, loaded from the EEPROM
// at power-up) name another pole count or another code than the mounted
// ring carries.
//
// Power: the encoder runs while it is switched on and its supply (when one is
// given) delivers; each power-up loads RAM 0-95 from the EEPROM, so RAM
// changes last until the next power cycle, also one that began and ended
// between two accesses. Unpowered or lost, it puts no bits on the line and
// gives no answer on the control channel.
//
// Threads: the slave calls in from whichever thread runs the frames. Calls
// from another thread while the adapter streams frames belong inside
// DravioAdapterLink::WithAdapterHeld, since some of them change the slave.
#pragma once

#include "KeltoFactoryImage.h"
#include "KeltoFrames.h"
#include "KeltoMailbox.h"
#include "KeltoMechanics.h"
#include "KeltoModel.h"
#include "PowerSupply.h"

#include "SimBissSlave.h"
#include "SimClock.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace sim::kelto {

// The two signal values of the calibration format, relative to half the
// reference level of the output resolution (1.0 each is ideal), for each
// direction of travel.
struct CalibrationSignals {
    double forwardFirst = 0.96;
    double forwardSecond = 1.04;
    double backwardFirst = 0.96;
    double backwardSecond = 1.04;
};

class SimKeltoEncoder final : private biss::SlaveBehaviour {
public:
    static constexpr uint8_t kErrorRegister = 0x48;

    explicit SimKeltoEncoder(KeltoModel model = {});
    ~SimKeltoEncoder() override;
    SimKeltoEncoder(const SimKeltoEncoder &) = delete;
    SimKeltoEncoder &operator=(const SimKeltoEncoder &) = delete;

    // Takes the slave over (its single-cycle data, the mailbox registers and
    // 0x48); one slave at a time. Detach gives it back. The slave must
    // outlive the attachment.
    void Attach(biss::SimBissSlave &slave);
    void Detach();

    // Virtual time for motion at a speed; without a clock time stands still.
    void SetClock(const biss::SimClock *clock);

    // The supply is asked at every frame and register access and must not
    // call back into the encoder; null means always on (see
    // PoweredWhileAdapterOpen). Connecting a supply that delivers is no
    // power cycle for an encoder already running.
    void SetPowerSupply(PowerSupply supply);
    void SwitchOn();
    void SwitchOff();
    bool Powered() const;

    // What the head sits over, and how it moves (micrometres or degrees).
    void MountScale();
    void MountRing(uint16_t poles);
    void SetPosition(double position);
    void SetSpeed(double perSecond);
    void SetMotion(std::function<double(double seconds)> motion);
    // A turntable stepped with the frames: every frame the encoder sends
    // (single-cycle reads and control-channel frames alike) moves it on.
    void SetStepPerFrame(double perFrame);
    void SetFrameMotion(std::function<double(uint64_t frames)> motion);

    // Errors present in the head and its chips (error:: bits), reported live,
    // latched and stored.
    void SetErrors(uint8_t errorBits);
    void SetExactness(uint8_t vef, uint8_t vefLow);
    void SetCalibrationSignals(const CalibrationSignals &signals);

    // Faults: a mailbox that ignores its commands and never gives its result
    // register; an encoder that stops answering altogether.
    void SetMailboxAnswers(bool answers);
    void SetLost(bool lost);

    // The memory without the mailbox. A RAM write of the output byte takes
    // effect at once; nothing else is triggered.
    uint8_t Eeprom(uint16_t address) const;
    void SetEeprom(uint16_t address, uint8_t value);
    uint8_t Ram(uint16_t address) const;
    void SetRam(uint16_t address, uint8_t value);
    std::string EepromText(uint16_t address, size_t length) const;

    // What it sends and reports now.
    ScdFrame Frame();
    int32_t OutputCount();
    uint8_t LiveErrors();
    bool OutputsSsi() const;
    unsigned MailboxCommands() const;
    unsigned ZeroSetsCarriedOut() const;
    const KeltoModel &Model() const { return model_; }

private:
    static constexpr uint32_t kSteadySupply = 1;

    bool ReadRegister(uint8_t address, uint8_t &value) override;
    bool WriteRegister(uint8_t address, uint8_t value) override;
    void BeforeFrame(biss::SimBissSlave &slave) override;
    bool DrivesLine() override;

    bool Active() const { return powered_ && !lost_; }
    void RefreshPower();
    void PowerUp();
    void ApplyAccessRules();
    void SyncProtocol();
    void UpdateStatus();
    void UpdateDirection();
    bool ConfigurationMismatch();
    void Execute(const MailboxCommand &command);
    void WriteRamByte(uint16_t address, uint8_t value);
    void ZeroSet();
    double MicrometresPerCount() const;
    int64_t DirectedCount() const;
    int32_t CountWithOffset() const;
    uint32_t PositionWord() const;
    ScdFrame CurrentFrame() const;

    const KeltoModel model_;
    mutable std::mutex mutex_;
    EepromImage eeprom_;
    std::array<uint8_t, kRamSize> ram_{};
    KeltoMailbox mailbox_;
    KeltoMechanics mechanics_;
    biss::SimBissSlave *slave_ = nullptr;

    PowerSupply supply_;
    uint32_t supplyPeriod_ = kSteadySupply;
    bool switchedOn_ = true;
    bool powered_ = false;
    bool lost_ = false;
    bool mailboxAnswers_ = true;
    unsigned zeroSets_ = 0;

    uint8_t injectedErrors_ = 0;
    Diagnosis exactness_;
    CalibrationSignals signals_;
    bool forward_ = true;
    double lastPosition_ = 0.0;

    // The start value of the code for the ring configuration last checked.
    struct CodeCheck {
        uint16_t poles = 0;
        unsigned length = 0;
        std::optional<uint32_t> start;
    };
    std::optional<CodeCheck> lastCodeCheck_;
};

} // namespace sim::kelto
