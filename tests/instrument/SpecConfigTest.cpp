// The configuration dialog's rules: what it shows and how confirmed texts
// become the configuration that is sent.
#include "instrument/SpecConfig.h"

#include "SampleFixtures.h"
#include "ScriptedPrompt.h"

#include <gtest/gtest.h>

#include <cfloat>

#include <ostream>

#include <cstring>

namespace {

// A packed field by value, so that no reference binds to it.
template <typename T> T Copy(T v) {
    return v;
}

TPeakList TwoPeaks() {
    TPeakList list{};
    AddPeak(list, PeakLine("Cs137", 662, 0, 0));
    AddPeak(list, PeakLine("ABCDEFGHIJKLMNOP", 1461, 0, 0)); // 16 characters, no zero byte
    return list;
}

TEST(SpecConfigFieldsTest, ShowsConfigurationInShortestFormWithLocaleSeparator) {
    TSpecConfigFields fields;
    FillSpecConfigFields(TSpecConfig{12.5f, 2, 3, 7.0f, 1}, TwoPeaks(), ',', fields);
    EXPECT_EQ(fields.PeakThreshold, "12,5");
    EXPECT_EQ(fields.TimeToPeak, "2");
    EXPECT_TRUE(fields.SubtractBackground);
    EXPECT_EQ(fields.PeakItems, QStringList({"Cs137, 662keV", "ABCDEFGHIJKLMNOP, 1461keV"}));
    EXPECT_EQ(fields.PeakIndex, 1);
    EXPECT_EQ(fields.DetectionLimit, "DetectionLimitEdit");

    FillSpecConfigFields(TSpecConfig{100.0f, 65535, 2, 7.0f, 2}, TwoPeaks(), ',', fields);
    EXPECT_EQ(fields.PeakThreshold, "100");
    EXPECT_EQ(fields.TimeToPeak, "65535");
    EXPECT_FALSE(fields.SubtractBackground);
    EXPECT_EQ(fields.PeakIndex, -1);
}

struct TReadCase {
    const char* Name;
    const char* Threshold;
    const char* TimeToPeak;
    bool Valid;
    float PeakThreshold = 0;
    std::uint16_t Time = 0;
};

void PrintTo(const TReadCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpecConfigReadTest : public ::testing::TestWithParam<TReadCase> {};

TEST_P(SpecConfigReadTest, WholeNumbersOnlyAndNeitherZero) {
    const TReadCase& c = GetParam();
    TSpecConfigFields fields;
    fields.PeakThreshold = QString::fromLatin1(c.Threshold);
    fields.TimeToPeak = QString::fromLatin1(c.TimeToPeak);
    const TSpecConfig before{55.0f, 9, 0x06, 1.0f, 3};
    TSpecConfig config = before;
    ASSERT_EQ(ReadSpecConfigFields(fields, '.', config), c.Valid);
    if (!c.Valid) {
        EXPECT_EQ(std::memcmp(&config, &before, sizeof config), 0);
        return;
    }
    EXPECT_EQ(Copy(config.PeakThreshold), c.PeakThreshold);
    EXPECT_EQ(Copy(config.TimeToPeak), c.Time);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SpecConfigReadTest,
    ::testing::Values(
        TReadCase{.Name = "Plain",
                  .Threshold = "100",
                  .TimeToPeak = "2",
                  .Valid = true,
                  .PeakThreshold = 100,
                  .Time = 2},
        TReadCase{.Name = "Decimals", .Threshold = "12.5", .TimeToPeak = "2", .Valid = false},
        TReadCase{.Name = "NoNumber", .Threshold = "abc", .TimeToPeak = "2", .Valid = false},
        TReadCase{.Name = "Empty", .Threshold = "100", .TimeToPeak = "", .Valid = false},
        TReadCase{.Name = "ZeroThreshold", .Threshold = "0", .TimeToPeak = "2", .Valid = false},
        TReadCase{
            .Name = "TimeLow16BitsZero", .Threshold = "5", .TimeToPeak = "65536", .Valid = false},
        TReadCase{.Name = "TimeLow16Bits",
                  .Threshold = "5",
                  .TimeToPeak = "65537",
                  .Valid = true,
                  .PeakThreshold = 5,
                  .Time = 1},
        TReadCase{.Name = "NegativeTime",
                  .Threshold = "-20",
                  .TimeToPeak = "-1",
                  .Valid = true,
                  .PeakThreshold = -20,
                  .Time = 65535}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(SpecConfigReadTest, ModeBitsDetectionLimitAndSelection) {
    TSpecConfigFields fields;
    FillSpecConfigFields(TSpecConfig{100.0f, 2, 0x06, 7.0f, 1}, TwoPeaks(), '.', fields);
    fields.SubtractBackground = true;
    TSpecConfig config{100.0f, 2, 0x06, 7.0f, 1};
    ASSERT_TRUE(ReadSpecConfigFields(fields, '.', config));
    EXPECT_EQ(Copy(config.Mode), 0x07);
    EXPECT_EQ(Copy(config.RequestedDL), 100.0f); // the hidden edit's text is no number
    EXPECT_EQ(Copy(config.PeakIndexDL), 1);

    fields.SubtractBackground = false;
    fields.PeakIndex = -1;
    fields.DetectionLimit = QStringLiteral("2.5");
    config.Mode = 0xFF;
    ASSERT_TRUE(ReadSpecConfigFields(fields, '.', config));
    EXPECT_EQ(Copy(config.Mode), 0xFE);
    EXPECT_EQ(Copy(config.RequestedDL), 2.5f);
    EXPECT_EQ(Copy(config.PeakIndexDL), -1);
}

struct DetectionLimitCase {
    const char* Name;
    const char* Text;
    float Expected;
};

void PrintTo(const DetectionLimitCase& c, std::ostream* os) {
    *os << c.Name;
}

class SpecConfigDetectionLimitTest : public ::testing::TestWithParam<DetectionLimitCase> {};

// A limit beyond a Single's range is stored as the largest Single (a plain
// conversion is undefined); one below its smallest as 0.
TEST_P(SpecConfigDetectionLimitTest, IsStoredAsSingle) {
    TSpecConfigFields fields;
    FillSpecConfigFields(TSpecConfig{100.0f, 2, 0x06, 7.0f, 1}, TwoPeaks(), '.', fields);
    fields.DetectionLimit = QString::fromLatin1(GetParam().Text);
    TSpecConfig config{100.0f, 2, 0x06, 7.0f, 1};
    ASSERT_TRUE(ReadSpecConfigFields(fields, '.', config));
    EXPECT_EQ(Copy(config.RequestedDL), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SpecConfigDetectionLimitTest,
    ::testing::Values(DetectionLimitCase{.Name = "Ordinary", .Text = "2.5", .Expected = 2.5f},
                      DetectionLimitCase{.Name = "Huge", .Text = "1e300", .Expected = FLT_MAX},
                      DetectionLimitCase{
                          .Name = "NegativeHuge", .Text = "-1e300", .Expected = -FLT_MAX},
                      DetectionLimitCase{.Name = "Tiny", .Text = "1e-300", .Expected = 0.0f}),
    [](const auto& info) { return std::string(info.param.Name); });

class TOneShotView : public TSpecConfigView {
public:
    bool Confirm = true;
    bool Execute(TSpecConfigFields&) override { return Confirm; }
};

TEST(SpecConfigDialogTest, InvalidInputIsReportedAndRestored) {
    ScriptedPrompt prompt;
    TOneShotView view;
    TSpecConfigFields fields;
    TSpecConfig config{12.5f, 2, 1, 3.0f, 0};
    const TSpecConfig before = config;
    EXPECT_FALSE(RunSpecConfigDialog(view, prompt, TwoPeaks(), config, fields, '.'));
    EXPECT_EQ(Copy(prompt.Messages), QStringList{"Invalid input values"});
    EXPECT_EQ(std::memcmp(&config, &before, sizeof config), 0);

    view.Confirm = false;
    config.PeakThreshold = 100.0f;
    EXPECT_FALSE(RunSpecConfigDialog(view, prompt, TwoPeaks(), config, fields, '.'));
    EXPECT_EQ(prompt.Messages.size(), 1);
    EXPECT_EQ(Copy(config.RequestedDL), 3.0f);

    view.Confirm = true;
    EXPECT_TRUE(RunSpecConfigDialog(view, prompt, TwoPeaks(), config, fields, '.'));
    EXPECT_EQ(Copy(config.RequestedDL), 100.0f);
    EXPECT_EQ(Copy(config.PeakIndexDL), 0);
}

} // namespace
