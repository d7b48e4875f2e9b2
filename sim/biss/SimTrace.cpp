#include "SimTrace.h"

namespace sim::biss {

void SimTrace::RecordRead(uint8_t address, uint8_t value, AccessOrigin origin)
{
    if (!enabled_)
        return;
    TraceEvent event;
    event.kind = TraceKind::RegisterRead;
    event.address = address;
    event.value = value;
    event.origin = origin;
    events_.push_back(std::move(event));
}

void SimTrace::RecordWrite(uint8_t address, uint8_t value, AccessOrigin origin)
{
    if (!enabled_)
        return;
    TraceEvent event;
    event.kind = TraceKind::RegisterWrite;
    event.address = address;
    event.value = value;
    event.origin = origin;
    events_.push_back(std::move(event));
}

void SimTrace::RecordFrame(uint32_t number, FrameKind kind, uint8_t instruction, bool cdm, bool cds,
                           bool answered)
{
    if (!enabled_)
        return;
    TraceEvent event;
    event.kind = TraceKind::Frame;
    event.frameNumber = number;
    event.frameKind = kind;
    event.instruction = instruction;
    event.cdm = cdm;
    event.cds = cds;
    event.answered = answered;
    events_.push_back(std::move(event));
}

void SimTrace::RecordAdapterFrame(TraceKind kind, const uint8_t *data, size_t length)
{
    if (!enabled_)
        return;
    TraceEvent event;
    event.kind = kind;
    event.bytes.assign(data, data + length);
    events_.push_back(std::move(event));
}

std::vector<TraceEvent> SimTrace::Select(TraceKind kind) const
{
    std::vector<TraceEvent> out;
    for (const auto &event : events_)
        if (event.kind == kind)
            out.push_back(event);
    return out;
}

std::vector<TraceEvent> SimTrace::Frames(FrameKind kind) const
{
    std::vector<TraceEvent> out;
    for (const auto &event : events_)
        if (event.kind == TraceKind::Frame && event.frameKind == kind)
            out.push_back(event);
    return out;
}

std::vector<TraceEvent> SimTrace::Accesses(AccessOrigin origin) const
{
    std::vector<TraceEvent> out;
    for (const auto &event : events_)
        if ((event.kind == TraceKind::RegisterRead || event.kind == TraceKind::RegisterWrite) &&
            event.origin == origin)
            out.push_back(event);
    return out;
}

std::vector<bool> SimTrace::CdmBits() const
{
    std::vector<bool> out;
    for (const auto &event : events_)
        if (event.kind == TraceKind::Frame)
            out.push_back(event.cdm);
    return out;
}

std::vector<bool> SimTrace::CdsBits() const
{
    std::vector<bool> out;
    for (const auto &event : events_)
        if (event.kind == TraceKind::Frame)
            out.push_back(event.cds);
    return out;
}

} // namespace sim::biss
