#include "RingCalibrationJudgement.h"

#include <algorithm>
#include <cmath>
#include <numeric>

double CalibrationReferenceLevel(std::int32_t resolutionIndex)
{
    switch (resolutionIndex) {
    case 0: return 128.0;
    case 1: return 250.0;
    case 2: return 250.0;
    case 3: return 200.0;
    case 4: return 100.0;
    default: return 0.0;
    }
}

DirectionJudgement JudgeDirection(std::span<const double> first, std::span<const double> second, double reference)
{
    const std::size_t n = std::min(first.size(), second.size());
    double meanA = 0.0;
    double meanB = 0.0;
    if (n >= 1) {
        meanA = std::accumulate(first.begin(), first.begin() + static_cast<std::ptrdiff_t>(n), 0.0) / static_cast<double>(n);
        meanB = std::accumulate(second.begin(), second.begin() + static_cast<std::ptrdiff_t>(n), 0.0) / static_cast<double>(n);
    }
    DirectionJudgement judged;
    judged.deviation = std::fabs(((meanA + meanB) / 2) / (reference / 2) - 1) * 100;
    judged.vef = (1 - ((meanB / reference - meanA / reference) + std::fabs(meanA / reference + meanB / reference - 1))) * 100;
    return judged;
}

bool CalibrationAccepted(unsigned poles, const DirectionJudgement &forward, const DirectionJudgement &backward)
{
    const double deviation = forward.deviation + backward.deviation;
    const double meanVef = (forward.vef + backward.vef) / 2;
    const double meanLimit = poles < 300 ? 35.0 : 45.0;
    const double directionLimit = poles < 300 ? 25.0 : 30.0;
    return deviation < 55.0 && meanVef > meanLimit && forward.vef > directionLimit && backward.vef > directionLimit;
}

std::optional<int> ZposCorrection(const DirectionJudgement &forward, const DirectionJudgement &backward,
                                  std::int32_t zpos)
{
    if (std::fabs(forward.vef - backward.vef) < 10.0)
        return 0;
    const double deviation = forward.deviation + backward.deviation;
    int steps = 0;
    if (deviation >= 15.0 && deviation < 37.5)
        steps = 1;
    else if (deviation >= 37.5 && deviation < 55.0)
        steps = 2;
    if (steps == 0 || forward.deviation == backward.deviation)
        return std::nullopt;
    const int correction = forward.deviation > backward.deviation ? -steps : steps;
    // The list of zero positions ends at both sides.
    if (zpos + correction < 0 || zpos + correction > kLargestZpos)
        return std::nullopt;
    return correction;
}
