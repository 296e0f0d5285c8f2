#include "analysis/BackgroundSubtraction.h"
#include "SampleFixtures.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <ostream>

namespace {

// Packed record fields are compared by value: the comparison macros take
// references, which must not bind to possibly misaligned members.
template <typename T> T Value(T v) {
    return v;
}

// Every stored channel holds level + (i % 10), also beyond `size`.
TSampleFile Measurement(std::uint32_t time, float level, std::uint16_t size = 4096) {
    TSampleFile sample = FlatSample(size);
    SetChannels(
        sample, [level](int i) { return level + static_cast<float>(i % 10); }, MaxChannels);
    SetMeasurement(sample, time, 0);
    SetCalibration(sample, ChannelIsKeV);
    return sample;
}

TPeakList OneLine(std::uint16_t energy) {
    TPeakList list{};
    AddPeak(list, PeakLine("", energy, 0, 0));
    return list;
}

struct SubtractionCase {
    const char* name;
    TSampleFile sample;
    TSampleFile background;
    bool applied;
};

void PrintTo(const SubtractionCase& c, std::ostream* os) {
    *os << c.name;
}

class SubtractBackgroundTest : public ::testing::TestWithParam<SubtractionCase> {};

TEST_P(SubtractBackgroundTest, AppliesOrLeavesBothUnchanged) {
    const SubtractionCase& c = GetParam();
    TSampleFile sample = c.sample;
    sample.PeakList = OneLine(662);
    TSampleFile background = c.background;
    background.PeakList = OneLine(1460);
    const TSampleFile sampleBefore = sample;
    const TSampleFile backgroundBefore = background;
    EXPECT_EQ(CanSubtractBackground(sample, background), c.applied);
    SubtractBackground(sample, background);
    if (!c.applied) {
        EXPECT_EQ(std::memcmp(&sample, &sampleBefore, sizeof sample), 0);
        EXPECT_EQ(std::memcmp(&background, &backgroundBefore, sizeof background), 0);
        return;
    }
    const double ratio = static_cast<double>(sample.Sample.Parameter.SampleInterval) /
                         background.Sample.Parameter.SampleInterval;
    for (const int i : {0, 7, 4095}) {
        EXPECT_EQ(Value(sample.Sample.Spectrum.Channel[i]),
                  static_cast<float>(sampleBefore.Sample.Spectrum.Channel[i] -
                                     ratio * background.Sample.Spectrum.Channel[i]))
            << i;
    }
    EXPECT_EQ(Value(background.PeakList.Peak[0].Energy), 662);
    // Only the spectrum of the sample changes.
    EXPECT_EQ(std::memcmp(&sample.Calibration, &sampleBefore.Calibration,
                          sizeof(TSampleFile) - offsetof(TSampleFile, Calibration)),
              0);
}

TSampleFile WithC1(TSampleFile sample, float c1) {
    sample.Calibration.ECal.C1 = c1;
    return sample;
}

TSampleFile WithOffset(TSampleFile sample, std::uint16_t offset) {
    sample.Sample.Spectrum.Offset = offset;
    return sample;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SubtractBackgroundTest,
    ::testing::Values(SubtractionCase{.name = "HalfOfLongerBackground",
                                      .sample = Measurement(3600, 100),
                                      .background = Measurement(7200, 40),
                                      .applied = true},
                      SubtractionCase{.name = "NetMayBeNegative",
                                      .sample = Measurement(3600, 10),
                                      .background = Measurement(3600, 50),
                                      .applied = true},
                      SubtractionCase{.name = "OtherCalibrationAllTheSame",
                                      .sample = Measurement(3600, 100),
                                      .background = WithC1(Measurement(3600, 40), 2),
                                      .applied = true},
                      SubtractionCase{.name = "BackgroundTimeZero",
                                      .sample = Measurement(3600, 100),
                                      .background = Measurement(0, 40),
                                      .applied = false},
                      SubtractionCase{.name = "SampleTimeZero",
                                      .sample = Measurement(0, 100),
                                      .background = Measurement(3600, 40),
                                      .applied = false},
                      SubtractionCase{.name = "OtherSize",
                                      .sample = Measurement(3600, 100),
                                      .background = Measurement(3600, 40, 2048),
                                      .applied = false},
                      SubtractionCase{.name = "OtherOffset",
                                      .sample = Measurement(3600, 100),
                                      .background = WithOffset(Measurement(3600, 40), 8),
                                      .applied = false},
                      SubtractionCase{.name = "SizeBeyond4096",
                                      .sample = Measurement(3600, 100, 5000),
                                      .background = Measurement(3600, 40, 5000),
                                      .applied = false}),
    [](const auto& info) { return info.param.name; });

TEST(SubtractBackgroundTest, ResultBeyondSingleRangeSaturates) {
    TSampleFile sample = Measurement(4000000000u, 0);
    TSampleFile background = Measurement(1, FLT_MAX);
    SubtractBackground(sample, background);
    EXPECT_EQ(Value(sample.Sample.Spectrum.Channel[0]), -FLT_MAX);
}

struct PrepareCase {
    const char* name;
    bool checked;
    std::uint8_t backgroundValid;
    std::uint32_t backgroundTime;
    bool subtracted;
};

void PrintTo(const PrepareCase& c, std::ostream* os) {
    *os << c.name;
}

class PrepareWorkingCopyTest : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(PrepareWorkingCopyTest, CopySubtractedOnlyWhenCarriedOut) {
    const PrepareCase& c = GetParam();
    const TSampleFile measured = Measurement(3600, 100);
    const TSampleFile measuredBefore = measured;
    TSampleFile background = Measurement(c.backgroundTime, 40);
    background.Valid = c.backgroundValid;
    bool subtracted = !c.subtracted;
    const TSampleFile copy = PrepareWorkingCopy(measured, background, c.checked, subtracted);
    EXPECT_EQ(subtracted, c.subtracted);
    EXPECT_EQ(std::memcmp(&measured, &measuredBefore, sizeof measured), 0); // gross kept
    const float expected = c.subtracted ? 100.0f - 40.0f * 3600 / c.backgroundTime : 100.0f;
    EXPECT_EQ(Value(copy.Sample.Spectrum.Channel[0]), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, PrepareWorkingCopyTest,
                         ::testing::Values(PrepareCase{.name = "Unchecked",
                                                       .checked = false,
                                                       .backgroundValid = 1,
                                                       .backgroundTime = 3600,
                                                       .subtracted = false},
                                           PrepareCase{.name = "CheckedValid",
                                                       .checked = true,
                                                       .backgroundValid = 1,
                                                       .backgroundTime = 7200,
                                                       .subtracted = true},
                                           PrepareCase{.name = "BackgroundNotValid",
                                                       .checked = true,
                                                       .backgroundValid = 0,
                                                       .backgroundTime = 3600,
                                                       .subtracted = false},
                                           // An incompatible background leaves the copy gross, and
                                           // it is not evaluated as if it were net.
                                           PrepareCase{.name = "IncompatibleBackground",
                                                       .checked = true,
                                                       .backgroundValid = 1,
                                                       .backgroundTime = 0,
                                                       .subtracted = false}),
                         [](const auto& info) { return info.param.name; });

} // namespace
