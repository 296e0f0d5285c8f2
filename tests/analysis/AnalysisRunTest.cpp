#include "analysis/AnalysisRun.h"
#include "SampleFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace {

// 4096 channels with a peak at 1000 keV, a flat stretch at 2000 keV and a
// line whose ROI reaches the end of the spectrum.
TSampleFile PeakSample() {
    TSampleFile s = GaussianPeakSample(4096, 1000);
    s.Sample.Parameter.Weight = 1.5f;
    s.Sample.Parameter.SerialNumber = 1234;
    s.Sample.Parameter.SampleID = 17;
    AddPeak(s, "Peak", 1000, 100);
    AddPeak(s, "Flat", 2000, 100);
    AddPeak(s, "Edge", 4094, 100);
    return s;
}

TUncertaintySettings Settings() {
    TUncertaintySettings u;
    u.UncertaintySetup = {0.01, 0.05, 0.03, 2};
    u.UncertaintySetupValid = true;
    return u;
}

class AnalysisRunTest : public ::testing::Test {
protected:
    TAnalysisState state;
    TAnalysisOptions options;
    void SetUp() override {
        state.MeasuredSample = PeakSample();
        options.Selected = 0;
        options.DecimalSeparator = '.';
    }
};

TEST_F(AnalysisRunTest, RoiLineDescriptionAndStoredResults) {
    const TAnalysisRun run = AnalyseSample(state, options, TUncertaintySettings{});
    EXPECT_EQ(run.Description, "Zel-Korda SN: 1234; Weight: 1.50 kg; Time: 3600 s; Sample-ID: 17");
    ASSERT_EQ(run.Lines.size(), 1u); // the other two are diagnostics
    EXPECT_TRUE(run.Lines[0].Text.startsWith("Peak, 1000keV: R: "))
        << run.Lines[0].Text.toStdString();
    EXPECT_TRUE(run.Lines[0].Text.endsWith(") %"));
    EXPECT_FALSE(run.Lines[0].Text.contains(" ( ")); // no total without settings
    EXPECT_EQ(run.Lines[0].Colour, TReportColour::Blue);
    ASSERT_EQ(run.Peaks.size(), 3u);
    EXPECT_EQ(*run.Peaks[0].Code, 0);
    EXPECT_FALSE(run.Peaks[0].TotalUncertainty.has_value());
    EXPECT_EQ(*run.Peaks[1].Code, 2);
    EXPECT_EQ(*run.Peaks[2].Code, 1);
    EXPECT_FALSE(run.Peaks[1].Line.has_value());
    // Every stored result is written, diagnostics included.
    EXPECT_GT(float(state.MeasuredSample.Results.Result[0].Error), 0);
    EXPECT_EQ(float(state.MeasuredSample.Results.Result[1].Error), -1);
    EXPECT_GT(float(state.MeasuredSample.Results.Result[1].Activity), 0);
    EXPECT_EQ(run.SpectrumPlot.Kind, TPlotKind::Spectrum);
    EXPECT_EQ(run.RoiPlot.Kind, TPlotKind::Roi);
    EXPECT_EQ(run.BackgroundPlot.Message, "No valid background sample assigned");
}

TEST_F(AnalysisRunTest, DetailedLinesAndLimitColour) {
    options.DetailedResults = true;
    state.MeasuredSample.PeakList.Peak[0].Limit = 1; // the peak's activity is far above
    options.Selected = 2;
    const TAnalysisRun run = AnalyseSample(state, options, Settings());
    ASSERT_EQ(run.Lines.size(), 3u);
    EXPECT_EQ(run.Lines[0].Colour, TReportColour::Red);
    EXPECT_TRUE(run.Lines[1].Text.startsWith("Flat, 2000keV: < "));
    EXPECT_TRUE(run.Lines[1].Text.endsWith("Bq/kg - No maximum found!"));
    EXPECT_EQ(run.Lines[1].Colour, TReportColour::Black);
    EXPECT_EQ(run.Lines[2].Text, "Edge, 4094keV: ROI outside spectrum!");
    EXPECT_EQ(run.RoiPlot.Message, "Invalid ROI definition");
    EXPECT_TRUE(run.Peaks[0].TotalUncertainty.has_value());
}

TEST_F(AnalysisRunTest, SolverResultsInOrderOfPreference) {
    TTrapezoidResult& t = state.TrapezoidResults.Result[0];
    t.Significant = true;
    t.Activity = 1234.56f;
    t.Error = 3 * 1.96f;
    t.Area = 2500.5f;
    state.TrapezoidResults.Valid = true;
    for (int i : {0, 1}) {
        TDoubletResult& d = state.DoubletResults.Result[i];
        d.Solved = true;
        d.Activity = 12.34f;
        d.Error = i == 0 ? 4.9f : -1;
        d.Area = i == 0 ? 300 : 0;
    }
    state.DoubletResults.Valid = true;
    const TAnalysisRun run = AnalyseSample(state, options, Settings());
    ASSERT_EQ(run.Lines.size(), 2u);
    EXPECT_EQ(run.Lines[0].Text, "Peak, 1000keV: (Trapezoid) Area: 2500 cts;  Activity: 1234.6 "
                                 "Bq/kg;  Error: 15 (6) %");
    EXPECT_EQ(run.Lines[1].Text,
              "Flat, 2000keV: (Doublet) Area: 0 cts;  Activity: < 12.3 Bq/kg;  ");
    EXPECT_EQ(run.Lines[1].Colour, TReportColour::Blue);
    EXPECT_EQ(run.Peaks[0].Source, TResultSource::Trapezoid);
    EXPECT_FALSE(run.Peaks[0].Code.has_value());
    EXPECT_EQ(run.RoiPlot.Kind, TPlotKind::Trapezoid);
    EXPECT_EQ(float(state.MeasuredSample.Results.Result[0].Activity), 1234.56f);
    EXPECT_EQ(float(state.MeasuredSample.Results.Result[1].Error), -1);

    // A non-significant trapezoid result gives way to the doublet.
    t.Significant = false;
    const TAnalysisRun second = AnalyseSample(state, options, TUncertaintySettings{});
    EXPECT_EQ(second.Lines[0].Text, "Peak, 1000keV: (Doublet) Area: 300 cts;  Activity: 12.3 "
                                    "Bq/kg;  Error: (5) %");
    EXPECT_EQ(second.RoiPlot.Kind, TPlotKind::Doublet);
}

TEST_F(AnalysisRunTest, InvalidSampleDrawsMessagesOnly) {
    state.MeasuredSample.Valid = 0;
    state.EWCalOrigin = "cal.ewcal";
    const TAnalysisRun run = AnalyseSample(state, options, Settings());
    EXPECT_FALSE(run.SampleValid);
    EXPECT_TRUE(run.Lines.empty());
    EXPECT_EQ(run.SpectrumPlot.Message, "Open or load sample");
    EXPECT_EQ(run.RoiPlot.Kind, TPlotKind::Message);
    EXPECT_TRUE(run.RoiPlot.Message.isEmpty());
    EXPECT_EQ(run.Origins,
              QStringList({"Energy/Peak width calibration: cal.ewcal",
                           "Efficiency calibration: ", "Peak list: ", "Background spectrum: "}));
}

TEST_F(AnalysisRunTest, NoSelectionDrawsNoSpectrum) {
    options.Selected = -1;
    const TAnalysisRun run = AnalyseSample(state, options, Settings());
    EXPECT_EQ(run.SpectrumPlot.Kind, TPlotKind::Nothing);
    EXPECT_EQ(run.BackgroundPlot.Kind, TPlotKind::Nothing);
}

TEST_F(AnalysisRunTest, HostilePeakListSizeIsClamped) {
    state.MeasuredSample.PeakList.Size = 200;
    const TAnalysisRun run = AnalyseSample(state, options, Settings());
    EXPECT_EQ(run.Peaks.size(), 16u);
}

TEST(BackgroundCompatibilityTest, Messages) {
    TSampleFile m = PeakSample();
    TSampleFile b = m;
    EXPECT_TRUE(BackgroundCompatibilityMessage(m, b).isEmpty());
    b.Calibration.ECal.C1 = 1.01f;
    EXPECT_EQ(BackgroundCompatibilityMessage(m, b),
              "Energy calibration of sample and background does not fit!");
    b.Sample.Spectrum.Size = 1024;
    EXPECT_EQ(BackgroundCompatibilityMessage(m, b),
              "Background spectrum size does not fit with sample, subtraction not possible");
    b.Valid = 0;
    EXPECT_TRUE(BackgroundCompatibilityMessage(m, b).isEmpty());
}

} // namespace

namespace {

struct DiagnosticCase {
    const char* name;
    double sigma;      // of the Gaussian in the spectrum
    double peakCounts; // its area
    float weight;
    int energy;
    int code;
    const char* lineStart;
    const char* lineEnd;
};

void PrintTo(const DiagnosticCase& c, std::ostream* os) {
    *os << c.name;
}

class DiagnosticLineTest : public ::testing::TestWithParam<DiagnosticCase> {};

TEST_P(DiagnosticLineTest, WritesTheCodesLine) {
    const DiagnosticCase& c = GetParam();
    TAnalysisState state;
    TSampleFile& s = state.MeasuredSample;
    s = GaussianPeakSample(4096, 3000); // the peak list line below decides what is seen
    SetChannels(s,
                [&](int i) { return 100 + GaussianCounts(i + 0.5, 1000, c.sigma, c.peakCounts); });
    s.Sample.Parameter.Weight = c.weight;
    AddPeak(s, "X", c.energy, 100);
    TAnalysisOptions options;
    options.DetailedResults = true;
    options.Selected = 0;
    const TAnalysisRun run = AnalyseSample(state, options, TUncertaintySettings{});
    ASSERT_EQ(run.Peaks.size(), 1u);
    EXPECT_EQ(*run.Peaks[0].Code, c.code);
    ASSERT_EQ(run.Lines.size(), 1u);
    EXPECT_TRUE(run.Lines[0].Text.startsWith(c.lineStart)) << run.Lines[0].Text.toStdString();
    EXPECT_TRUE(run.Lines[0].Text.contains(c.lineEnd)) << run.Lines[0].Text.toStdString();
    EXPECT_EQ(run.Lines[0].Colour, TReportColour::Black);
    // A ROI was cut unless the energy lies outside the spectrum.
    EXPECT_EQ(run.RoiPlot.Kind, c.energy < 4096 ? TPlotKind::Roi : TPlotKind::Message);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, DiagnosticLineTest,
    ::testing::Values(DiagnosticCase{.name = "WrongSigma",
                                     .sigma = 8,
                                     .peakCounts = 10000,
                                     .weight = 1,
                                     .energy = 1000,
                                     .code = 4,
                                     .lineStart = "X, 1000keV: < ",
                                     .lineEnd = "Bq/kg - Wrong Sigma: Se: 2.00 Sd: "},
                      DiagnosticCase{.name = "NotSignificant",
                                     .sigma = 4,
                                     .peakCounts = 60,
                                     .weight = 1,
                                     .energy = 1000,
                                     .code = 5,
                                     .lineStart = "X, 1000keV: < ",
                                     .lineEnd = "Bq/kg - Not significant: Se: 2.00 Sd: "},
                      DiagnosticCase{.name = "NoWeight",
                                     .sigma = 4,
                                     .peakCounts = 10000,
                                     .weight = 0,
                                     .energy = 1000,
                                     .code = 100,
                                     .lineStart = "X, 1000keV: ROI outside spectrum!",
                                     .lineEnd = "!"},
                      DiagnosticCase{.name = "EnergyOutside",
                                     .sigma = 4,
                                     .peakCounts = 10000,
                                     .weight = 1,
                                     .energy = 5000,
                                     .code = 100,
                                     .lineStart = "X, 5000keV: ROI outside spectrum!",
                                     .lineEnd = "!"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
