#include "SimUsbAdapter.h"

#include "MasterRegisters.h"

#include <algorithm>

namespace sim::biss {

using adapter::RegisterPair;
using adapter::Request;

namespace {

// An instruction with any of its low five bits set, or 0, ends with the end of a cycle.
bool StartsTransfer(const RegisterPair &pair)
{
    constexpr uint8_t kTransferBits = instr::kStartsTransfer | instr::kAutomatic;
    return pair.address == reg::kInstruction && ((pair.value & kTransferBits) != 0 || pair.value == 0);
}

} // namespace

SimUsbAdapter::SimUsbAdapter(SimBissMaster &master, AdapterIdentity identity)
    : master_(master), identity_(std::move(identity)), trace_(master.Trace()),
      transferCost_(identity_.highSpeed ? 125 : 1000)
{
}

void SimUsbAdapter::SetStreamGap(uint32_t afterFrames, uint32_t missing)
{
    gapAfter_ = afterFrames;
    gapMissing_ = missing;
}

void SimUsbAdapter::ReceiveRequest(const uint8_t *data, size_t length)
{
    trace_.RecordAdapterFrame(TraceKind::AdapterRequest, data, length);
    Charge();
    // A request ends a stream; a late answer still owed goes out first if the cycle has ended by now.
    if (streaming_) {
        streaming_ = false;
        streamBytes_.clear();
        streamOffset_ = 0;
    }
    PollFollowUp();
    followUp_.reset();

    const std::optional<Request> request = adapter::ParseRequest(data, length);
    if (!request || (request->command == adapter::kCommandStream && request->pairs.empty())) {
        ++malformed_;
        return;
    }
    ttl_ = (request->options & adapter::kOptionTtl) != 0;
    switch (request->command) {
    case adapter::kCommandRead:
        ServeRead(*request);
        break;
    case adapter::kCommandWrite:
        ServeWrite(*request);
        break;
    default:
        StartStream(*request);
        break;
    }
}

void SimUsbAdapter::ServeRead(const Request &request)
{
    std::vector<RegisterPair> pairs;
    for (const auto &pair : request.pairs)
        pairs.push_back({pair.address, master_.Read(pair.address, AccessOrigin::Host)});
    const uint8_t status = master_.Read(reg::kStatus, AccessOrigin::Adapter);
    Queue(request, status, pairs);
}

void SimUsbAdapter::ServeWrite(const Request &request)
{
    std::vector<RegisterPair> pairs;
    std::optional<size_t> instruction;
    for (const auto &pair : request.pairs) {
        if (instruction) {
            pairs.push_back({pair.address, 0}); // read once the cycle has ended
            continue;
        }
        master_.Write(pair.address, pair.value, AccessOrigin::Host);
        if (StartsTransfer(pair)) {
            instruction = pairs.size();
            pairs.push_back({pair.address, 0});
            continue;
        }
        pairs.push_back({pair.address, master_.Read(pair.address, AccessOrigin::Adapter)});
    }
    if (!instruction) {
        Queue(request, master_.Read(reg::kStatus, AccessOrigin::Adapter), pairs);
        return;
    }

    if (!answersBeforeEnd_)
        WaitForEnd(patience_);
    std::vector<RegisterPair> tail(pairs.begin() + static_cast<std::ptrdiff_t>(*instruction), pairs.end());
    RefreshAfterEnd(tail);
    std::copy(tail.begin(), tail.end(), pairs.begin() + static_cast<std::ptrdiff_t>(*instruction));
    const uint8_t status = master_.Read(reg::kStatus, AccessOrigin::Adapter);
    Queue(request, status, pairs);
    if (!(status & status::kEndOfCycle))
        followUp_ = FollowUp{request, std::move(pairs), *instruction};
}

void SimUsbAdapter::StartStream(const Request &request)
{
    master_.Write(request.pairs.front().address, request.pairs.front().value, AccessOrigin::Host);
    streamRequest_ = request;
    streaming_ = true;
    framesStreamed_ = 0;
}

bool SimUsbAdapter::WaitForEnd(unsigned polls)
{
    for (unsigned i = 0; i < polls; ++i)
        if (master_.Read(reg::kStatus, AccessOrigin::Adapter) & status::kEndOfCycle)
            return true;
    return false;
}

void SimUsbAdapter::RefreshAfterEnd(std::vector<RegisterPair> &pairs)
{
    // pairs[0] is the instruction register; the rest were asked for reading.
    pairs[0].value = master_.Read(reg::kInstruction, AccessOrigin::Adapter);
    for (size_t i = 1; i < pairs.size(); ++i)
        pairs[i].value = master_.Read(pairs[i].address, AccessOrigin::Host);
}

void SimUsbAdapter::PollFollowUp()
{
    if (!followUp_ || !WaitForEnd(std::max(patience_, 1u)))
        return;
    FollowUp late = std::move(*followUp_);
    followUp_.reset();
    std::vector<RegisterPair> tail(late.pairs.begin() + static_cast<std::ptrdiff_t>(late.instruction),
                                   late.pairs.end());
    RefreshAfterEnd(tail);
    std::copy(tail.begin(), tail.end(), late.pairs.begin() + static_cast<std::ptrdiff_t>(late.instruction));
    Queue(late.request, master_.Read(reg::kStatus, AccessOrigin::Adapter), late.pairs);
}

void SimUsbAdapter::Queue(const Request &request, uint8_t status, const std::vector<RegisterPair> &pairs)
{
    std::vector<uint8_t> response = adapter::BuildResponse(request, status, pairs);
    // Below high speed an answer is one packet.
    if (response.size() > MaxPacketSize(identity_))
        response.resize(MaxPacketSize(identity_));
    responses_.push_back(std::move(response));
}

void SimUsbAdapter::FillStreamPacket()
{
    const size_t dataRegisters = streamRequest_.pairs.size() - 1;
    const size_t framesPerPacket = adapter::StreamFramesPerPacket(adapter::StreamFrameSize(dataRegisters));
    streamBytes_.clear();
    streamOffset_ = 0;
    for (size_t k = 0; k < framesPerPacket; ++k) {
        if (gapMissing_ && framesStreamed_ == gapAfter_) {
            for (uint32_t m = 0; m < gapMissing_; ++m)
                master_.RunAutomaticFrame();
            gapMissing_ = 0;
        }
        if (!master_.RunAutomaticFrame())
            break;
        const uint32_t number = master_.FrameNumber();
        const uint8_t status = master_.Read(reg::kStatus, AccessOrigin::Adapter);
        std::vector<RegisterPair> pairs = {
            {reg::kInstruction, master_.Read(reg::kInstruction, AccessOrigin::Adapter)}};
        for (size_t i = 1; i < streamRequest_.pairs.size(); ++i) {
            const uint8_t address = streamRequest_.pairs[i].address;
            pairs.push_back({address, master_.Read(address, AccessOrigin::Host)});
        }
        const std::vector<uint8_t> frame = adapter::BuildStreamFrame(streamRequest_, number, status, pairs);
        streamBytes_.insert(streamBytes_.end(), frame.begin(), frame.end());
        ++framesStreamed_;
    }
    if (!streamBytes_.empty())
        Charge();
}

bool SimUsbAdapter::SendResponse(size_t maxLength, std::vector<uint8_t> &out)
{
    if (streaming_) {
        if (streamOffset_ >= streamBytes_.size())
            FillStreamPacket();
        if (streamOffset_ >= streamBytes_.size())
            return false;
        const size_t count = std::min(maxLength, streamBytes_.size() - streamOffset_);
        out.assign(streamBytes_.begin() + static_cast<std::ptrdiff_t>(streamOffset_),
                   streamBytes_.begin() + static_cast<std::ptrdiff_t>(streamOffset_ + count));
        streamOffset_ += count;
    } else {
        if (responses_.empty())
            PollFollowUp();
        if (responses_.empty())
            return false;
        out = std::move(responses_.front());
        responses_.pop_front();
        if (out.size() > maxLength)
            out.resize(maxLength);
    }
    trace_.RecordAdapterFrame(TraceKind::AdapterResponse, out.data(), out.size());
    return true;
}

void SimUsbAdapter::Charge()
{
    if (clock_)
        clock_->Advance(transferCost_);
}

} // namespace sim::biss
