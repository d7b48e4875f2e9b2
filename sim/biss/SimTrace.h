// What happened on the simulated hardware, in order: every master register
// access, every BiSS frame with its control bits, and every adapter request
// and response frame. Tests compare slices of it with the traces the
// protocol prescribes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim::biss {

enum class TraceKind : uint8_t {
    RegisterRead,
    RegisterWrite,
    Frame,
    AdapterRequest,
    AdapterResponse,
};

// Who touched a master register: the host (a request pair, or a back end that
// reaches the chip directly) or the adapter firmware on its own (status polls,
// waiting for an instruction to end).
enum class AccessOrigin : uint8_t { Host, Adapter };

// Why a frame ran.
enum class FrameKind : uint8_t {
    Single,    // instruction 2, 4 or 6
    StartUp,   // instruction 0x10
    Assisted,  // part of a master-assisted register access or command
    Automatic, // automatic frames (instruction bit 0)
};

struct TraceEvent {
    TraceKind kind = TraceKind::RegisterRead;
    // Register accesses.
    uint8_t address = 0;
    uint8_t value = 0;
    AccessOrigin origin = AccessOrigin::Host;
    // Frames.
    uint32_t frameNumber = 0;
    FrameKind frameKind = FrameKind::Single;
    uint8_t instruction = 0;
    bool cdm = false;
    bool cds = false;
    bool answered = false;
    // Adapter frames.
    std::vector<uint8_t> bytes;
};

class SimTrace {
public:
    void RecordRead(uint8_t address, uint8_t value, AccessOrigin origin);
    void RecordWrite(uint8_t address, uint8_t value, AccessOrigin origin);
    void RecordFrame(uint32_t number, FrameKind kind, uint8_t instruction, bool cdm, bool cds,
                     bool answered);
    void RecordAdapterFrame(TraceKind kind, const uint8_t *data, size_t length);

    // Off: nothing is recorded (long runs, benchmarks).
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    void Clear() { events_.clear(); }

    const std::vector<TraceEvent> &Events() const { return events_; }
    std::vector<TraceEvent> Select(TraceKind kind) const;
    std::vector<TraceEvent> Frames(FrameKind kind) const;
    // Register accesses of one origin, reads and writes in order.
    std::vector<TraceEvent> Accesses(AccessOrigin origin) const;
    // The CDM bits, then the CDS bits, of the frames in order.
    std::vector<bool> CdmBits() const;
    std::vector<bool> CdsBits() const;

private:
    bool enabled_ = true;
    std::vector<TraceEvent> events_;
};

} // namespace sim::biss
