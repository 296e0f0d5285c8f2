#include "analysis/CalibrationFunctions.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

struct EnergyCase {
    const char* name;
    TEnergyCalibration ecal;
    int energy;
    int size;
    double channel;
    bool outside;
};

void PrintTo(const EnergyCase& c, std::ostream* os) {
    *os << c.name;
}

class EnergyToChannelTest : public ::testing::TestWithParam<EnergyCase> {};

TEST_P(EnergyToChannelTest, ChannelAndRange) {
    const EnergyCase& c = GetParam();
    double channel = -12345;
    EXPECT_EQ(EnergyToChannel(c.energy, c.ecal, c.size, channel), c.outside);
    if (std::isnan(c.channel)) {
        EXPECT_TRUE(std::isnan(channel));
    } else if (std::isinf(c.channel)) {
        EXPECT_EQ(channel, c.channel);
    } else {
        EXPECT_NEAR_REL(channel, c.channel, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EnergyToChannelTest,
                         ::testing::Values(EnergyCase{.name = "Linear",
                                                      .ecal = {0, 1, 0, 0},
                                                      .energy = 661,
                                                      .size = 4096,
                                                      .channel = 661,
                                                      .outside = false},
                                           EnergyCase{.name = "SizeIsOutside",
                                                      .ecal = {0, 1, 0, 0},
                                                      .energy = 4096,
                                                      .size = 4096,
                                                      .channel = 4096,
                                                      .outside = true},
                                           EnergyCase{.name = "NegativeWrittenAndOutside",
                                                      .ecal = {-50, 1, 0, 0},
                                                      .energy = 10,
                                                      .size = 4096,
                                                      .channel = -40,
                                                      .outside = true},
                                           EnergyCase{.name = "Cubic",
                                                      .ecal = {1, 2, 0.5f, 0.25f},
                                                      .energy = 2,
                                                      .size = 4096,
                                                      .channel = 0.25 * 8 + 0.5 * 4 + 2 * 2 + 1,
                                                      .outside = false},
                                           EnergyCase{.name = "NaNCoefficient",
                                                      .ecal = {0, NaN, 0, 0},
                                                      .energy = 100,
                                                      .size = 4096,
                                                      .channel = std::nan(""),
                                                      .outside = true},
                                           EnergyCase{
                                               .name = "InfiniteCoefficient",
                                               .ecal = {0, 1, Inf, 0},
                                               .energy = 100,
                                               .size = 4096,
                                               .channel = std::numeric_limits<double>::infinity(),
                                               .outside = true}),
                         [](const auto& info) { return info.param.name; });

struct WidthCase {
    const char* name;
    TPeakWidthCalibration wcal;
    bool byEnergy;
    double energy;
    double channel;
    double width;
    bool outside;
};

void PrintTo(const WidthCase& c, std::ostream* os) {
    *os << c.name;
}

class PeakWidthTest : public ::testing::TestWithParam<WidthCase> {};

TEST_P(PeakWidthTest, WidthAndRange) {
    const WidthCase& c = GetParam();
    double width = -12345;
    const bool outside = c.byEnergy ? PeakWidthAtEnergy(c.wcal, 4096, width, c.energy, c.channel)
                                    : PeakWidthAtChannel(c.wcal, 4096, width, c.channel);
    EXPECT_EQ(outside, c.outside);
    if (std::isfinite(c.width)) {
        EXPECT_NEAR_REL(width, c.width, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, PeakWidthTest,
    ::testing::Values(WidthCase{.name = "KeVToChannels",
                                .wcal = {10, 0, 0},
                                .byEnergy = true,
                                .energy = 1000,
                                .channel = 500,
                                .width = 5,
                                .outside = false},
                      WidthCase{.name = "ZeroEnergy",
                                .wcal = {10, 0, 0},
                                .byEnergy = true,
                                .energy = 0,
                                .channel = 0,
                                .width = std::nan(""),
                                .outside = true},
                      WidthCase{.name = "Quadratic",
                                .wcal = {1, 0.5f, 0.25f},
                                .byEnergy = false,
                                .energy = 0,
                                .channel = 4,
                                .width = 0.25 * 16 + 0.5 * 4 + 1,
                                .outside = false},
                      WidthCase{.name = "Negative",
                                .wcal = {-1, 0, 0},
                                .byEnergy = false,
                                .energy = 0,
                                .channel = 100,
                                .width = -1,
                                .outside = true},
                      // A zero width cannot describe a peak (it would divide by zero later).
                      WidthCase{.name = "Zero",
                                .wcal = {0, 0, 0},
                                .byEnergy = false,
                                .energy = 0,
                                .channel = 100,
                                .width = 0,
                                .outside = true},
                      WidthCase{.name = "ReachesSize",
                                .wcal = {4096, 0, 0},
                                .byEnergy = false,
                                .energy = 0,
                                .channel = 100,
                                .width = 4096,
                                .outside = true},
                      WidthCase{.name = "NaN",
                                .wcal = {NaN, 0, 0},
                                .byEnergy = false,
                                .energy = 0,
                                .channel = 100,
                                .width = std::nan(""),
                                .outside = true}),
    [](const auto& info) { return info.param.name; });

TEST(EfficiencyAtTest, LineBelowAndAtCutMeetsPowerLawAbove) {
    const TEfficiencyCalibration rcal{2, -0.5f, 100, 0.001f};
    const double atCut = EfficiencyAt(rcal, 100);
    EXPECT_NEAR_REL(atCut, 2 * std::pow(100.0, -0.5), 1e-12);
    // At the cut the line is used: a changed slope must not change the value there.
    const TEfficiencyCalibration steeper{2, -0.5f, 100, 0.5f};
    EXPECT_NEAR_REL(EfficiencyAt(steeper, 100), atCut, 1e-12);
    EXPECT_NEAR_REL(EfficiencyAt(rcal, 50), atCut + static_cast<double>(0.001f) * (50 - 100),
                    1e-12);
    EXPECT_NEAR_REL(EfficiencyAt(steeper, 100.5), 2 * std::pow(100.5, -0.5), 1e-12);
}

TEST(ChannelToEnergyTest, NoSlopeGivesTenWhateverTheRest) {
    for (const TEnergyCalibration ecal :
         {TEnergyCalibration{0, 0, 0, 0}, TEnergyCalibration{5, 0, 0.001f, 2},
          TEnergyCalibration{NaN, 0, NaN, NaN}}) {
        double energy = -7;
        EXPECT_EQ(ChannelToEnergy(4096, 0, ecal, energy, 661), EnergyNoSlope);
        EXPECT_EQ(energy, -7);
    }
}

TEST(ChannelToEnergyTest, QuadraticGivesLastMidpoint) {
    double energy = 0;
    EXPECT_EQ(ChannelToEnergy(4096, 0, {0, 1, 0.000001f, 0}, energy, 661), EnergyFound);
    EXPECT_NEAR(energy, 660.59, 0.01);
    EXPECT_NE(energy, std::round(energy));
}

TEST(ChannelToEnergyTest, LinearCalibrationTakesBoundFromLinearPart) {
    double energy = 0;
    EXPECT_EQ(ChannelToEnergy(4096, 0, {10, 2, 0, 0}, energy, 1000), EnergyFound);
    EXPECT_NEAR(energy, 495, 0.5);
    // Channel beyond the spectrum: the last evaluation is out of range.
    EXPECT_EQ(ChannelToEnergy(4096, 0, {0, 1, 0, 0}, energy, 5000), EnergyOutOfRange);
}

TEST(ChannelToEnergyTest, UnusableBoundGivesEleven) {
    double energy = -7;
    // No real root of the quadratic part.
    EXPECT_EQ(ChannelToEnergy(4096, 0, {5000, 1, 1, 0}, energy, 100), EnergyNoBound);
    // NaN coefficient, infinite bound, negative bound: never bisected.
    EXPECT_EQ(ChannelToEnergy(4096, 0, {NaN, 1, 0.001f, 0}, energy, 100), EnergyNoBound);
    EXPECT_EQ(ChannelToEnergy(4096, 0, {-Inf, 1, 0, 0}, energy, 100), EnergyNoBound);
    EXPECT_EQ(ChannelToEnergy(4096, 0, {0, -1, 0, 0}, energy, 100), EnergyNoBound);
    EXPECT_EQ(energy, -7);
}

TEST(ChannelToEnergyTest, HugeBoundStaysSafe) {
    double energy = 0;
    // A bound far beyond the int range: the whole-keV evaluations saturate.
    EXPECT_EQ(ChannelToEnergy(4096, 0, {0, 1e-30f, 0, 0}, energy, 100), EnergyOutOfRange);
    EXPECT_TRUE(std::isfinite(energy));
}

} // namespace
