#include "calibration/CalibrationToolMath.h"

#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <vector>

namespace {

constexpr std::int32_t MaxCount = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MinCount = std::numeric_limits<std::int32_t>::min();

TCalSpectrum SpectrumOf(const std::vector<std::int32_t>& counts, std::int32_t offset = 0) {
    TCalSpectrum s;
    s.Size = static_cast<std::int32_t>(counts.size());
    s.Offset = offset;
    s.AdcResolution = 256;
    s.RefVoltage = 2000;
    std::copy(counts.begin(), counts.end(), s.Channels.begin());
    return s;
}

// --- FindMaximum and SumCounts -------------------------------------------------

struct MaximumCase {
    const char* Name;
    TCalSpectrum Spectrum;
    TChannelMaximum Expected;
    std::int64_t Sum;
};

void PrintTo(const MaximumCase& c, std::ostream* os) {
    *os << c.Name;
}

class MaximumAndSumTest : public ::testing::TestWithParam<MaximumCase> {};

TEST_P(MaximumAndSumTest, ReadsOnlyTheChannelsInUse) {
    const MaximumCase& c = GetParam();
    const TChannelMaximum m = FindMaximum(c.Spectrum);
    EXPECT_EQ(m.Index, c.Expected.Index);
    EXPECT_EQ(m.Value, c.Expected.Value);
    EXPECT_EQ(SumCounts(c.Spectrum), c.Sum);
}

TCalSpectrum NotLoadedWithStaleChannels() {
    TCalSpectrum s = SpectrumOf({5, 6});
    s.Size = -1;
    return s;
}

TCalSpectrum SizeBeyondTheArray() {
    TCalSpectrum s;
    s.Channels.fill(MaxCount);
    s.Size = 100000;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Table, MaximumAndSumTest,
    ::testing::Values(MaximumCase{.Name = "NotLoaded",
                                  .Spectrum = NotLoadedWithStaleChannels(),
                                  .Expected = {-1, 0},
                                  .Sum = 0},
                      MaximumCase{.Name = "NoPositiveCount",
                                  .Spectrum = SpectrumOf({0, -3, 0}),
                                  .Expected = {-1, 0},
                                  .Sum = -3},
                      MaximumCase{.Name = "FirstOfEqualMaxima",
                                  .Spectrum = SpectrumOf({1, 7, 3, 7}),
                                  .Expected = {1, 7},
                                  .Sum = 18},
                      // Channels beyond Size are not looked at.
                      MaximumCase{.Name = "StaleChannelBeyondSize",
                                  .Spectrum =
                                      [] {
                                          TCalSpectrum s = SpectrumOf({1, 2, 99});
                                          s.Size = 2;
                                          return s;
                                      }(),
                                  .Expected = {1, 2},
                                  .Sum = 3},
                      // A Size beyond the array reads the 4097 channels only; the sum does
                      // not overflow.
                      MaximumCase{.Name = "SizeBeyondArrayOfLargeCounts",
                                  .Spectrum = SizeBeyondTheArray(),
                                  .Expected = {0, MaxCount},
                                  .Sum = std::int64_t(MaxCount) * CalChannels}),
    [](const auto& info) { return info.param.Name; });

// --- CountQuantile and PeakMeanSigma ------------------------------------------

struct QuantileCase {
    const char* Name;
    TCalSpectrum Spectrum;
    double P;
    double Expected;
};

void PrintTo(const QuantileCase& c, std::ostream* os) {
    *os << c.Name;
}

class CountQuantileTest : public ::testing::TestWithParam<QuantileCase> {};

TEST_P(CountQuantileTest, InterpolatesInsideTheChannel) {
    const QuantileCase& c = GetParam();
    EXPECT_DOUBLE_EQ(CountQuantile(c.Spectrum, c.P), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CountQuantileTest,
    ::testing::Values(
        // Target 5 reached in channel 1 with 3 of its 4 counts: 1 + 3/4.
        QuantileCase{
            .Name = "InsideChannel", .Spectrum = SpectrumOf({2, 4, 4}), .P = 0.5, .Expected = 1.75},
        // The sum reaches the target exactly at the end of channel 0.
        QuantileCase{
            .Name = "AtChannelEnd", .Spectrum = SpectrumOf({5, 0, 5}), .P = 0.5, .Expected = 1},
        QuantileCase{
            .Name = "NoCounts", .Spectrum = SpectrumOf({0, 0, 0}), .P = 0.5, .Expected = 0},
        QuantileCase{
            .Name = "NegativeTotal", .Spectrum = SpectrumOf({3, -9, 2}), .P = 0.5, .Expected = 0},
        QuantileCase{.Name = "NotLoaded", .Spectrum = TCalSpectrum{}, .P = 0.5, .Expected = 0},
        // A 32-bit running sum would overflow in channel 1.
        QuantileCase{.Name = "CountsBeyond32BitTotal",
                     .Spectrum = SpectrumOf({MaxCount, MaxCount, MaxCount}),
                     .P = 0.5,
                     .Expected = 1.5},
        // A fraction above 1 stops at the last channel instead of reading on,
        // and extrapolates from it: 1 + (4 - (8 - 16)) / 4.
        QuantileCase{
            .Name = "FractionAboveOne", .Spectrum = SpectrumOf({4, 4}), .P = 2, .Expected = 4}),
    [](const auto& info) { return info.param.Name; });

TEST(PeakMeanSigmaTest, SymmetricTriangleIsCentredInItsMiddleChannel) {
    const TPeakLocation peak = PeakMeanSigma(SpectrumOf({0, 1, 2, 3, 4, 3, 2, 1, 0}));
    EXPECT_DOUBLE_EQ(peak.Mean, 4.5);
    EXPECT_GT(peak.Sigma, 1);
    EXPECT_LT(peak.Sigma, 2);
}

TEST(PeakMeanSigmaTest, GaussianLineGivesItsCentreAndWidth) {
    std::vector<std::int32_t> counts(200);
    for (int i = 0; i < 200; ++i) {
        const double z = (i + 0.5 - 90.5) / 6;
        counts[i] = static_cast<std::int32_t>(std::lround(1e6 * std::exp(-0.5 * z * z)));
    }
    const TPeakLocation peak = PeakMeanSigma(SpectrumOf(counts));
    EXPECT_NEAR(peak.Mean, 90.5, 1e-3);
    EXPECT_NEAR(peak.Sigma, 6, 0.05);
}

TEST(GaussDensityTest, PeakValueAndNoWidth) {
    EXPECT_DOUBLE_EQ(GaussDensity(3, 2, 3), 0.5 / 2.506628);
    EXPECT_DOUBLE_EQ(GaussDensity(3, 2, 5), std::exp(-0.5) * 0.5 / 2.506628);
    EXPECT_EQ(GaussDensity(3, 0, 3), 0);
    EXPECT_EQ(GaussDensity(3, -1, 3), 0);
}

// --- CopyRoiChannels ------------------------------------------------------------

struct CopyCase {
    const char* Name;
    std::int32_t First, End;
    std::int32_t Size, Offset;
    std::vector<std::int32_t> Head; // expected first channels of the copy
};

void PrintTo(const CopyCase& c, std::ostream* os) {
    *os << c.Name;
}

class CopyRoiChannelsTest : public ::testing::TestWithParam<CopyCase> {};

TEST_P(CopyRoiChannelsTest, CopiesInsideTheArrayOnly) {
    const CopyCase& c = GetParam();
    TCalSpectrum source = SpectrumOf({}, 10);
    for (int i = 0; i < CalChannels; ++i) {
        source.Channels[i] = i + 1;
    }
    source.Size = 4096;
    source.LifeTime = 600;
    TCalSpectrum dest;
    dest.LifeTime = 77;
    CopyRoiChannels(c.First, c.End, source, dest);
    EXPECT_EQ(dest.Size, c.Size);
    EXPECT_EQ(dest.Offset, c.Offset);
    EXPECT_EQ(dest.AdcResolution, 256);
    EXPECT_EQ(dest.RefVoltage, 2000);
    EXPECT_EQ(dest.LifeTime, 77);
    for (std::size_t j = 0; j < c.Head.size(); ++j) {
        EXPECT_EQ(dest.Channels[j], c.Head[j]) << "channel " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, CopyRoiChannelsTest,
    ::testing::Values(
        CopyCase{
            .Name = "Inside", .First = 5, .End = 8, .Size = 3, .Offset = 15, .Head = {6, 7, 8}},
        // Before the first click the markers are -1; "<>" makes a ROI from -1.
        CopyCase{.Name = "StartsBeforeTheArray",
                 .First = -1,
                 .End = 2,
                 .Size = 3,
                 .Offset = 9,
                 .Head = {0, 1, 2}},
        CopyCase{.Name = "EndsAtTheArrayEnd",
                 .First = 4095,
                 .End = 4097,
                 .Size = 2,
                 .Offset = 4105,
                 .Head = {4096, 4097}},
        CopyCase{.Name = "EndsBeyondTheArray",
                 .First = 4096,
                 .End = 4100,
                 .Size = 4,
                 .Offset = 4106,
                 .Head = {4097, 0, 0, 0}},
        CopyCase{.Name = "LongerThanTheArray",
                 .First = -5,
                 .End = 5000,
                 .Size = CalChannels,
                 .Offset = 5,
                 .Head = {0, 0, 0, 0, 0, 1}},
        CopyCase{.Name = "Empty", .First = -1, .End = -1, .Size = 0, .Offset = 9, .Head = {}},
        CopyCase{.Name = "Reversed", .First = 9, .End = 3, .Size = 0, .Offset = 19, .Head = {}}),
    [](const auto& info) { return info.param.Name; });

// --- SubtractRoiBaseline --------------------------------------------------------

struct BaselineCase {
    const char* Name;
    std::vector<std::int32_t> Roi;
    std::vector<std::int32_t> Net;
};

void PrintTo(const BaselineCase& c, std::ostream* os) {
    *os << c.Name;
}

class SubtractRoiBaselineTest : public ::testing::TestWithParam<BaselineCase> {};

TEST_P(SubtractRoiBaselineTest, NetCounts) {
    const BaselineCase& c = GetParam();
    const TCalSpectrum roi = SpectrumOf(c.Roi, 40);
    TCalSpectrum net;
    net.Channels.fill(-7);
    net.LifeTime = 5;
    SubtractRoiBaseline(roi, net);
    EXPECT_EQ(net.Size, static_cast<std::int32_t>(c.Roi.size()));
    EXPECT_EQ(net.Offset, 40);
    EXPECT_EQ(net.LifeTime, 5);
    EXPECT_EQ(std::vector<std::int32_t>(net.Channels.begin(), net.Channels.begin() + c.Net.size()),
              c.Net);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SubtractRoiBaselineTest,
    ::testing::Values(
        BaselineCase{.Name = "Peak", .Roi = {10, 12, 30, 16, 18}, .Net = {0, 0, 16, 0, 0}},
        // Each baseline value rounds half to even: 0.5 -> 0, 1.5 -> 2.
        BaselineCase{.Name = "HalvesToEven", .Roi = {0, 5, 5, 3}, .Net = {0, 4, 3, 0}},
        BaselineCase{.Name = "LinearRiseIsAllZero", .Roi = {3, 6, 9, 12}, .Net = {0, 0, 0, 0}},
        BaselineCase{.Name = "DifferencesSaturate",
                     .Roi = {MinCount, MaxCount, MinCount},
                     .Net = {0, MaxCount, 0}}),
    [](const auto& info) { return info.param.Name; });

TEST(SubtractRoiBaselineTest, TwoChannelsOrFewerLeaveTheNetAsItWas) {
    for (const std::vector<std::int32_t>& counts :
         {std::vector<std::int32_t>{}, std::vector<std::int32_t>{4},
          std::vector<std::int32_t>{4, 9}}) {
        TCalSpectrum net = SpectrumOf({1, 2, 3}, 99);
        const TCalSpectrum before = net;
        SubtractRoiBaseline(SpectrumOf(counts), net);
        EXPECT_EQ(net.Size, before.Size);
        EXPECT_EQ(net.Offset, before.Offset);
        EXPECT_EQ(net.Channels, before.Channels);
    }
}

} // namespace
