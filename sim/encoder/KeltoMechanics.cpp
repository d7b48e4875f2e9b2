#include "KeltoMechanics.h"

#include <cmath>

namespace sim::kelto {

void KeltoMechanics::SetClock(const biss::SimClock *clock)
{
    Rebase();
    clock_ = clock;
    since_ = Seconds();
}

void KeltoMechanics::MountScale()
{
    ringPoles_ = 0;
    SetPosition(0.0);
}

void KeltoMechanics::MountRing(uint16_t poles)
{
    ringPoles_ = poles;
    SetPosition(0.0);
}

void KeltoMechanics::SetPosition(double position)
{
    motion_ = nullptr;
    frameMotion_ = nullptr;
    start_ = position;
    since_ = Seconds();
    frames_ = 0;
}

void KeltoMechanics::SetSpeed(double perSecond)
{
    Rebase();
    speed_ = perSecond;
}

void KeltoMechanics::SetStepPerFrame(double perFrame)
{
    Rebase();
    perFrame_ = perFrame;
}

void KeltoMechanics::SetMotion(std::function<double(double)> motion)
{
    Rebase();
    speed_ = 0.0;
    perFrame_ = 0.0;
    motion_ = std::move(motion);
}

void KeltoMechanics::SetFrameMotion(std::function<double(uint64_t)> motion)
{
    Rebase();
    speed_ = 0.0;
    perFrame_ = 0.0;
    frameMotion_ = std::move(motion);
}

double KeltoMechanics::Seconds() const
{
    return clock_ ? static_cast<double>(clock_->NowMicroseconds()) / 1e6 : 0.0;
}

double KeltoMechanics::RawPosition() const
{
    const double elapsed = Seconds() - since_;
    if (motion_)
        return motion_(elapsed);
    if (frameMotion_)
        return frameMotion_(frames_);
    return start_ + speed_ * elapsed + perFrame_ * static_cast<double>(frames_);
}

// The position reached so far becomes the new starting point.
void KeltoMechanics::Rebase()
{
    start_ = RawPosition();
    since_ = Seconds();
    frames_ = 0;
    motion_ = nullptr;
    frameMotion_ = nullptr;
}

double KeltoMechanics::Position() const
{
    const double position = RawPosition();
    if (!Rotary())
        return position;
    const double angle = std::fmod(position, 360.0);
    return angle < 0 ? angle + 360.0 : angle;
}

double KeltoMechanics::Circumference() const { return ringPoles_ * kPoleLength; }

double KeltoMechanics::Travel() const
{
    if (!Rotary())
        return Position();
    return Position() / 360.0 * Circumference();
}

} // namespace sim::kelto
