// The USB adapter's firmware: request frames on bulk OUT 0x02 become master
// register accesses, answered by response frames on bulk IN 0x81.
//
// - 0x15 reads each listed register; 0x25 writes each and reads it back.
//   A write of 0xF4 with an instruction that starts a transfer (any of its low
//   five bits set, or 0) makes the firmware wait for the end of the cycle;
//   the pairs after it are read, not written, once the cycle has ended. When
//   the cycle has not ended in time, the firmware answers at once and once
//   more when it ends.
// - 0xA7 starts automatic frames and streams one frame record per frame,
//   packed into packets of up to 512 bytes, until the next request.
// - Below high speed every response is one 64-byte packet: a longer one is cut.
// - Malformed requests are dropped without an answer.
#pragma once

#include "AdapterFrames.h"
#include "AdapterIdentity.h"
#include "SimBissMaster.h"
#include "SimClock.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim::biss {

class SimUsbAdapter {
public:
    static constexpr uint8_t kOutEndpoint = 0x02;
    static constexpr uint8_t kInEndpoint = 0x81;

    SimUsbAdapter(SimBissMaster &master, AdapterIdentity identity);
    SimUsbAdapter(const SimUsbAdapter &) = delete;
    SimUsbAdapter &operator=(const SimUsbAdapter &) = delete;

    const AdapterIdentity &Identity() const { return identity_; }

    // Bulk OUT 0x02: one request frame.
    void ReceiveRequest(const uint8_t *data, size_t length);
    // Bulk IN 0x81: the next response or stream packet, at most maxLength
    // bytes. False when the adapter has nothing to send (the host's read
    // times out).
    bool SendResponse(size_t maxLength, std::vector<uint8_t> &out);

    // Status polls the firmware spends waiting for a cycle to end before it
    // answers (and again each time the host asks for a late answer).
    void SetPatience(unsigned polls) { patience_ = polls; }
    // Answer a transfer-starting write at once and send the end as a second response.
    void SetAnswersBeforeEnd(bool early) { answersBeforeEnd_ = early; }
    // In a stream, after `afterFrames` delivered frames, `missing` frames run
    // on the chip without reaching the host.
    void SetStreamGap(uint32_t afterFrames, uint32_t missing);
    // Virtual time each request and each stream packet costs (default: one
    // microframe at high speed, one frame at full speed).
    void SetClock(SimClock *clock) { clock_ = clock; }
    void SetTransferCost(uint64_t microseconds) { transferCost_ = microseconds; }

    bool TtlEnabled() const { return ttl_; }
    bool Streaming() const { return streaming_; }
    size_t PendingResponses() const { return responses_.size(); }
    unsigned MalformedRequests() const { return malformed_; }

private:
    struct FollowUp {
        adapter::Request request;
        std::vector<adapter::RegisterPair> pairs;
        size_t instruction = 0; // index of the 0xF4 pair; the pairs after it are read
    };

    void ServeRead(const adapter::Request &request);
    void ServeWrite(const adapter::Request &request);
    void StartStream(const adapter::Request &request);
    bool WaitForEnd(unsigned polls);
    void RefreshAfterEnd(std::vector<adapter::RegisterPair> &pairs);
    void PollFollowUp();
    void Queue(const adapter::Request &request, uint8_t status, const std::vector<adapter::RegisterPair> &pairs);
    void FillStreamPacket();
    void Charge();

    SimBissMaster &master_;
    const AdapterIdentity identity_;
    SimTrace &trace_;
    std::deque<std::vector<uint8_t>> responses_;
    std::optional<FollowUp> followUp_;

    bool streaming_ = false;
    adapter::Request streamRequest_;
    std::vector<uint8_t> streamBytes_;
    size_t streamOffset_ = 0;
    uint32_t framesStreamed_ = 0;
    uint32_t gapAfter_ = 0;
    uint32_t gapMissing_ = 0;

    unsigned patience_ = 8;
    bool answersBeforeEnd_ = false;
    bool ttl_ = false;
    unsigned malformed_ = 0;
    SimClock *clock_ = nullptr;
    uint64_t transferCost_;
};

} // namespace sim::biss
