#include "analysis/RoiEvaluation.h"
#include "analysis/CalibrationFunctions.h"
#include "core/NumberFormat.h"

#include "SampleFixtures.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>

namespace {

// Packed record fields are compared by value: the comparison macros take
// references, which must not bind to possibly misaligned members.
template <typename T> T Value(T v) {
    return v;
}

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

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

void PrintTo(const ActivityCase& c, std::ostream* os) {
    *os << c.name;
}

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
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = false},
                                           ActivityCase{.name = "ZeroTime",
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 0,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "ZeroWeight",
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0,
                                                        .fails = true},
                                           ActivityCase{.name = "ZeroProbability",
                                                        .peak = PeakLine("Cs-137", 662, 0, 0),
                                                        .time = 3600,
                                                        .rcal = FlatEfficiency,
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "NegativeEfficiency",
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 3600,
                                                        .rcal = {-0.02f, 0, 10, 0},
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "NaNEfficiency",
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 3600,
                                                        .rcal = {NaN, 0, 10, 0},
                                                        .weight = 0.5,
                                                        .fails = true},
                                           ActivityCase{.name = "InfiniteResult",
                                                        .peak = PeakLine("Cs-137", 662, 85, 0),
                                                        .time = 1,
                                                        .rcal = {1e-45f, 0, 10, 0},
                                                        .weight = 1e-300,
                                                        .fails = true}),
                         [](const auto& info) { return info.param.name; });

TEST(PeakActivityTest, UsesSampleTimeWeightAndChecksIndex) {
    TSampleFile sample{};
    AddPeak(sample.PeakList, PeakLine("Cs-137", 662, 85, 0));
    sample.Calibration.RCal = FlatEfficiency;
    SetMeasurement(sample, 3600, 0.5f);
    double activity = 0;
    double expected = 0;
    ASSERT_FALSE(ActivityOfCounts(PeakLine("Cs-137", 662, 85, 0), 3600, FlatEfficiency, 1000, 0.5,
                                  expected));
    EXPECT_FALSE(PeakActivity(sample, 0, 1000, activity));
    EXPECT_EQ(activity, expected);
    EXPECT_TRUE(PeakActivity(sample, 1, 1000, activity));
    EXPECT_TRUE(PeakActivity(sample, -1, 1000, activity));
    sample.PeakList.Size = 200; // beyond the 16 entries
    EXPECT_TRUE(PeakActivity(sample, 16, 1000, activity));
}

} // namespace

namespace {

// A sample of 3600 s and 0.5 kg with one line at 1000 keV (channel 1000),
// a width calibration of 4 channels, efficiency 0.02 and 85 % emission.
TSampleFile PeakSample(double flat, double peakCounts, double sigma, double centre = 1000) {
    TSampleFile sample = FlatSample(4096);
    SetChannels(sample, [&](int j) {
        // Channel j covers [j, j + 1).
        const double share = 0.5 * (std::erf((j + 1 - centre) / (sigma * std::sqrt(2.0))) -
                                    std::erf((j - centre) / (sigma * std::sqrt(2.0))));
        return flat + peakCounts * share;
    });
    SetMeasurement(sample, 3600, 0.5f);
    SetCalibration(sample, ChannelIsKeV, ConstantWidth(4), FlatEfficiency);
    AddPeak(sample.PeakList, PeakLine("Cs-137", 1000, 85, 0));
    return sample;
}

TSample FlatBackground(float flat, std::uint32_t time) {
    TSampleFile background = FlatSample(4096, flat);
    SetMeasurement(background, time, 0);
    return background.Sample;
}

struct EvaluationCase {
    const char* name;
    TSampleFile sample;
    int index;
    std::uint8_t code;
    int count;     // -1: not checked
    float error;   // result's Error: -1 detection limit, 0 no result, 1 any positive value
    bool positive; // result's Activity > 0
};

void PrintTo(const EvaluationCase& c, std::ostream* os) {
    *os << c.name;
}

class EvaluatePeakTest : public ::testing::TestWithParam<EvaluationCase> {};

TEST_P(EvaluatePeakTest, CodeAndStoredResult) {
    const EvaluationCase& c = GetParam();
    TSampleFile sample = c.sample;
    sample.Results.Result[0] = TPeakResult{7, 7, 7};
    const TRoiEvaluation ev = EvaluatePeak(sample, FlatBackground(100, 3600), c.index, false);
    EXPECT_EQ(ev.Code, c.code);
    if (c.count >= 0) {
        EXPECT_EQ(ev.Count, c.count);
    }
    const TPeakResult r = sample.Results.Result[0];
    if (c.error > 0) {
        EXPECT_GT(Value(r.Error), 0);
        EXPECT_GT(Value(r.Area), 0);
    } else {
        EXPECT_EQ(Value(r.Error), c.error);
        EXPECT_EQ(Value(r.Area), 0);
    }
    EXPECT_EQ(r.Activity > 0, c.positive);
}

TSampleFile With(TSampleFile sample, void (*change)(TSampleFile&)) {
    change(sample);
    return sample;
}

INSTANTIATE_TEST_SUITE_P(
    Table, EvaluatePeakTest,
    ::testing::Values(
        EvaluationCase{.name = "ClearPeak",
                       .sample = PeakSample(100, 10000, 4),
                       .index = 0,
                       .code = RoiPeakFound,
                       .count = 22,
                       .error = 1,
                       .positive = true},
        EvaluationCase{.name = "TwiceTheWidth",
                       .sample = PeakSample(100, 10000, 8),
                       .index = 0,
                       .code = RoiWrongWidth,
                       .count = 22,
                       .error = -1,
                       .positive = true},
        EvaluationCase{.name = "Flat",
                       .sample = PeakSample(100, 0, 4),
                       .index = 0,
                       .code = RoiNoMaximum,
                       .count = 22,
                       .error = -1,
                       .positive = true},
        // The zeroed ends of the second derivative stop the search for the
        // inflection points, so a far too wide peak measures as a wrong width.
        EvaluationCase{.name = "FarTooWide",
                       .sample = PeakSample(100, 100000, 30),
                       .index = 0,
                       .code = RoiWrongWidth,
                       .count = 22,
                       .error = -1,
                       .positive = true},
        EvaluationCase{.name = "Faint",
                       .sample = PeakSample(100, 60, 4),
                       .index = 0,
                       .code = RoiNotSignificant,
                       .count = 22,
                       .error = -1,
                       .positive = true},
        EvaluationCase{.name = "RoiReachesSize",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Sample.Spectrum.Size = 1022; }),
                       .index = 0,
                       .code = RoiOutside,
                       .count = 0,
                       .error = -1,
                       .positive = false},
        EvaluationCase{.name = "WeightZero",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Sample.Parameter.Weight = 0; }),
                       .index = 0,
                       .code = RoiNotEvaluable,
                       .count = -1,
                       .error = 0,
                       .positive = false},
        EvaluationCase{.name = "IndexBeyondList",
                       .sample = PeakSample(100, 10000, 4),
                       .index = 1,
                       .code = RoiNotEvaluable,
                       .count = 0,
                       .error = 7, // result 0 untouched
                       .positive = true},
        EvaluationCase{.name = "EnergyBeyondSpectrum",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Calibration.ECal.C1 = 5; }),
                       .index = 0,
                       .code = RoiNotEvaluable,
                       .count = 0,
                       .error = 0,
                       .positive = false},
        EvaluationCase{.name = "NaNWidth",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Calibration.WCal.W0 = NaN; }),
                       .index = 0,
                       .code = RoiNotEvaluable,
                       .count = 0,
                       .error = 0,
                       .positive = false},
        EvaluationCase{.name = "ZeroWidth",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Calibration.WCal.W0 = 0; }),
                       .index = 0,
                       .code = RoiNotEvaluable,
                       .count = 0,
                       .error = 0,
                       .positive = false},
        EvaluationCase{.name = "SizeBeyond4096",
                       .sample = With(PeakSample(100, 10000, 4),
                                      [](TSampleFile& s) { s.Sample.Spectrum.Size = 60000; }),
                       .index = 0,
                       .code = RoiNotEvaluable,
                       .count = 0,
                       .error = 0,
                       .positive = false}),
    [](const auto& info) { return info.param.name; });

TEST(EvaluatePeakTest, ClearPeakResultFollowsAreaAndSigma) {
    TSampleFile sample = PeakSample(100, 10000, 4);
    const TSample background = FlatBackground(100, 3600);
    const TRoiEvaluation ev = EvaluatePeak(sample, background, 0, false);
    ASSERT_EQ(ev.Code, RoiPeakFound);
    EXPECT_TRUE(ev.HasRoi);
    EXPECT_EQ(ev.ExpectedWidth, 2);
    // 4 channels are 2 bins; the filters widen the measured peak a little.
    EXPECT_GE(ev.SigmaFound / ev.ExpectedWidth, 0.8);
    EXPECT_LE(ev.SigmaFound / ev.ExpectedWidth, 1.3);
    EXPECT_NEAR(ev.CentreOffset, 11, 1e-12);

    double sigma = 0;
    std::int64_t sigmaArea = 0, area = 0;
    ASSERT_EQ(AnalysePeak(ev.Extract, ev.Count, false, {}, 1, 2, sigma, sigmaArea, area),
              RoiPeakFound);
    EXPECT_GT(area, 9000);
    EXPECT_LT(area, 14000);
    const TPeakResult r = sample.Results.Result[0];
    EXPECT_EQ(Value(r.Area), static_cast<float>(area));
    EXPECT_EQ(Value(r.Error), static_cast<float>(196.0 * static_cast<double>(sigmaArea) / area));
    double activity = 0;
    ASSERT_FALSE(PeakActivity(sample, 0, area, activity));
    EXPECT_EQ(Value(r.Activity), static_cast<float>(activity));
    // Returned plot arrays: smoothed and differentiated extract.
    TRoiArray smoothed{};
    FilterRoi(TRoiKernel::Smoothing, ev.Extract, ev.Count, smoothed);
    EXPECT_EQ(ev.Smoothed, smoothed);
    EXPECT_LT(ev.SecondDerivative[11], 0);
}

TEST(EvaluatePeakTest, DetectionLimitAtMiddleWithExpectedWidth) {
    TSampleFile sample = PeakSample(100, 0, 4);
    const TRoiEvaluation ev = EvaluatePeak(sample, FlatBackground(100, 3600), 0, false);
    ASSERT_EQ(ev.Code, RoiNoMaximum);
    // Flat 100 per channel: bins of 200, window of +-4 bins around bin 11: 9 bins.
    const double sigmaB = std::sqrt(200.0 + 200.0) * 9 / 2;
    const double limit = static_cast<double>(Round(4.653 * sigmaB + 2.706));
    double activity = 0;
    ASSERT_FALSE(PeakActivity(sample, 0, static_cast<std::int64_t>(limit), activity));
    EXPECT_EQ(Value(sample.Results.Result[0].Activity), static_cast<float>(activity));
    EXPECT_EQ(ev.SigmaFound, 0);
}

TEST(EvaluatePeakTest, SubtractedBackgroundKeepsAreaAndWidensUncertainty) {
    TSampleFile gross = PeakSample(100, 10000, 4);
    TSampleFile net = PeakSample(0, 10000, 4);
    const TSample background = FlatBackground(50, 7200); // scaled by 0.5: 25 per channel
    for (int j = 0; j < 4096; ++j) {
        net.Sample.Spectrum.Channel[j] += 75; // gross 100 minus 25
    }
    ASSERT_EQ(EvaluatePeak(gross, background, 0, false).Code, RoiPeakFound);
    ASSERT_EQ(EvaluatePeak(net, background, 0, true).Code, RoiPeakFound);
    EXPECT_EQ(Value(net.Results.Result[0].Area), Value(gross.Results.Result[0].Area));
    EXPECT_GT(Value(net.Results.Result[0].Error), Value(gross.Results.Result[0].Error));
}

TEST(EvaluatePeakTest, IndexBeyondListZeroesItsResult) {
    TSampleFile sample = PeakSample(100, 10000, 4);
    sample.Results.Result[1] = TPeakResult{7, 7, 7};
    EXPECT_EQ(EvaluatePeak(sample, FlatBackground(100, 3600), 1, false).Code, RoiNotEvaluable);
    const TPeakResult r = sample.Results.Result[1];
    EXPECT_EQ(Value(r.Activity), 0);
    EXPECT_EQ(Value(r.Error), 0);
    EXPECT_EQ(Value(r.Area), 0);
}

TEST(EvaluatePeakTest, IndexOutsideResultsWritesNothing) {
    TSampleFile sample = PeakSample(100, 10000, 4);
    sample.PeakList.Size = 200;
    const TSampleFile before = sample;
    for (const int index : {-1, 16, 1000}) {
        EXPECT_EQ(EvaluatePeak(sample, FlatBackground(100, 3600), index, false).Code,
                  RoiNotEvaluable);
        EXPECT_FALSE(EvaluatePeak(sample, FlatBackground(100, 3600), index, false).HasRoi);
    }
    EXPECT_EQ(std::memcmp(&sample, &before, sizeof sample), 0);
}

struct ExtractCase {
    const char* name;
    double channel;
    double width;
    std::uint16_t offset;
    int count;
    double expectedWidth;
    double centreOffset;
    double step;
};

void PrintTo(const ExtractCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractRoiTest : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ExtractRoiTest, Geometry) {
    const ExtractCase& c = GetParam();
    TSpectrum spectrum{};
    spectrum.Size = 4096;
    spectrum.Offset = c.offset;
    TRoiArray extract{};
    int count = -1;
    double expectedWidth = -1, centreOffset = -1;
    const double step =
        ExtractRoi(spectrum, c.channel, c.width, extract, count, expectedWidth, centreOffset);
    EXPECT_EQ(count, c.count);
    if (c.count > 0) {
        EXPECT_NEAR_REL(step, c.step, 1e-12);
        EXPECT_NEAR_REL(expectedWidth, c.expectedWidth, 1e-12);
        EXPECT_NEAR_REL(centreOffset, c.centreOffset, 1e-12);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ExtractRoiTest,
    ::testing::Values(ExtractCase{.name = "SingleChannels",
                                  .channel = 100.3,
                                  .width = 1,
                                  .offset = 0,
                                  .count = 15,
                                  .expectedWidth = 1,
                                  .centreOffset = 7.3,
                                  .step = 1},
                      ExtractCase{.name = "TwoChannelsStillSingle",
                                  .channel = 500,
                                  .width = 2,
                                  .offset = 0,
                                  .count = 22,
                                  .expectedWidth = 2,
                                  .centreOffset = 11,
                                  .step = 1},
                      // (hi - lo) / step is 23, but the accumulated bin start
                      // stays just below hi after 23 steps: one more bin.
                      ExtractCase{.name = "JustWiderIsBinned",
                                  .channel = 500,
                                  .width = 2.01,
                                  .offset = 0,
                                  .count = 24,
                                  .expectedWidth = 2,
                                  .centreOffset = (500 - (std::floor((500 - 8.04) / 1.005) * 1.005 -
                                                          3 * 1.005)) /
                                                  1.005,
                                  .step = 1.005},
                      ExtractCase{.name = "WholeNumberOfBins",
                                  .channel = 1000,
                                  .width = 4,
                                  .offset = 0,
                                  .count = 22,
                                  .expectedWidth = 2,
                                  .centreOffset = 11,
                                  .step = 2},
                      // With an offset, channel c is entry c - Offset; the geometry is unchanged.
                      ExtractCase{.name = "OffsetSingle",
                                  .channel = 100.3,
                                  .width = 1,
                                  .offset = 50,
                                  .count = 15,
                                  .expectedWidth = 1,
                                  .centreOffset = 7.3,
                                  .step = 1}),
    [](const auto& info) { return info.param.name; });

TEST(ExtractRoiTest, UnusableInputGivesEmptyExtract) {
    struct Input {
        double channel, width;
        std::uint16_t offset;
    };
    for (const Input in : {Input{55, 1, 50},   // reaches below the first channel
                           Input{4140, 1, 50}, // beyond entry 4095 although below 4096 + 50
                           Input{4090, 4, 0},  // binned, beyond the top
                           Input{500, -3, 0},  // negative width
                           Input{std::nan(""), 4, 0}, Input{1e300, 4, 0}, Input{500, 1e300, 0},
                           Input{500, std::nan(""), 0}}) {
        TSpectrum spectrum{};
        spectrum.Size = 4096;
        spectrum.Offset = in.offset;
        TRoiArray extract;
        extract.fill(-1);
        int count = -1;
        double expectedWidth = 0, centreOffset = 0;
        ExtractRoi(spectrum, in.channel, in.width, extract, count, expectedWidth, centreOffset);
        EXPECT_EQ(count, 0) << in.channel << " " << in.width;
        EXPECT_EQ(extract[0], -1);
    }
}

TEST(ExtractRoiTest, OffsetMapsChannelToEntry) {
    const TSampleFile plain = PeakSample(100, 10000, 4);
    TSampleFile shifted = plain;
    shifted.Sample.Spectrum.Offset = 50;
    for (int j = 0; j < 4096 - 50; ++j) {
        shifted.Sample.Spectrum.Channel[j] = plain.Sample.Spectrum.Channel[j + 50];
    }
    for (const double width : {1.5, 4.0}) {
        TRoiArray a{}, b{};
        int countA = 0, countB = 0;
        double wA = 0, wB = 0, cA = 0, cB = 0;
        ExtractRoi(plain.Sample.Spectrum, 1000, width, a, countA, wA, cA);
        ExtractRoi(shifted.Sample.Spectrum, 1000, width, b, countB, wB, cB);
        ASSERT_GT(countA, 0);
        EXPECT_EQ(countA, countB);
        EXPECT_EQ(a, b);
        EXPECT_EQ(cA, cB);
    }
}

TEST(ExtractRoiTest, BinsPreserveCounts) {
    TSpectrum spectrum{};
    spectrum.Size = 4096;
    for (int j = 0; j < 4096; ++j) {
        spectrum.Channel[j] = static_cast<float>(j % 7);
    }
    TRoiArray extract{};
    int count = 0;
    double expectedWidth = 0, centreOffset = 0;
    const double step =
        ExtractRoi(spectrum, 1000.4, 3.3, extract, count, expectedWidth, centreOffset);
    ASSERT_EQ(count, 24); // 23 steps of 1.65 and the accumulated one just below hi
    const double first = 1000.4 - centreOffset * step;
    const double last = first + count * step;
    // Sum of the whole channels inside [first, last) plus the cut parts.
    double expected = (std::ceil(first) - first) * spectrum.Channel[static_cast<int>(first)] +
                      (last - std::floor(last)) * spectrum.Channel[static_cast<int>(last)];
    for (int j = static_cast<int>(std::ceil(first)); j < static_cast<int>(std::floor(last)); ++j) {
        expected += spectrum.Channel[j];
    }
    double sum = 0;
    for (int k = 0; k < count; ++k) {
        sum += extract[k];
    }
    EXPECT_NEAR_REL(sum, expected, 1e-9);
}

struct LastBinCase {
    const char* name;
    double channel;
    double width;
    std::uint16_t size;
    int count;
    bool lastBinCut; // the last bin reaches past the spectrum's channels
};

void PrintTo(const LastBinCase& c, std::ostream* os) {
    *os << c.name;
}

class ExtractRoiLastBinTest : public ::testing::TestWithParam<LastBinCase> {};

// The bin after the last whole step can reach past the spectrum's channels or
// the 4096 entries; what lies there counts as 0, and no more than 24 points
// are ever written.
TEST_P(ExtractRoiLastBinTest, StaysInsideSpectrumAndArray) {
    const LastBinCase& c = GetParam();
    TSpectrum spectrum{};
    spectrum.Size = c.size;
    for (int j = 0; j < MaxChannels; ++j) {
        spectrum.Channel[j] = j < c.size ? 10.0f : 1e6f; // 1e6 marks entries beyond Size
    }
    struct {
        TRoiArray Extract;
        std::array<double, 4> After;
    } guarded{};
    guarded.After.fill(-7);
    int count = 0;
    double expectedWidth = 0, centreOffset = 0;
    const double step = ExtractRoi(spectrum, c.channel, c.width, guarded.Extract, count,
                                   expectedWidth, centreOffset);
    ASSERT_EQ(count, c.count);
    for (int k = 0; k < count; ++k) {
        EXPECT_LE(guarded.Extract[k], 10 * step + 1e-9) << k;
    }
    if (c.lastBinCut) {
        EXPECT_LT(guarded.Extract[count - 1], 10 * step - 1);
    } else {
        EXPECT_NEAR_REL(guarded.Extract[count - 1], 10 * step, 1e-9);
    }
    for (const double v : guarded.After) {
        EXPECT_EQ(v, -7);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ExtractRoiLastBinTest,
                         ::testing::Values(LastBinCase{.name = "PastSize",
                                                       .channel = 973.8,
                                                       .width = 4.1,
                                                       .size = 1000,
                                                       .count = 24,
                                                       .lastBinCut = true},
                                           LastBinCase{.name = "PastTheLastEntry",
                                                       .channel = 4060,
                                                       .width = 6.2,
                                                       .size = 4096,
                                                       .count = 24,
                                                       .lastBinCut = true},
                                           // (hi - lo) / step comes out as 24 here, and the
                                           // accumulation would add a 25th bin.
                                           LastBinCase{.name = "CappedAt24",
                                                       .channel = 1280.3,
                                                       .width = 10.85,
                                                       .size = 4096,
                                                       .count = 24,
                                                       .lastBinCut = false}),
                         [](const auto& info) { return info.param.name; });

TEST(FilterRoiTest, KernelsAndZeroedEnds) {
    TRoiArray values{};
    for (int k = 0; k < 10; ++k) {
        values[k] = k * k; // second derivative 2 everywhere, smoothing exact for a quadratic
    }
    TRoiArray filtered;
    filtered.fill(-1);
    FilterRoi(TRoiKernel::SecondDerivative, values, 10, filtered);
    for (int k = 0; k < 10; ++k) {
        EXPECT_NEAR(filtered[k], (k >= 3 && k <= 6) ? 2.0 / 1 * (42.0 / 42) * 1 : 0.0, 1e-12) << k;
    }
    EXPECT_EQ(filtered[10], -1); // beyond Count: untouched
    FilterRoi(TRoiKernel::Smoothing, values, 10, filtered);
    EXPECT_NEAR(filtered[5], 25, 1e-12);
    // Short and oversized counts stay inside the array.
    filtered.fill(-1);
    FilterRoi(TRoiKernel::Smoothing, values, 4, filtered);
    EXPECT_EQ(filtered[3], 0);
    EXPECT_EQ(filtered[4], -1);
    FilterRoi(TRoiKernel::Smoothing, values, 1000, filtered);
    EXPECT_EQ(filtered[23], 0);
}

TEST(BackgroundSigmaTest, WindowEndsReadFromSmoothedPoints) {
    TRoiArray flat{};
    flat.fill(100);
    // Window [-4, 6] (11 points) reaches outside: its ends are read at the
    // smoothed points 3 and 6.
    EXPECT_NEAR_REL(BackgroundSigma(22, flat, false, 1, {}, 2.5, 1), std::sqrt(200.0) * 11 / 2,
                    1e-12);
    // Windows [0, 6] and [13, 19] lie inside and end on a zeroed point, which
    // reads 0 (a peak found off centre with a wide measured width gets such
    // a window).
    EXPECT_NEAR_REL(BackgroundSigma(22, flat, false, 1, {}, 1.25, 3), std::sqrt(100.0) * 7 / 2,
                    1e-12);
    EXPECT_NEAR_REL(BackgroundSigma(22, flat, false, 1, {}, 1.5, 16), std::sqrt(100.0) * 7 / 2,
                    1e-12);
    // Subtracted: ratio^2 * background + gross (ratio * background + net).
    TRoiArray net{};
    net.fill(50);
    EXPECT_NEAR_REL(BackgroundSigma(22, net, true, 0.5, flat, 2, 11),
                    std::sqrt(0.25 * 200 + 2 * (0.5 * 100 + 50)) * 9 / 2, 1e-12);
    EXPECT_EQ(BackgroundSigma(5, flat, false, 1, {}, 2, 2), 0);
    EXPECT_TRUE(std::isnan(BackgroundSigma(22, flat, false, 1, {}, 2, std::nan(""))));
    EXPECT_GT(BackgroundSigma(22, flat, false, 1, {}, 1e300, 11), 1e18); // never significant
}

TEST(AnalysePeakTest, HostileExtractsEndInACode) {
    TRoiArray values{};
    values.fill(NaN);
    double sigma = -5;
    std::int64_t sigmaArea = 0, area = 0;
    const std::uint8_t status = AnalysePeak(values, 24, false, {}, 1, 2, sigma, sigmaArea, area);
    EXPECT_GE(status, RoiOutside);
    EXPECT_LE(status, RoiNotSignificant);
    EXPECT_EQ(sigmaArea, -1);

    // A non-finite value near an end stops the search for the inflection point.
    for (int k = 0; k < 24; ++k) {
        values[k] = 1000 - (k - 12) * (k - 12); // curved down over the whole extract
    }
    values[0] = NaN;
    EXPECT_EQ(AnalysePeak(values, 24, false, {}, 1, 2, sigma, sigmaArea, area), RoiNoInflection);

    values.fill(3e38f);
    values[11] = -3e38f;
    AnalysePeak(values, 24, true, values, 1e30, 2, sigma, sigmaArea, area);
    EXPECT_EQ(AnalysePeak(values, 0, false, {}, 1, 2, sigma, sigmaArea, area), RoiOutside);
    EXPECT_EQ(area, 0);
    EXPECT_EQ(sigmaArea, -1);
}

} // namespace
