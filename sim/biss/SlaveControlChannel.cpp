#include "SlaveControlChannel.h"

#include "BissCrc.h"

namespace sim::biss {

namespace {
// Bits after the start bit that make up a request: CTS, 10 bits, CRC-4.
constexpr unsigned kRequestBits = 15;
// Master bits at 0 in a row that end any exchange.
constexpr unsigned kResetZeroRun = 14;
} // namespace

SlaveControlChannel::SlaveControlChannel(uint8_t slaveId, ControlTarget &target)
    : slaveId_(slaveId), target_(target)
{
}

bool SlaveControlChannel::Exchange(bool cdm)
{
    zeroRun_ = cdm ? 0 : zeroRun_ + 1;
    bool out = false;

    switch (phase_) {
    case Phase::Idle:
        if (cdm) {
            phase_ = Phase::Request;
            requestBits_ = 0;
            requestCount_ = 0;
        }
        break;
    case Phase::Request:
        requestBits_ = (requestBits_ << 1) | (cdm ? 1u : 0u);
        if (++requestCount_ == kRequestBits)
            EvaluateRequest();
        break;
    case Phase::ReadWriteR:
        readBit_ = cdm;
        phase_ = Phase::ReadWriteW;
        break;
    case Phase::ReadWriteW:
        out = readBit_;
        if (readBit_ == cdm) {
            phase_ = Phase::Quiet; // neither or both: no valid access
            break;
        }
        write_ = cdm;
        phase_ = Phase::DataStart;
        break;
    case Phase::DataStart:
        // Echo of W; a write the slave will not take is refused here.
        out = write_ ? target_.MayWrite(address_) : false;
        if (!cdm || (write_ && !out)) {
            phase_ = Phase::Quiet;
            break;
        }
        BeginByte();
        break;
    case Phase::Delay:
        if (--delayLeft_ == 0)
            phase_ = write_ ? Phase::WriteStart : Phase::ReadStart;
        break;
    case Phase::ReadStart: {
        out = true;
        const uint8_t value = target_.ReadForControl(address_);
        answer_ = (static_cast<uint32_t>(value) << 4) | (~ControlCrc(value, 8) & 0xFu);
        if (corruptsAnswerCrc_)
            answer_ ^= 1u;
        answerLeft_ = 12;
        phase_ = Phase::ReadAnswer;
        break;
    }
    case Phase::ReadAnswer:
        out = ((answer_ >> (answerLeft_ - 1)) & 1u) != 0;
        if (--answerLeft_ == 0)
            phase_ = Phase::ReadNext;
        break;
    case Phase::ReadNext:
        if (cdm) {
            address_ = static_cast<uint8_t>((address_ + 1) & 0x7F);
            BeginByte();
        } else {
            phase_ = Phase::Idle;
        }
        break;
    case Phase::WriteStart:
        out = true;
        data_ = cdm ? 1 : 0;
        dataCount_ = 1;
        phase_ = Phase::WriteData;
        break;
    case Phase::WriteData:
        out = lastCdm_;
        data_ = static_cast<uint8_t>((data_ << 1) | (cdm ? 1 : 0));
        if (++dataCount_ == 8) {
            crcIn_ = 0;
            crcCount_ = 0;
            phase_ = Phase::WriteCrc;
        }
        break;
    case Phase::WriteCrc:
        out = lastCdm_;
        crcIn_ = static_cast<uint8_t>((crcIn_ << 1) | (cdm ? 1 : 0));
        if (++crcCount_ == 4) {
            if ((~crcIn_ & 0xFu) == ControlCrc(data_, 8))
                target_.WriteForControl(address_, data_);
            phase_ = Phase::WriteStop;
        }
        break;
    case Phase::WriteStop:
        out = lastCdm_;
        phase_ = Phase::WriteNext;
        break;
    case Phase::WriteNext:
        out = lastCdm_;
        if (cdm) {
            address_ = static_cast<uint8_t>((address_ + 1) & 0x7F);
            BeginByte();
        } else {
            phase_ = Phase::Idle;
        }
        break;
    case Phase::CommandAnswer:
        // Frame 16 carries the master's S; frames 17-24 one answer bit per slave position.
        if (commandFrame_ >= 1)
            out = selected_ && commandFrame_ - 1 == slaveId_;
        if (++commandFrame_ > 8)
            phase_ = Phase::Quiet;
        break;
    case Phase::Quiet:
        break;
    }

    if (zeroRun_ >= kResetZeroRun && ResetsOnZeroRun())
        phase_ = Phase::Idle;
    lastCdm_ = cdm;
    return out;
}

void SlaveControlChannel::EvaluateRequest()
{
    const bool cts = (requestBits_ >> 14) & 1u;
    const uint32_t protectedBits = requestBits_ >> 4; // CTS and the 10 bits after it
    const uint32_t crc = ~requestBits_ & 0xFu;
    if (crc != ControlCrc(protectedBits, 11)) {
        phase_ = Phase::Quiet;
        return;
    }
    if (cts) {
        const uint8_t id = static_cast<uint8_t>((requestBits_ >> 11) & 0x7u);
        address_ = static_cast<uint8_t>((requestBits_ >> 4) & 0x7Fu);
        phase_ = id == slaveId_ ? Phase::ReadWriteR : Phase::Quiet;
        return;
    }
    // Selection bits went out least significant first: slave 0 is the first of them.
    const uint32_t selection = (requestBits_ >> 6) & 0xFFu;
    selected_ = ((selection >> (7 - slaveId_)) & 1u) != 0;
    if (selected_)
        target_.CommandForControl(static_cast<uint8_t>((requestBits_ >> 4) & 0x3u));
    commandFrame_ = 0;
    phase_ = Phase::CommandAnswer;
}

void SlaveControlChannel::BeginByte()
{
    const bool allowed = write_ ? target_.MayWrite(address_) : target_.MayRead(address_);
    if (!allowed) {
        phase_ = Phase::Quiet; // never gives its start bit
        return;
    }
    delayLeft_ = startBitDelay_;
    if (delayLeft_ > 0)
        phase_ = Phase::Delay;
    else
        phase_ = write_ ? Phase::WriteStart : Phase::ReadStart;
}

bool SlaveControlChannel::ResetsOnZeroRun() const
{
    switch (phase_) {
    case Phase::Request:
    case Phase::ReadWriteR:
    case Phase::ReadWriteW:
    case Phase::DataStart:
    case Phase::CommandAnswer:
    case Phase::Quiet:
        return true;
    default:
        return false;
    }
}

} // namespace sim::biss
