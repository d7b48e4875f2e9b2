// Judging a ring calibration from the means of its two signal values: deviation and VEF, the
// pass marks by pole count, and the zero-position correction with its range.
#include <gtest/gtest.h>

#include <vector>

#include "RingCalibrationJudgement.h"

TEST(RingCalibrationJudgement, DeviationAndVefFromTheMeans)
{
    EXPECT_EQ(CalibrationReferenceLevel(0), 128.0);
    EXPECT_EQ(CalibrationReferenceLevel(1), 250.0);
    EXPECT_EQ(CalibrationReferenceLevel(3), 200.0);
    EXPECT_EQ(CalibrationReferenceLevel(4), 100.0);
    EXPECT_EQ(CalibrationReferenceLevel(7), 0.0);

    // Means 120 and 130 against 250, out of samples that scatter around them.
    const std::vector<double> a = {119, 121, 120, 118, 122};
    const std::vector<double> b = {131, 129, 130, 132, 128, 255}; // the extra sample is not used
    const DirectionJudgement judged = JudgeDirection(a, b, 250.0);
    EXPECT_NEAR(judged.deviation, 0.0, 1e-9);
    EXPECT_NEAR(judged.vef, 96.0, 1e-9);

    const DirectionJudgement low = JudgeDirection(std::vector<double>{100}, std::vector<double>{100}, 250.0);
    EXPECT_NEAR(low.deviation, 20.0, 1e-9);
    EXPECT_NEAR(low.vef, 80.0, 1e-9);

    const DirectionJudgement none = JudgeDirection({}, {}, 250.0);
    EXPECT_EQ(none.deviation, 100.0);
    EXPECT_EQ(none.vef, 0.0);
    // An unknown resolution judges nothing good.
    EXPECT_FALSE(CalibrationAccepted(350, JudgeDirection(a, b, 0.0), judged));
}

TEST(RingCalibrationJudgement, PassMarksDependOnThePoleCount)
{
    struct Case {
        unsigned poles;
        double rF, vF, rB, vB;
        bool accepted;
    };
    const Case cases[] = {
        {298, 0, 40, 0, 40, true},   {300, 0, 40, 0, 40, false},  {300, 0, 46, 0, 46, true},
        {298, 0, 26, 0, 50, true},   {298, 0, 25, 0, 50, false},  {300, 0, 31, 0, 60, true},
        {300, 0, 30, 0, 70, false},  {350, 30, 90, 24.9, 90, true}, {350, 30, 90, 25, 90, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CalibrationAccepted(c.poles, {c.rF, c.vF}, {c.rB, c.vB}), c.accepted)
            << c.poles << " " << c.rF << "/" << c.vF << " " << c.rB << "/" << c.vB;
    }
}

TEST(RingCalibrationJudgement, ZeroPositionCorrection)
{
    struct Case {
        double rF, vF, rB, vB;
        int zpos;
        std::optional<int> correction;
    };
    const Case cases[] = {
        {10, 80, 12, 68, 10, 1},              // R = 22, backward deviates more
        {12, 80, 10, 68, 10, -1},
        {20, 80, 18, 92, 10, -2},             // R = 38
        {18, 80, 20, 92, 10, 2},
        {5, 80, 5, 68, 10, std::nullopt},     // R = 10: no rule
        {11, 80, 11, 68, 10, std::nullopt},   // equal deviations
        {30, 80, 26, 68, 10, std::nullopt},   // R = 56
        {10, 80, 5, 75.5, 10, 0},             // the directions agree
        {10, 80, 12, 68, 31, std::nullopt},   // past the last zero position
        {12, 80, 10, 68, 0, std::nullopt},    // before the first
        {20, 80, 18, 92, 1, std::nullopt},
        {18, 80, 20, 92, 29, 2},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(ZposCorrection({c.rF, c.vF}, {c.rB, c.vB}, c.zpos), c.correction)
            << c.rF << "/" << c.vF << " " << c.rB << "/" << c.vB << " z " << c.zpos;
    }
}
