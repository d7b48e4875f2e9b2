#include "SimBissMaster.h"

#include "AssistedTransfer.h"
#include "MasterRegisters.h"

#include <algorithm>

namespace sim::biss {

SimBissMaster::SimBissMaster(const MasterChipProfile &profile, SimBissLine &line)
    : profile_(profile), line_(line)
{
    regs_[reg::kChipId] = profile.chipId;
    regs_[reg::kRevision] = (profile.chipId & 0x80) ? profile.revisionBeforeClear : profile.revision;
    regs_[reg::kStatus] = status::kEndOfCycle | status::kNoErrors;
}

uint8_t SimBissMaster::Peek(uint8_t address) const
{
    if (address == reg::kLine) {
        uint8_t value = line_.StuckLow() ? 0 : 0x01;
        if (profile_.controlBitInLineRegister && lastCds_)
            value |= 0x02;
        return value;
    }
    return regs_[address];
}

uint8_t SimBissMaster::Read(uint8_t address, AccessOrigin origin)
{
    const uint8_t value = Peek(address);
    trace_.RecordRead(address, value, origin);
    AfterAccess();
    return value;
}

void SimBissMaster::Write(uint8_t address, uint8_t value, AccessOrigin origin)
{
    trace_.RecordWrite(address, value, origin);
    if (address == reg::kInstruction) {
        StartInstruction(value); // a new instruction replaces one still waiting
        return;
    }
    Store(address, value);
    AfterAccess();
}

void SimBissMaster::Store(uint8_t address, uint8_t value)
{
    if (lost_[address])
        return;
    switch (address) {
    case reg::kChipId:
    case reg::kStatus:
    case reg::kChannelStatusLow:
    case reg::kChannelStatusHigh:
    case reg::kControlStatus:
    case reg::kLine:
        return; // read-only
    case reg::kRevision:
        // Chips with id bit 7 keep another value here until it is cleared with 0.
        if ((profile_.chipId & 0x80) && value == 0)
            regs_[reg::kRevision] = profile_.revision;
        return;
    default:
        regs_[address] = value;
    }
}

void SimBissMaster::StartInstruction(uint8_t value)
{
    uint8_t &st = regs_[reg::kStatus];
    startUpWaiting_ = false;
    if (ignoresInstructions_) {
        regs_[reg::kInstruction] = value;
        st &= static_cast<uint8_t>(~status::kEndOfCycle);
        pending_ = 0;
        stopPending_ = false;
        countdown_ = 0;
        return;
    }
    const bool wasAutomatic = (regs_[reg::kInstruction] & instr::kAutomatic) != 0;
    pending_ = 0;
    stopPending_ = false;
    countdown_ = 0;

    if (value & instr::kStop) {
        regs_[reg::kInstruction] = 0;
        st &= static_cast<uint8_t>(~status::kAutomatic);
        EndCycle();
        return;
    }
    if ((value & instr::kAutomatic) && !frameRateTooHigh_)
        st |= status::kAutomatic;
    else
        st &= static_cast<uint8_t>(~status::kAutomatic);

    regs_[reg::kInstruction] = value;
    if (value & instr::kStartsTransfer) {
        pending_ = value;
        countdown_ = completionDelay_;
        st &= static_cast<uint8_t>(~(status::kEndOfCycle | status::kControlDone));
        return;
    }
    if (wasAutomatic && !(value & instr::kAutomatic)) {
        // The automatic frame under way ends first.
        stopPending_ = true;
        countdown_ = completionDelay_;
        st &= static_cast<uint8_t>(~status::kEndOfCycle);
        return;
    }
    if (value == 0)
        EndCycle();
}

void SimBissMaster::AfterAccess()
{
    if (startUpWaiting_) {
        RunStartUpFrame();
        return;
    }
    if (countdown_ == 0 || --countdown_ > 0)
        return;
    if (stopPending_) {
        stopPending_ = false;
        EndCycle();
    } else if (pending_) {
        Complete();
    }
}

void SimBissMaster::Complete()
{
    const uint8_t value = pending_;
    pending_ = 0;
    regs_[reg::kInstruction] = value & instr::kAutomatic;
    if (neverEndsCycle_)
        return; // taken, but the cycle never ends
    runningInstruction_ = value;
    if (value & instr::kStartUp) {
        RunStartUpFrame();
        return;
    } else if (value & instr::kAccess) {
        RunAccessInstruction();
    } else {
        RunFrame(FrameKind::Single, (value & instr::kFrameMask) == 0x02);
    }
    EndCycle();
}

void SimBissMaster::RunStartUpFrame()
{
    regs_[reg::kStatus] |= status::kAccessOk | status::kAccepted;
    RunFrame(FrameKind::StartUp, false);
    startUpWaiting_ = (regs_[reg::kStatus] & status::kAnswered) == 0;
    if (!startUpWaiting_)
        EndCycle();
}

void SimBissMaster::EndCycle()
{
    if (!neverEndsCycle_)
        regs_[reg::kStatus] |= status::kEndOfCycle;
}

void SimBissMaster::RunAccessInstruction()
{
    const uint8_t setup = regs_[reg::kAccessSetup];
    const ControlFrameRunner frame = [this](bool cdm) { return RunFrame(FrameKind::Assisted, cdm); };
    TransferResult result;
    if ((setup & 0xC0) == 0x40) {
        result = RunCommand(frame, static_cast<uint8_t>((setup >> 4) & 3u), regs_[reg::kRam]);
    } else {
        const uint8_t address = regs_[reg::kAccessAddress];
        const unsigned count = std::min<unsigned>((regs_[reg::kAccessCount] & 0x7Fu) + 1, reg::kRamSize);
        result = RunRegisterTransfer(frame, static_cast<uint8_t>((setup >> 3) & 7u), address & 0x7F,
                                     (address & 0x80) != 0, count, &regs_[reg::kRam]);
    }

    uint8_t &st = regs_[reg::kStatus];
    st &= static_cast<uint8_t>(~(status::kAccessOk | status::kAccepted | status::kAnswered));
    switch (result.outcome) {
    case TransferOutcome::Ok:
        st |= status::kAccessOk | status::kAccepted | status::kAnswered;
        break;
    case TransferOutcome::NoAnswer:
        st |= status::kAccepted;
        break;
    case TransferOutcome::Rejected:
        st |= status::kAnswered;
        break;
    case TransferOutcome::BadData:
        st |= status::kAccepted | status::kAnswered;
        break;
    }
    st |= status::kControlDone;
    regs_[reg::kControlStatus] =
        static_cast<uint8_t>((regs_[reg::kControlStatus] & 0x40) | (result.bytes & 0x3F));
}

bool SimBissMaster::RunAutomaticFrame()
{
    if (!(regs_[reg::kInstruction] & instr::kAutomatic))
        return false;
    runningInstruction_ = regs_[reg::kInstruction];
    RunFrame(FrameKind::Automatic, false);
    if (frameRateTooHigh_)
        regs_[reg::kStatus] &= static_cast<uint8_t>(~(status::kAutomatic | status::kAnswered));
    return true;
}

bool SimBissMaster::RunFrame(FrameKind kind, bool cdm)
{
    const std::vector<ChannelSetup> channels = DecodeChannels(regs_, profile_);
    const FrameProtocol protocol = ChooseFrameProtocol(channels);
    const LineFrame lineFrame = line_.RunFrame(protocol.protocol, cdm);
    const bool answered = lineFrame.answered && protocol.known;
    const bool cds = answered && lineFrame.cds;
    ++frameNumber_;

    uint8_t &st = regs_[reg::kStatus];
    uint8_t channelStatus[2] = {0, 0};
    if (answered) {
        const ScdCapture capture = CaptureScd(channels, lineFrame.bits, lineFrame.ssiWord);
        for (size_t n = 0; n < channels.size() && n < capture.data.size(); ++n) {
            if (!(capture.usedMask & (1u << n)))
                continue;
            for (unsigned j = 0; j < 8; ++j)
                regs_[reg::kScdData + 8 * n + j] = static_cast<uint8_t>(capture.data[n] >> (8 * j));
            if (capture.validMask & (1u << n))
                channelStatus[n / 4] |= static_cast<uint8_t>(2u << (2 * (n % 4)));
        }
        st |= status::kAnswered;
        if (capture.validMask == capture.usedMask) {
            st |= status::kDataValid;
            st &= static_cast<uint8_t>(~status::kError);
        } else {
            st &= static_cast<uint8_t>(~status::kDataValid);
            st |= status::kError;
        }
    } else {
        st &= static_cast<uint8_t>(~(status::kAnswered | status::kDataValid));
        st |= status::kError;
    }
    if (flagsFrameError_) {
        st |= status::kError;
        st &= static_cast<uint8_t>(~status::kAccepted);
    }
    regs_[reg::kChannelStatusLow] = channelStatus[0];
    regs_[reg::kChannelStatusHigh] = channelStatus[1];
    regs_[reg::kControlStatus] = static_cast<uint8_t>((regs_[reg::kControlStatus] & ~0x40) | (cds ? 0x40 : 0));
    lastCds_ = cds;
    trace_.RecordFrame(frameNumber_, kind, runningInstruction_, cdm, cds, answered);
    return cds;
}

} // namespace sim::biss
