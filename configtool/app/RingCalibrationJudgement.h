// How the guided ring calibration judges what it measured: the level deviation and the exactness
// factor (VEF) of each direction from the means of the two signal values, whether the ring passes,
// and by how many steps the interpolator's zero position is to move.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

// The level the two signal values are judged against, by the resolution index of the system page;
// 0 for an unknown index.
double CalibrationReferenceLevel(std::int32_t resolutionIndex);

struct DirectionJudgement {
    double deviation = 0.0; // r, in percent
    double vef = 0.0;       // v, in percent
};

// From the first n samples of each signal (n = the shorter span); means of 0 without samples.
DirectionJudgement JudgeDirection(std::span<const double> first, std::span<const double> second,
                                  double reference);

// Both directions within the limits for a ring of that many poles.
bool CalibrationAccepted(unsigned poles, const DirectionJudgement &forward, const DirectionJudgement &backward);

inline constexpr int kLargestZpos = 31;

// The ZPOS steps (-2 to 2) that make up for a difference between the directions; 0 when they
// agree. None when no rule applies or the correction would leave ZPOS's range 0-31.
std::optional<int> ZposCorrection(const DirectionJudgement &forward, const DirectionJudgement &backward,
                                  std::int32_t zpos);
