#include "SimKeltoEncoder.h"

#include "KeltoPseudoRandomCode.h"

#include <algorithm>
#include <cmath>

namespace sim::kelto {

namespace {

uint16_t Word(const std::array<uint8_t, kRamSize> &ram, uint16_t at)
{
    return static_cast<uint16_t>(ram[at] << 8 | ram[at + 1]);
}

uint32_t Long(const std::array<uint8_t, kRamSize> &ram, uint16_t at)
{
    return static_cast<uint32_t>(ram[at]) << 24 | static_cast<uint32_t>(ram[at + 1]) << 16 |
           static_cast<uint32_t>(ram[at + 2]) << 8 | ram[at + 3];
}

// The level the calibration judges both signal values against together.
double ReferenceLevel(uint8_t ssiResolution)
{
    switch (ssiResolution) {
    case 255: return 128.0;
    case 5: return 200.0;
    case 10: return 100.0;
    default: return 250.0;
    }
}

uint8_t SignalValue(double reference, double level)
{
    return static_cast<uint8_t>(std::clamp(std::lround(reference / 2 * level), 0L, 255L));
}

} // namespace

SimKeltoEncoder::SimKeltoEncoder(KeltoModel model) : model_(std::move(model)), eeprom_(BuildFactoryImage(model_))
{
    PowerUp();
    powered_ = true;
}

SimKeltoEncoder::~SimKeltoEncoder() { Detach(); }

void SimKeltoEncoder::Attach(biss::SimBissSlave &slave)
{
    Detach();
    std::lock_guard lock(mutex_);
    slave_ = &slave;
    slave.SetBehaviour(this);
    RefreshPower();
    ApplyAccessRules();
    SyncProtocol();
}

void SimKeltoEncoder::Detach()
{
    std::lock_guard lock(mutex_);
    if (!slave_)
        return;
    for (uint8_t address = 0; address < 128; ++address) {
        slave_->Registers().SetReadProtected(address, false);
        slave_->Registers().SetWriteProtected(address, false);
    }
    slave_->SetChannels({});
    slave_->SetBehaviour(nullptr);
    slave_ = nullptr;
}

void SimKeltoEncoder::SetClock(const biss::SimClock *clock)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetClock(clock);
}

void SimKeltoEncoder::SetPowerSupply(PowerSupply supply)
{
    std::lock_guard lock(mutex_);
    supply_ = std::move(supply);
    supplyPeriod_ = supply_ ? supply_() : kSteadySupply;
    RefreshPower();
}

void SimKeltoEncoder::SwitchOn()
{
    std::lock_guard lock(mutex_);
    switchedOn_ = true;
    RefreshPower();
}

void SimKeltoEncoder::SwitchOff()
{
    std::lock_guard lock(mutex_);
    switchedOn_ = false;
    RefreshPower();
}

bool SimKeltoEncoder::Powered() const
{
    std::lock_guard lock(mutex_);
    return powered_;
}

void SimKeltoEncoder::MountScale()
{
    std::lock_guard lock(mutex_);
    mechanics_.MountScale();
    lastPosition_ = mechanics_.Position();
}

void SimKeltoEncoder::MountRing(uint16_t poles)
{
    std::lock_guard lock(mutex_);
    mechanics_.MountRing(poles);
    lastPosition_ = mechanics_.Position();
}

void SimKeltoEncoder::SetPosition(double position)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetPosition(position);
}

void SimKeltoEncoder::SetSpeed(double perSecond)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetSpeed(perSecond);
}

void SimKeltoEncoder::SetMotion(std::function<double(double seconds)> motion)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetMotion(std::move(motion));
}

void SimKeltoEncoder::SetStepPerFrame(double perFrame)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetStepPerFrame(perFrame);
}

void SimKeltoEncoder::SetFrameMotion(std::function<double(uint64_t frames)> motion)
{
    std::lock_guard lock(mutex_);
    mechanics_.SetFrameMotion(std::move(motion));
}

void SimKeltoEncoder::SetErrors(uint8_t errorBits)
{
    std::lock_guard lock(mutex_);
    injectedErrors_ = errorBits;
}

void SimKeltoEncoder::SetExactness(uint8_t vef, uint8_t vefLow)
{
    std::lock_guard lock(mutex_);
    exactness_.vef = vef & 0xF;
    exactness_.vefLow = vefLow & 0xF;
}

void SimKeltoEncoder::SetCalibrationSignals(const CalibrationSignals &signals)
{
    std::lock_guard lock(mutex_);
    signals_ = signals;
}

void SimKeltoEncoder::SetMailboxAnswers(bool answers)
{
    std::lock_guard lock(mutex_);
    mailboxAnswers_ = answers;
    ApplyAccessRules();
}

void SimKeltoEncoder::SetLost(bool lost)
{
    std::lock_guard lock(mutex_);
    lost_ = lost;
    ApplyAccessRules();
}

uint8_t SimKeltoEncoder::Eeprom(uint16_t address) const
{
    std::lock_guard lock(mutex_);
    return eeprom_.at(address);
}

void SimKeltoEncoder::SetEeprom(uint16_t address, uint8_t value)
{
    std::lock_guard lock(mutex_);
    eeprom_.at(address) = value;
}

uint8_t SimKeltoEncoder::Ram(uint16_t address) const
{
    std::lock_guard lock(mutex_);
    return ram_.at(address);
}

void SimKeltoEncoder::SetRam(uint16_t address, uint8_t value)
{
    std::lock_guard lock(mutex_);
    ram_.at(address) = value;
    if (address == address::kOutput)
        SyncProtocol();
}

std::string SimKeltoEncoder::EepromText(uint16_t address, size_t length) const
{
    std::lock_guard lock(mutex_);
    if (address >= eeprom_.size())
        return {};
    length = std::min(length, eeprom_.size() - address);
    return std::string(eeprom_.begin() + address, eeprom_.begin() + address + length);
}

ScdFrame SimKeltoEncoder::Frame()
{
    std::lock_guard lock(mutex_);
    UpdateStatus();
    return CurrentFrame();
}

int32_t SimKeltoEncoder::OutputCount()
{
    std::lock_guard lock(mutex_);
    return CountWithOffset();
}

uint8_t SimKeltoEncoder::LiveErrors()
{
    std::lock_guard lock(mutex_);
    UpdateStatus();
    return ram_[address::kLiveStatus];
}

bool SimKeltoEncoder::OutputsSsi() const
{
    std::lock_guard lock(mutex_);
    return (ram_[address::kOutput] & output::kSsi) != 0;
}

unsigned SimKeltoEncoder::MailboxCommands() const
{
    std::lock_guard lock(mutex_);
    return mailbox_.CommandsCarriedOut();
}

unsigned SimKeltoEncoder::ZeroSetsCarriedOut() const
{
    std::lock_guard lock(mutex_);
    return zeroSets_;
}

bool SimKeltoEncoder::ReadRegister(uint8_t address, uint8_t &value)
{
    std::lock_guard lock(mutex_);
    RefreshPower();
    if (!Active())
        return false;
    if (address == kErrorRegister) {
        UpdateStatus();
        value = ram_[address::kLiveStatus];
        return true;
    }
    if (!KeltoMailbox::Owns(address))
        return false;
    value = mailbox_.Read(address);
    return true;
}

bool SimKeltoEncoder::WriteRegister(uint8_t address, uint8_t value)
{
    std::lock_guard lock(mutex_);
    RefreshPower();
    if (!Active())
        return true;
    if (address == kErrorRegister)
        return true;
    if (!KeltoMailbox::Owns(address))
        return false;
    const auto command = mailbox_.Write(address, value);
    if (command && mailboxAnswers_)
        Execute(*command);
    return true;
}

void SimKeltoEncoder::BeforeFrame(biss::SimBissSlave &slave)
{
    std::lock_guard lock(mutex_);
    RefreshPower();
    if (!Active()) {
        slave.SetChannels({});
        return;
    }
    mechanics_.CountFrame();
    UpdateDirection();
    UpdateStatus();
    const ScdFrame frame = CurrentFrame();
    slave.SetChannels({{frame.bits, frame.data, 0, 0}});
}

bool SimKeltoEncoder::DrivesLine()
{
    std::lock_guard lock(mutex_);
    return Active();
}

// A new supply period while running means the supply dropped since the last
// look: the encoder went down with it and has come up again.
void SimKeltoEncoder::RefreshPower()
{
    const uint32_t period = supply_ ? supply_() : kSteadySupply;
    const bool on = switchedOn_ && period != 0;
    const bool cycled = on && powered_ && period != supplyPeriod_;
    supplyPeriod_ = period;
    if (on == powered_ && !cycled)
        return;
    powered_ = on;
    if (on)
        PowerUp();
    ApplyAccessRules();
    SyncProtocol();
}

void SimKeltoEncoder::PowerUp()
{
    std::copy_n(eeprom_.begin(), kWorkingSetSize, ram_.begin());
    std::fill(ram_.begin() + kWorkingSetSize, ram_.end(), uint8_t{0});
    ram_[address::kCommand] = 0; // commands act when written, not when loaded
    mailbox_.Reset();
    lastPosition_ = mechanics_.Position();
}

// Unpowered or lost, the slave never gives a start bit; a mailbox that does
// not answer withholds its result register. Registers that only report
// refuse writes.
void SimKeltoEncoder::ApplyAccessRules()
{
    if (!slave_)
        return;
    biss::SlaveRegisterFile &registers = slave_->Registers();
    for (uint8_t address = 0; address < 128; ++address) {
        const bool readOnly = KeltoMailbox::ReadOnly(address) || address == kErrorRegister;
        registers.SetReadProtected(address,
                                   !Active() || (!mailboxAnswers_ && address == KeltoMailbox::kResultRegister));
        registers.SetWriteProtected(address, !Active() || readOnly);
    }
}

void SimKeltoEncoder::SyncProtocol()
{
    if (slave_ && powered_)
        slave_->SetProtocol((ram_[address::kOutput] & output::kSsi) ? biss::LineProtocol::Ssi : biss::LineProtocol::BiSS);
}

void SimKeltoEncoder::UpdateStatus()
{
    uint8_t errors = injectedErrors_;
    if (ConfigurationMismatch())
        errors |= error::kInconsistency;
    ram_[address::kLiveStatus] = errors;
    ram_[address::kLiveLatch] |= errors;
    ram_[address::kStoredLatch] |= static_cast<uint8_t>(errors & ~ram_[address::kStoredErrors]);
    ram_[address::kStoredErrors] |= errors;
    eeprom_[address::kStoredErrors] |= errors;
}

void SimKeltoEncoder::UpdateDirection()
{
    const double position = mechanics_.Position();
    double step = position - lastPosition_;
    if (mechanics_.Rotary()) {
        if (step > 180.0)
            step -= 360.0;
        else if (step < -180.0)
            step += 360.0;
    }
    if (step > 0)
        forward_ = true;
    else if (step < 0)
        forward_ = false;
    lastPosition_ = position;
}

// A ring configuration holds when it names the mounted ring's poles and the
// length and start value of the code those poles carry.
bool SimKeltoEncoder::ConfigurationMismatch()
{
    const uint16_t poles = Word(ram_, address::kPolesHigh);
    if (poles == 0)
        return false;
    if (!mechanics_.Rotary() || mechanics_.RingPoles() != poles)
        return true;
    const unsigned length = CodeLength(poles);
    if (length == 0)
        return true;
    const uint8_t lengthByte = model_.CodeLengthAsNumber() ? static_cast<uint8_t>(length) : LegacyCodeLengthCode(length);
    if (ram_[address::kCodeLength] != lengthByte)
        return true;
    if (!lastCodeCheck_ || lastCodeCheck_->poles != poles || lastCodeCheck_->length != length)
        lastCodeCheck_ = CodeCheck{poles, length, CodeStartValue(length, poles)};
    return lastCodeCheck_->start != Word(ram_, address::kCodeStartHigh);
}

void SimKeltoEncoder::Execute(const MailboxCommand &command)
{
    switch (command.operation) {
    case MailboxOperation::ReadEeprom:
        if (command.address < kEepromSize)
            mailbox_.SetResult(eeprom_[command.address]);
        break;
    case MailboxOperation::WriteEeprom:
        if (command.address < kEepromSize)
            eeprom_[command.address] = command.data;
        break;
    case MailboxOperation::ReadRam:
        if (command.address < kRamSize) {
            UpdateStatus();
            mailbox_.SetResult(ram_[command.address]);
        }
        break;
    case MailboxOperation::WriteRam:
        if (command.address < kRamSize)
            WriteRamByte(command.address, command.data);
        break;
    }
}

void SimKeltoEncoder::WriteRamByte(uint16_t address, uint8_t value)
{
    ram_[address] = value;
    if (address == address::kCommand) {
        if (value & command::kZeroSet)
            ZeroSet();
        ram_[address::kCommand] = 0;
    } else if (address == address::kOutput) {
        SyncProtocol();
    }
}

// The current position becomes 0: the offset that does it goes to RAM and
// EEPROM, where the host reads it back to apply its zero shift.
void SimKeltoEncoder::ZeroSet()
{
    ++zeroSets_;
    const uint32_t offset = static_cast<uint32_t>(-DirectedCount());
    for (int i = 0; i < 4; ++i) {
        const uint8_t byte = static_cast<uint8_t>(offset >> (24 - 8 * i));
        ram_[address::kOffset + i] = byte;
        eeprom_[address::kOffset + i] = byte;
    }
}

double SimKeltoEncoder::MicrometresPerCount() const
{
    const uint8_t resolution = ram_[address::kSsiResolution];
    if (resolution == 255)
        return 1000.0 / 1024.0;
    return resolution == 0 ? 1.0 : resolution;
}

// Counts from the scale's origin or, on a configured ring, within one turn;
// negated when the output counts down.
int64_t SimKeltoEncoder::DirectedCount() const
{
    double travel = mechanics_.Travel();
    const uint16_t poles = Word(ram_, address::kPolesHigh);
    if (poles != 0) {
        const double turn = poles * KeltoMechanics::kPoleLength;
        travel = std::fmod(travel, turn);
        if (travel < 0)
            travel += turn;
    }
    const int64_t count = static_cast<int64_t>(std::floor(travel / MicrometresPerCount()));
    return (ram_[address::kOutput] & output::kFalling) ? -count : count;
}

int32_t SimKeltoEncoder::CountWithOffset() const
{
    return static_cast<int32_t>(static_cast<uint32_t>(DirectedCount()) + Long(ram_, address::kOffset));
}

uint32_t SimKeltoEncoder::PositionWord() const
{
    const uint8_t format = (ram_[address::kFormat] >> 3) & 7u;
    if (format != format::kCalibration)
        return static_cast<uint32_t>(CountWithOffset());
    const double pole = std::floor(mechanics_.Travel() / KeltoMechanics::kPoleLength);
    const double reference = ReferenceLevel(ram_[address::kSsiResolution]);
    const uint8_t first = SignalValue(reference, forward_ ? signals_.forwardFirst : signals_.backwardFirst);
    const uint8_t second = SignalValue(reference, forward_ ? signals_.forwardSecond : signals_.backwardSecond);
    return CalibrationWord(static_cast<uint16_t>(static_cast<int64_t>(pole)), first, second);
}

ScdFrame SimKeltoEncoder::CurrentFrame() const
{
    const uint8_t out = ram_[address::kOutput];
    Diagnosis diagnosis = exactness_;
    diagnosis.errorByte = ram_[address::kLiveStatus];
    if (out & output::kSsi) {
        const SsiLayout layout{SsiLength(out), model_.SsiFrameType(out), (out & output::kGray) != 0};
        return SsiFrame(layout, static_cast<uint32_t>(CountWithOffset()), diagnosis);
    }
    return BissFrame(model_.BissFrameLength(out), PositionWord(), diagnosis);
}

} // namespace sim::kelto
