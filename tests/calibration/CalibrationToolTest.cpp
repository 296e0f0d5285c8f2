#include "calibration/CalibrationTool.h"

#include "core/Errors.h"
#include "core/NumberFormat.h"

#include "SampleFixtures.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr std::int32_t MaxCount = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MinCount = std::numeric_limits<std::int32_t>::min();
// An odd separator, so a hard-coded '.' cannot hide.
constexpr char Sep = '?';

// A tool holding a spectrum of `size` channels with `counts(i)` in channel i.
template <typename F> TCalibrationTool ToolWith(int size, F counts, std::int32_t offset = 0) {
    TCalibrationTool tool(Sep);
    tool.Spectrum.Size = size;
    tool.Spectrum.Offset = offset;
    tool.Spectrum.AdcResolution = 256;
    tool.Spectrum.RefVoltage = 2000;
    for (int i = 0; i < size && i < CalChannels; ++i) {
        tool.Spectrum.Channels[i] = counts(i);
    }
    return tool;
}

// A symmetric triangle of height 50 over a flat 10, its top in channel `top`.
TCalibrationTool TriangleTool(int top, std::int32_t offset = 0) {
    return ToolWith(
        256, [top](int i) { return 10 + std::max(0, 50 - 10 * std::abs(i - top)); }, offset);
}

TCalPoint Point(const char* name, const char* energy, const char* position, const char* sigma) {
    return {QString::fromLatin1(name), QString::fromLatin1(energy), QString::fromLatin1(position),
            QString::fromLatin1(sigma)};
}

// --- Spectrum from a sample, zoom -------------------------------------------------

TEST(LoadSampleSpectrumTest, CountsRoundedHalfEvenAndSaturated) {
    TSampleFile sample = FlatSample(8);
    const float counts[8] = {
        2.5f, 3.5f, -0.5f, 1e12f, -1e12f, std::numeric_limits<float>::quiet_NaN(), 7.49f, 100};
    for (int i = 0; i < 8; ++i) {
        sample.Sample.Spectrum.Channel[i] = counts[i];
    }
    sample.Sample.Spectrum.Offset = 65535;
    sample.Sample.Parameter.SampleInterval = 0xFFFFFFFFu;
    TCalibrationTool tool(Sep);
    tool.Spectrum.Channels[8] = 1234; // beyond Size: kept
    tool.LoadSampleSpectrum(sample);
    EXPECT_EQ(tool.Spectrum.Size, 8);
    EXPECT_EQ(tool.Spectrum.Offset, 65535);
    EXPECT_EQ(tool.Spectrum.AdcResolution, 256);
    EXPECT_EQ(tool.Spectrum.RefVoltage, 2000);
    EXPECT_EQ(tool.Spectrum.LifeTime, MaxCount);
    EXPECT_EQ(std::vector<std::int32_t>(tool.Spectrum.Channels.begin(),
                                        tool.Spectrum.Channels.begin() + 9),
              (std::vector<std::int32_t>{2, 4, 0, MaxCount, MinCount, 0, 7, 100, 1234}));
    EXPECT_EQ(tool.Zoom, 8);
}

TEST(LoadSampleSpectrumTest, SizeAboveTheRecordsChannelsIsCut) {
    TSampleFile sample = FlatSample(MaxChannels, 3);
    sample.Sample.Spectrum.Size = 60000;
    TCalibrationTool tool(Sep);
    tool.Spectrum.Channels[MaxChannels] = -8;
    tool.LoadSampleSpectrum(sample);
    EXPECT_EQ(tool.Spectrum.Size, MaxChannels);
    EXPECT_EQ(tool.Spectrum.Channels[MaxChannels - 1], 3);
    EXPECT_EQ(tool.Spectrum.Channels[MaxChannels], -8);
}

struct ZoomCase {
    const char* Name;
    TTextLayout Layout = TTextLayout::Unrecognised; // with no caption: ChooseZoom itself
    std::int32_t Size;
    double Zoom;
    const char* Caption;
};

void PrintTo(const ZoomCase& c, std::ostream* os) {
    *os << c.Name;
}

class ZoomTest : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomTest, ZoomAndCaption) {
    const ZoomCase& c = GetParam();
    TCalibrationTool tool(Sep);
    tool.Zoom = 3; // left from an earlier spectrum
    tool.Spectrum.Size = c.Size;
    if (c.Caption == nullptr) {
        tool.ChooseZoom();
    } else {
        EXPECT_EQ(tool.TakeTextSpectrum(c.Layout), QString::fromLatin1(c.Caption));
    }
    EXPECT_EQ(tool.Zoom, c.Zoom);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZoomTest,
    ::testing::Values(
        ZoomCase{.Name = "NotLoaded", .Size = -1, .Zoom = 8, .Caption = nullptr},
        ZoomCase{.Name = "Size100", .Size = 100, .Zoom = 8, .Caption = nullptr},
        ZoomCase{.Name = "Size129", .Size = 129, .Zoom = 4, .Caption = nullptr},
        ZoomCase{.Name = "Size256", .Size = 256, .Zoom = 4, .Caption = nullptr},
        ZoomCase{.Name = "Size512", .Size = 512, .Zoom = 2, .Caption = nullptr},
        ZoomCase{.Name = "Size1024", .Size = 1024, .Zoom = 1, .Caption = nullptr},
        ZoomCase{.Name = "Size1025KeepsZoom", .Size = 1025, .Zoom = 3, .Caption = nullptr},
        ZoomCase{.Name = "Size4096KeepsZoom", .Size = 4096, .Zoom = 3, .Caption = nullptr},
        ZoomCase{.Name = "Zema",
                 .Layout = TTextLayout::Zema,
                 .Size = 256,
                 .Zoom = 4,
                 .Caption = "Calibration - ZEMA"},
        ZoomCase{.Name = "Vintrava",
                 .Layout = TTextLayout::Vintrava,
                 .Size = 256,
                 .Zoom = 5,
                 .Caption = "Calibration - Vintrava"},
        ZoomCase{.Name = "Heliomat",
                 .Layout = TTextLayout::Heliomat,
                 .Size = 2048,
                 .Zoom = 0.5,
                 .Caption = "Calibration - HELIOMAT7xx"},
        // No channels declared: no division by zero, the small-spectrum zoom.
        ZoomCase{.Name = "HeliomatSizeZero",
                 .Layout = TTextLayout::Heliomat,
                 .Size = 0,
                 .Zoom = 8,
                 .Caption = "Calibration - HELIOMAT7xx"},
        ZoomCase{.Name = "Unrecognised",
                 .Layout = TTextLayout::Unrecognised,
                 .Size = 256,
                 .Zoom = 3,
                 .Caption = ""}),
    [](const auto& info) { return info.param.Name; });

// --- Mouse, ROI buttons and peak locating ---------------------------------------

TEST(MouseDownTest, MarkersFromPixelsAndUndoneClickStillRecomputes) {
    TCalibrationTool tool = TriangleTool(15);
    tool.Zoom = 4;
    tool.MouseDown(TMouseButton::Right, 84); // 21
    tool.MouseDown(TMouseButton::Left, 42);  // 10.5 -> 10
    EXPECT_EQ(tool.Marker1, 10);
    EXPECT_EQ(tool.Marker2, 21);
    EXPECT_DOUBLE_EQ(tool.Mean, 5.5);
    EXPECT_EQ(tool.PositionText(), "15?5");

    // Left of marker 2 is not right of it: undone, but the ROI is read again.
    tool.Spectrum.Channels[12] += 1000;
    tool.MouseDown(TMouseButton::Left, 100);
    EXPECT_EQ(tool.Marker1, 10);
    EXPECT_EQ(tool.Marker2, 21);
    EXPECT_EQ(tool.Roi.Channels[2], tool.Spectrum.Channels[12]);

    tool.MouseDown(TMouseButton::Other, 0);
    EXPECT_EQ(tool.Marker1, 10);
    EXPECT_EQ(tool.Marker2, 21);

    // Pixels far outside the view stay on the array.
    tool.MouseDown(TMouseButton::Right, 1 << 30);
    EXPECT_EQ(tool.Marker2, CalChannels);
    EXPECT_EQ(tool.Roi.Size, CalChannels - 10);
}

TEST(RoiButtonsTest, LimitsOfTheFourButtons) {
    TCalibrationTool tool = TriangleTool(100);
    tool.Marker1 = 0;
    tool.Marker2 = 254;
    EXPECT_FALSE(tool.ShiftRoiLeft());
    EXPECT_TRUE(tool.BiggerRoi());
    EXPECT_EQ(tool.Marker2, 255);
    EXPECT_EQ(tool.Roi.Size, 255);
    EXPECT_FALSE(tool.BiggerRoi());
    EXPECT_FALSE(tool.ShiftRoiRight());

    tool.Marker1 = 50;
    tool.Marker2 = 52;
    EXPECT_TRUE(tool.SmallerRoi());
    EXPECT_EQ(tool.Marker1, 51);
    EXPECT_FALSE(tool.SmallerRoi()); // never shorter than two channels
    EXPECT_TRUE(tool.ShiftRoiLeft());
    EXPECT_EQ(tool.Marker1, 50);
    EXPECT_EQ(tool.Marker2, 51);
    EXPECT_TRUE(tool.ShiftRoiRight());
    EXPECT_EQ(tool.Marker1, 51);
    EXPECT_EQ(tool.Marker2, 52);
    EXPECT_EQ(tool.Roi.Offset, 51);
}

TEST(RoiButtonsTest, BiggerBeforeAnyClickStartsBeforeTheFirstChannelReadAsZero) {
    TCalibrationTool tool = ToolWith(
        16, [](int i) { return 100 + i; }, 7);
    ASSERT_EQ(tool.Marker1, -1);
    ASSERT_TRUE(tool.BiggerRoi());
    ASSERT_TRUE(tool.BiggerRoi());
    ASSERT_TRUE(tool.BiggerRoi());
    EXPECT_EQ(tool.Marker1, -1);
    EXPECT_EQ(tool.Marker2, 2);
    EXPECT_EQ(tool.Roi.Size, 3);
    EXPECT_EQ(tool.Roi.Offset, 6);
    EXPECT_EQ(tool.Roi.Channels[0], 0);
    EXPECT_EQ(tool.Roi.Channels[1], 100);
    EXPECT_EQ(tool.Roi.Channels[2], 101);
}

TEST(UpdateRoiTest, TriangleGivesItsCentreAndTheThreeTexts) {
    TCalibrationTool tool = TriangleTool(40, 100);
    tool.Marker1 = 30;
    tool.Marker2 = 51;
    tool.UpdateRoi();
    EXPECT_DOUBLE_EQ(tool.Mean, 10.5);
    EXPECT_EQ(tool.PositionText(), "140?5");
    EXPECT_EQ(tool.SigmaText(), QString::fromStdString(FormatGeneral(tool.Sigma, Sep)));
    ASSERT_TRUE(tool.FwhmText().has_value());
    EXPECT_EQ(*tool.FwhmText(),
              QString::fromStdString(FormatGeneral(tool.Sigma * 235.5 / 140.5, Sep)));
}

TEST(UpdateRoiTest, LinearRoiAtChannelZeroHasNoRelativeWidth) {
    TCalibrationTool tool = ToolWith(64, [](int i) { return 3 * i; });
    tool.Marker1 = 0;
    tool.Marker2 = 10;
    tool.UpdateRoi();
    EXPECT_EQ(tool.Mean, 0);
    EXPECT_EQ(tool.Sigma, 0);
    EXPECT_EQ(tool.PositionText(), "0");
    EXPECT_EQ(tool.SigmaText(), "0");
    EXPECT_EQ(tool.FwhmText(), std::nullopt);
}

TEST(UpdateRoiTest, TwoChannelRoiKeepsThePreviousNetRoi) {
    TCalibrationTool tool = TriangleTool(40);
    tool.Marker1 = 30;
    tool.Marker2 = 51;
    tool.UpdateRoi();
    const double mean = tool.Mean;
    tool.Marker1 = 5;
    tool.Marker2 = 7;
    tool.UpdateRoi();
    EXPECT_EQ(tool.Roi.Size, 2);
    EXPECT_EQ(tool.Roi.Offset, 5);
    EXPECT_EQ(tool.NetRoi.Offset, 30);
    EXPECT_EQ(tool.Mean, mean);
}

// --- Candidate lines --------------------------------------------------------------

TEST(TakeCandidatesTest, LinesFromThePeakListAtMostSixteen) {
    TPeakList list{};
    AddPeak(list, PeakLine("Cs137", 662, 85.5f));
    AddPeak(list, PeakLine("K40", 1461, 10.5f));
    list.Size = 200; // more than the record holds: the 16 entries only
    TCalibrationTool tool(Sep);
    tool.TakeCandidates(list);
    ASSERT_EQ(tool.Candidates.size(), std::size_t(MaxPeaks));
    ASSERT_EQ(tool.CandidateLines.size(), MaxPeaks);
    EXPECT_EQ(tool.CandidateLines[0], "Cs137 - (662keV)");
    EXPECT_EQ(tool.CandidateLines[1], "K40 - (1461keV)");
    EXPECT_EQ(tool.Candidates[0].Probability, 86);
    EXPECT_EQ(tool.Candidates[1].Probability, 10);
    EXPECT_EQ(tool.CandidateLines[2], " - (0keV)");
}

struct LibraryCase {
    const char* Name;
    QByteArray Text;
    char Separator;
    QStringList Lines;
    std::vector<std::int32_t> Probabilities = {};
};

void PrintTo(const LibraryCase& c, std::ostream* os) {
    *os << c.Name;
}

class TakeLibraryTextTest : public ::testing::TestWithParam<LibraryCase> {};

TEST_P(TakeLibraryTextTest, CandidateLines) {
    const LibraryCase& c = GetParam();
    TCalibrationTool tool(c.Separator);
    tool.Candidates.push_back({"Old", 1, 1});
    tool.CandidateLines.append("Old - (1keV)");
    tool.TakeLibraryText(c.Text);
    EXPECT_EQ(tool.CandidateLines, c.Lines);
    ASSERT_EQ(tool.Candidates.size(), std::size_t(c.Lines.size()));
    for (std::size_t i = 0; i < c.Probabilities.size(); ++i) {
        EXPECT_EQ(tool.Candidates[i].Probability, c.Probabilities[i]) << "line " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, TakeLibraryTextTest,
    ::testing::Values(
        LibraryCase{.Name = "LongNameCutToFive",
                    .Text = "Cs-137 long name\t661.7\t85.1\r\n",
                    .Separator = '.',
                    .Lines = {"Cs-13 - (662keV)"},
                    .Probabilities = {85}},
        LibraryCase{.Name = "CommaSeparator",
                    .Text = "K40\t1460,8\t10,5\r\nTl208\t2614.5\t99\r\n",
                    .Separator = ',',
                    .Lines = {"K40 - (1461keV)"},
                    .Probabilities = {10}},
        // Without tabs the whole line serves as every field: not a number.
        LibraryCase{.Name = "NoTabSkipped", .Text = "Cs137\r\n", .Separator = '.', .Lines = {}},
        // Without a third field the second one serves again as probability.
        LibraryCase{.Name = "TwoFieldsReuseTheLast",
                    .Text = "Am241\t59.5",
                    .Separator = '.',
                    .Lines = {"Am241 - (60keV)"},
                    .Probabilities = {60}},
        LibraryCase{.Name = "SkipsEmptyNameAndMinusOne",
                    .Text = "\t100\t5\nX\t-1\t5\nY\t100\t-0.6\nZ\t-0.4\t0\n",
                    .Separator = '.',
                    .Lines = {"Z - (0keV)"},
                    .Probabilities = {0}},
        LibraryCase{.Name = "LoneCrEndsLines",
                    .Text = "A\t1\t2\rB\t3\t4",
                    .Separator = '.',
                    .Lines = {"A - (1keV)", "B - (3keV)"},
                    .Probabilities = {2, 4}},
        LibraryCase{.Name = "HugeNumbersSaturate",
                    .Text = "Big\t1e300\t-1e300\n",
                    .Separator = '.',
                    .Lines = {"Big - (2147483647keV)"},
                    .Probabilities = {MinCount}},
        LibraryCase{.Name = "BinaryJunk",
                    .Text = QByteArray("\x00\xff\x81\t\x01\x02", 6),
                    .Separator = '.',
                    .Lines = {}}),
    [](const auto& info) { return info.param.Name; });

TEST(TakeLibraryTextTest, AtMostTwoHundredLines) {
    QByteArray text;
    for (int i = 0; i < 250; ++i) {
        text += "N" + QByteArray::number(i) + "\t" + QByteArray::number(100 + i) + "\t50\r\n";
    }
    TCalibrationTool tool('.');
    tool.TakeLibraryText(text);
    ASSERT_EQ(tool.CandidateLines.size(), MaxCandidateLines);
    EXPECT_EQ(tool.CandidateLines.back(), "N199 - (299keV)");
}

// --- Points and regressions ---------------------------------------------------------

// Reads the number of a memo coefficient line "x^j ->  d?ddddE+n".
double CoefficientOf(const QString& line, int j) {
    const QString prefix = QStringLiteral("x^%1 ->  ").arg(j);
    EXPECT_TRUE(line.startsWith(prefix)) << line.toStdString();
    double value = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(TryParseNumber(line.mid(prefix.size()).toStdString(), Sep, value))
        << line.toStdString();
    return value;
}

const char* const Headings[RegressionCount] = {
    "Energy [keV] vs. Channels",     "Sigma [ch] vs. Channels",
    "Channel [ch] vs. Energy [keV]", "Energy [keV] vs. Voltage [mV]",
    "Voltage [mV] vs. Energy [keV]", "Sigma rel [keV] vs. Energy [keV]"};

class RegressionTest : public ::testing::Test {
protected:
    TCalibrationTool Tool = ToolWith(1024, [](int) { return 0; });

    // Checks every memo line: the two spectrum lines, then per fit the
    // separator, heading, `terms[r]` coefficients near `coef[r]` and the
    // correlation text.
    void ExpectMemo(const std::array<int, RegressionCount>& terms,
                    const std::array<std::vector<double>, RegressionCount>& coef,
                    const std::array<const char*, RegressionCount>& correlation) {
        const QStringList& m = Tool.Memo;
        int line = 0;
        ASSERT_GE(m.size(), 2);
        EXPECT_EQ(m[line++], "ADC:256ch; Vref:2000mV;");
        EXPECT_EQ(m[line++], "Size:1024ch; Offset:0ch;");
        for (int r = 0; r < RegressionCount; ++r) {
            ASSERT_GE(m.size(), line + 3 + terms[r]);
            EXPECT_EQ(m[line++], QString(33, QLatin1Char('-')));
            EXPECT_EQ(m[line++], Headings[r]);
            for (int j = 0; j < terms[r]; ++j) {
                const double expected = coef[r][j];
                EXPECT_NEAR(CoefficientOf(m[line++], j), expected,
                            1e-4 * std::max(1.0, std::fabs(expected)))
                    << Headings[r] << " x^" << j;
            }
            EXPECT_EQ(m[line++], QStringLiteral("Correlation = ") + correlation[r]);
        }
        EXPECT_EQ(line, m.size());
    }
};

TEST_F(RegressionTest, OnePointNoFit) {
    Tool.Points = {Point("Cs137", "662", "331", "4")};
    Tool.OkEnabled = true;
    Tool.Memo = {"old"};
    Tool.RecomputeRegressions();
    EXPECT_FALSE(Tool.OkEnabled);
    EXPECT_TRUE(Tool.Memo.isEmpty());
    EXPECT_EQ(Tool.Terms(EvsCh), 0);
}

TEST_F(RegressionTest, TwoPointsStraightLinesThroughBoth) {
    // V = 2000/256 Ch; Srel = E S / Ch = 8 and 12.
    Tool.Points = {Point("Cs137", "662", "331", "4"), Point("K40", "1461", "730?5", "6")};
    Tool.RecomputeRegressions();
    EXPECT_TRUE(Tool.OkEnabled);
    const double sb = 2 / 399.5;
    const double rb = 4.0 / 799;
    ExpectMemo({2, 2, 2, 2, 2, 2},
               {std::vector<double>{0, 2},
                {4 - 331 * sb, sb},
                {0, 0.5},
                {0, 0.256},
                {0, 3.90625},
                {8 - 662 * rb, rb}},
               {"1?000000", "1?000000", "1?000000", "1?000000", "1?000000", "1?000000"});
    for (int r = 0; r < RegressionCount; ++r) {
        EXPECT_EQ(Tool.Coefficients[r][2], 0) << Headings[r];
        EXPECT_EQ(Tool.Correlations[r], 1) << Headings[r];
    }
}

TEST_F(RegressionTest, FivePointsCubicsAndParabolas) {
    // E = 10 + 2 Ch + 0.001 Ch^2 exactly; sigma constant 5.
    const char* positions[5] = {"100", "250", "400", "700", "900"};
    for (const char* p : positions) {
        const double ch = std::atof(p);
        const std::string e = FormatGeneral(10 + 2 * ch + 0.001 * ch * ch, Sep);
        Tool.Points.push_back({"L", QString::fromStdString(e), p, "5"});
    }
    Tool.RecomputeRegressions();
    ASSERT_TRUE(Tool.OkEnabled);
    EXPECT_EQ(Tool.Terms(EvsCh), 4);
    EXPECT_EQ(Tool.Terms(SvsCh), 3);
    EXPECT_EQ(Tool.Terms(SvsE), 3);
    EXPECT_EQ(Tool.Memo.size(), 2 + 4 * (3 + 4) + 2 * (3 + 3));
    EXPECT_NEAR(Tool.Coefficients[EvsCh][0], 10, 1e-6);
    EXPECT_NEAR(Tool.Coefficients[EvsCh][2], 0.001, 1e-12);
    EXPECT_NEAR(Tool.Coefficients[EvsCh][3], 0, 1e-12);
    EXPECT_NEAR(Tool.Coefficients[SvsCh][0], 5, 1e-9);
    EXPECT_EQ(Tool.Coefficients[SvsCh][3], 0);
}

TEST_F(RegressionTest, OnlyTheFirstNinePointsAreFitted) {
    for (int i = 1; i <= 12; ++i) {
        const double ch = 50.0 * i;
        // The last three lie far off the line of the others.
        const double e = i <= 9 ? 3 * ch + 0.0001 * ch * ch : 17;
        Tool.Points.push_back({"L", QString::fromStdString(FormatGeneral(e, Sep)),
                               QString::fromStdString(FormatGeneral(ch, Sep)),
                               QString::number(1 + i)});
    }
    TCalibrationTool nine = Tool;
    nine.Points.resize(9);
    Tool.RecomputeRegressions();
    nine.RecomputeRegressions();
    EXPECT_EQ(Tool.Coefficients, nine.Coefficients);
    EXPECT_EQ(Tool.Memo, nine.Memo);
}

TEST_F(RegressionTest, SingularFitEmptiesMemoAndDisablesOkUntilARecomputationSucceeds) {
    Tool.Points = {Point("A", "100", "50", "2"), Point("B", "300", "150", "3"),
                   Point("C", "500", "250", "4")};
    Tool.RecomputeRegressions();
    ASSERT_TRUE(Tool.OkEnabled);
    const auto before = Tool.Coefficients;
    // No ADC resolution: every voltage is 0 and the fourth fit is singular.
    Tool.Spectrum.AdcResolution = 0;
    Tool.Points[0].Position = "60";
    try {
        Tool.RecomputeRegressions();
        FAIL() << "no error";
    } catch (const EMathError& e) {
        EXPECT_STREQ(e.what(), "Error in GaussJordan2: matrix is singular");
    }
    EXPECT_FALSE(Tool.OkEnabled);
    EXPECT_TRUE(Tool.Memo.isEmpty());
    // The three fits before it were redone, the others kept.
    for (int r = 0; r < RegressionCount; ++r) {
        EXPECT_EQ(Tool.Coefficients[r] != before[r], r < EvsV) << Headings[r];
    }
    Tool.Spectrum.AdcResolution = 256;
    Tool.RecomputeRegressions();
    EXPECT_TRUE(Tool.OkEnabled);
}

struct BadPointCase {
    const char* Name;
    TCalPoint Second;
    bool Conversion; // EConversionError, else EMathError
    const char* Message;
};

void PrintTo(const BadPointCase& c, std::ostream* os) {
    *os << c.Name;
}

class BadPointTest : public ::testing::TestWithParam<BadPointCase> {};

TEST_P(BadPointTest, RefusedWithMessageAndOkDisabled) {
    const BadPointCase& c = GetParam();
    TCalibrationTool tool = ToolWith(1024, [](int) { return 0; });
    tool.Points = {Point("A", "100", "50", "2"), Point("B", "300", "150", "3")};
    tool.RecomputeRegressions();
    ASSERT_TRUE(tool.OkEnabled);
    tool.Points[1] = c.Second;
    std::string message;
    bool conversion = false;
    try {
        tool.RecomputeRegressions();
    } catch (const EConversionError& e) {
        conversion = true;
        message = e.what();
    } catch (const EMathError& e) {
        message = e.what();
    }
    EXPECT_EQ(conversion, c.Conversion);
    EXPECT_EQ(message, c.Message);
    EXPECT_FALSE(tool.OkEnabled);
    EXPECT_TRUE(tool.Memo.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadPointTest,
    ::testing::Values(
        BadPointCase{
            .Name = "PositionZero",
            .Second = Point("B", "300", "0", "3"),
            .Conversion = false,
            .Message = "Calibration point 2 lies at channel 0: its peak width in keV is undefined"},
        BadPointCase{
            .Name = "PositionNegative",
            .Second = Point("B", "300", "-2?5", "3"),
            .Conversion = false,
            .Message =
                "Calibration point 2 lies at channel -2?5: its peak width in keV is undefined"},
        BadPointCase{.Name = "EnergyNotANumber",
                     .Second = Point("B", "3x", "150", "3"),
                     .Conversion = true,
                     .Message = "Calibration point 2: Energy '3x' is not a valid number"},
        // A long cell from a file is shown by its first 40 characters.
        BadPointCase{.Name = "LongCell",
                     .Second = {"B", "300", "150", QString(5000, QLatin1Char('x'))},
                     .Conversion = true,
                     .Message = "Calibration point 2: Sigma "
                                "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' is not a valid "
                                "number"},
        BadPointCase{.Name = "WrongSeparator",
                     .Second = Point("B", "300", "150.5", "3"),
                     .Conversion = true,
                     .Message = "Calibration point 2: Position '150.5' is not a valid number"}),
    [](const auto& info) { return info.param.Name; });

TEST(PointsTest, AddRemoveAndClear) {
    TCalibrationTool tool = TriangleTool(40, 100);
    TPeakList list{};
    AddPeak(list, PeakLine("Cs137", 662, 85));
    AddPeak(list, PeakLine("K40", 1461, 10));
    tool.TakeCandidates(list);

    tool.AddPoint(5); // no such candidate: only the header is written
    EXPECT_TRUE(tool.HeaderShown);
    EXPECT_TRUE(tool.Points.empty());

    tool.Marker1 = 30;
    tool.Marker2 = 51;
    tool.UpdateRoi();
    tool.AddPoint(0);
    ASSERT_EQ(tool.Points.size(), 1u);
    EXPECT_EQ(tool.Points[0].Name, "Cs137");
    EXPECT_EQ(tool.Points[0].Energy, "662");
    EXPECT_EQ(tool.Points[0].Position, "140?5");
    EXPECT_EQ(tool.Points[0].Sigma, tool.SigmaText());
    EXPECT_FALSE(tool.OkEnabled);

    tool.Marker1 = 130;
    tool.Marker2 = 151;
    tool.Spectrum.Channels[140] += 1; // another position
    tool.UpdateRoi();
    tool.AddPoint(1);
    EXPECT_EQ(tool.Points.size(), 2u);
    EXPECT_TRUE(tool.OkEnabled);

    tool.RemovePoint(0);
    tool.RemovePoint(3);
    EXPECT_EQ(tool.Points.size(), 2u);
    tool.RemovePoint(1);
    ASSERT_EQ(tool.Points.size(), 1u);
    EXPECT_EQ(tool.Points[0].Name, "K40");
    EXPECT_FALSE(tool.OkEnabled);
    tool.RemovePoint(1);
    EXPECT_TRUE(tool.Points.empty());
    EXPECT_TRUE(tool.HeaderShown);

    tool.AddPoint(0);
    tool.ClearPoints();
    EXPECT_TRUE(tool.Points.empty());
    EXPECT_FALSE(tool.OkEnabled);
    EXPECT_TRUE(tool.Memo.isEmpty());
}

TEST(PointsTest, PeakAtChannelZeroIsNotAdded) {
    TCalibrationTool tool = ToolWith(64, [](int i) { return 3 * i; });
    tool.Candidates.push_back({"Cs137", 662, 85});
    tool.Marker1 = 0;
    tool.Marker2 = 10;
    tool.UpdateRoi();
    ASSERT_EQ(tool.Position(), 0);
    tool.AddPoint(0);
    EXPECT_TRUE(tool.Points.empty());
}

TEST(ApplyToTest, ChannelVersusEnergyAndSigmaVersusChannel) {
    TCalibrationTool tool = ToolWith(1024, [](int) { return 0; });
    tool.Points = {Point("A", "100", "50", "2"), Point("B", "300", "150", "3"),
                   Point("C", "500", "260", "5")};
    tool.RecomputeRegressions();
    TSampleFile sample = FlatSample(16);
    sample.CalibrationType = 1;
    sample.Calibration.RCal = FivePercent;
    tool.ApplyTo(sample);
    const TPolynomCoefficients& c = tool.Coefficients[ChvsE];
    const TPolynomCoefficients& w = tool.Coefficients[SvsCh];
    EXPECT_EQ(sample.Calibration.ECal.C0, static_cast<float>(c[0]));
    EXPECT_EQ(sample.Calibration.ECal.C1, static_cast<float>(c[1]));
    EXPECT_EQ(sample.Calibration.ECal.C2, static_cast<float>(c[2]));
    EXPECT_EQ(sample.Calibration.ECal.C3, 0);
    EXPECT_EQ(sample.Calibration.WCal.W0, static_cast<float>(w[0]));
    EXPECT_EQ(sample.Calibration.WCal.W1, static_cast<float>(w[1]));
    EXPECT_EQ(sample.Calibration.WCal.W2, static_cast<float>(w[2]));
    EXPECT_EQ(sample.CalibrationType, 0);
    EXPECT_EQ(sample.Calibration.RCal.A0, FivePercent.A0);
    // The fit is exact through three points.
    EXPECT_NEAR(c[0] + c[1] * 300 + c[2] * 300 * 300, 150, 1e-9);
}

TEST(PresentCalibrationMemoTest, ElevenLinesSixSignificantDigits) {
    TSampleFile sample = FlatSample(16);
    SetCalibration(sample, {1.5f, 0.75f, -0.001f, 2e-7f}, {2.0f, 0.0123456789f, 1234.5678f});
    TCalibrationTool tool(Sep);
    EXPECT_EQ(
        tool.PresentCalibrationMemo(sample),
        (QStringList{"Energy calibration", "*******************", "C0: 1?500000", "C1: 0?750000",
                     "C2: -0?001000", "C3: 0?000000", "Peak width calibration",
                     "*******************", "W0: 2?000000", "W1: 0?012346", "W2: 1234?570000"}));
}

} // namespace
