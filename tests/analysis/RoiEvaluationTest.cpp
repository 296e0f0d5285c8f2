#include "analysis/RoiEvaluation.h"
#include "analysis/CalibrationFunctions.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

TPeakEntry Line(std::uint16_t energy, float probability) {
    TPeakEntry peak{};
    SetPeakName(peak, "Cs-137");
    peak.Energy = energy;
    peak.Probability = probability;
    peak.Limit = 0;
    return peak;
}

// Efficiency 0.02 at every energy above 10 keV.
constexpr TEfficiencyCalibration FlatEfficiency{0.02f, 0, 10, 0};

struct ActivityCase {
    const char* name;
    TPeakEntry peak;
    std::int64_t time;
    TEfficiencyCalibration rcal;
    double weight;
    bool fails;
};

class ActivityOfCountsTest : public ::testing::TestWithParam<ActivityCase> {};

TEST_P(ActivityOfCountsTest, ComputesOrFailsLeavingActivity) {
    const ActivityCase& c = GetParam();
    double activity = -7;
    EXPECT_EQ(ActivityOfCounts(c.peak, c.time, c.rcal, 1000, c.weight, activity), c.fails);
    if (c.fails) {
        EXPECT_EQ(activity, -7);
    } else {
        // 1000 counts / 3600 s / 0.02 / 0.85 / 0.5 kg
        EXPECT_NEAR_REL(activity,
                        1000.0 / 3600 / static_cast<double>(0.02f) /
                            (static_cast<double>(85.0f) / 100) / 0.5,
                        1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ActivityOfCountsTest,
                         ::testing::Values(ActivityCase{.name = "Valid",
                                                        .peak = Line(662, 85),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = false},
                                           ActivityCase{.name = "ZeroTime",
                                                        .peak = Line(662, 85),
                                                        .time = 0,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "ZeroWeight",
                                                        .peak = Line(662, 85),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0,
                                                        .fails = true},
                                           ActivityCase{.name = "ZeroProbability",
                                                        .peak = Line(662, 0),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "NegativeEfficiency",
                                                        .peak = Line(662, 85),
                                                        .time = 3600,
                                                        .rcal = {-0.02f, 0, 10, 0},
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "NaNEfficiency",
                                                        .peak = Line(662, 85),
                                                        .time = 3600,
                                                        .rcal = {NaN, 0, 10, 0},
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "InfiniteResult",
                                                        .peak = Line(662, 85),
                                                        .time = 1,
                                                        .rcal = {1e-45f, 0, 10, 0},
                                                        .weight = 1e-300,
                                                        .fails = true}),
                         [](const auto& info) { return info.param.name; });

TEST(PeakActivityTest, UsesSampleTimeWeightAndChecksIndex) {
    TSampleFile sample{};
    sample.PeakList.Size = 1;
    sample.PeakList.Peak[0] = Line(662, 85);
    sample.Calibration.RCal = FlatEfficiency;
    sample.Sample.Parameter.SampleInterval = 3600;
    sample.Sample.Parameter.Weight = 0.5f;
    double activity = 0;
    double expected = 0;
    ASSERT_FALSE(ActivityOfCounts(Line(662, 85), 3600, FlatEfficiency, 1000, 0.5, expected));
    EXPECT_FALSE(PeakActivity(sample, 0, 1000, activity));
    EXPECT_EQ(activity, expected);
    EXPECT_TRUE(PeakActivity(sample, 1, 1000, activity));
    EXPECT_TRUE(PeakActivity(sample, -1, 1000, activity));
    sample.PeakList.Size = 200; // beyond the 16 entries
    EXPECT_TRUE(PeakActivity(sample, 16, 1000, activity));
}

} // namespace
