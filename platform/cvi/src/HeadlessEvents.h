// The event source without windows: waiting lets the clock reach the next deadline, and input
// scheduled for a moment of the clock is given when the clock gets there.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "RuntimeHost.h"
#include "cvi/Services.h"

namespace cvi {

class HeadlessEvents final : public EventSource {
public:
    explicit HeadlessEvents(Clock &clock) : clock_(clock) {}

    // Runs the action when a wait reaches the time (at once if the time has passed).
    void Schedule(std::int64_t timeUs, std::function<void()> action);
    bool HasScheduled() const { return !scheduled_.empty(); }

    bool WaitForInput(std::optional<std::int64_t> deadlineUs) override;
    void PumpInput() override {}
    void PumpDrawing() override {}

private:
    Clock &clock_;
    std::multimap<std::int64_t, std::function<void()>> scheduled_;
};

} // namespace cvi
