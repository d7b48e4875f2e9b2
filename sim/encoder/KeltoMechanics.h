// What the encoder head sits over: a linear magnetic scale (position in
// micrometres) or a rotary ring of poles (angle in degrees), still, moving
// at a constant speed, by a step at every frame the encoder sends, or
// following a motion of its own in time or in frames. Poles are 2 mm long on
// both. Time comes from the simulation's clock; without one, time stands
// still.
#pragma once

#include "SimClock.h"

#include <cstdint>
#include <functional>

namespace sim::kelto {

class KeltoMechanics {
public:
    void SetClock(const biss::SimClock *clock);

    void MountScale();
    void MountRing(uint16_t poles);
    bool Rotary() const { return ringPoles_ != 0; }
    uint16_t RingPoles() const { return ringPoles_; }

    // Micrometres on a scale, degrees on a ring.
    void SetPosition(double position);
    // Units per second, from the current position on.
    void SetSpeed(double perSecond);
    // Units per frame sent, from the current position on; adds to the speed.
    void SetStepPerFrame(double perFrame);
    // position(seconds since this call); null stops where it is.
    void SetMotion(std::function<double(double)> motion);
    // position(frames sent since this call); null stops where it is.
    void SetFrameMotion(std::function<double(uint64_t)> motion);
    // The encoder sends a frame.
    void CountFrame() { ++frames_; }

    // The position now: on a ring, the angle within one turn [0, 360).
    double Position() const;
    // The distance travelled under the head, in micrometres: on a ring, within one turn.
    double Travel() const;
    // Circumference of the ring in micrometres (0 on a scale).
    double Circumference() const;

    static constexpr double kPoleLength = 2000.0; // micrometres

private:
    double Seconds() const;
    double RawPosition() const;
    void Rebase();

    const biss::SimClock *clock_ = nullptr;
    uint16_t ringPoles_ = 0;
    double start_ = 0.0;
    double speed_ = 0.0;
    double perFrame_ = 0.0;
    double since_ = 0.0;
    uint64_t frames_ = 0;
    std::function<double(double)> motion_;
    std::function<double(uint64_t)> frameMotion_;
};

} // namespace sim::kelto
