#include "analysis/DoubletSolver.h"
#include "analysis/RoiEvaluation.h"
#include "analysis/TrapezoidSolver.h"

#include "SampleFixtures.h"
#include "ScriptedPrompt.h"
#include "TestHelpers.h"
#include "core/NumberFormat.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// Energy E keV sits at channel E; every line has width `sigma`; a flat
// background of `level` counts, efficiency 5 %, 1000 s, 0.5 kg and seven
// stored results.
TSampleFile LineSample(double sigma, float level, int size = 1024) {
    TSampleFile s = FlatSample(size, level);
    SetCalibration(s, ChannelIsKeV, ConstantWidth(sigma), FivePercent);
    SetMeasurement(s, 1000, 0.5f);
    s.Results.Size = 7;
    return s;
}

class RecordingView : public TDoubletView {
public:
    bool Accept = true;
    int Fills = 0, Shows = 0;
    QStringList PairLines, ResultLines;
    TDoubletList Pairs;
    TDoubletResultList Results;
    void SetDoublets(const QStringList& pairLines, const QStringList& resultLines,
                     const TDoubletList& pairs, const TSampleFile&,
                     const TDoubletResultList& results) override {
        ++Fills;
        PairLines = pairLines;
        ResultLines = resultLines;
        Pairs = pairs;
        Results = results;
    }
    bool ShowModal() override {
        ++Shows;
        return Accept;
    }
};

TEST(DoubletSolverTest, FindsOverlappingPairsOnce) {
    struct Case {
        const char* Title;
        std::vector<int> Energies;
        int Pairs;
    };
    const Case cases[] = {
        {"300 and 312 overlap", {300, 312}, 1},
        {"300 and 321 do not", {300, 321}, 0},
        {"same line twice", {300, 300}, 0},
        {"three overlapping lines", {300, 306, 312}, 3},
        {"order does not matter", {312, 300}, 1},
        {"line outside the spectrum", {300, 2000, 306}, 1},
    };
    for (const Case& c : cases) {
        TSampleFile s = LineSample(5, 0);
        for (int e : c.Energies) {
            AddPeak(s, "P", e, 40);
        }
        TDoubletList pairs;
        FindDoublets(s.PeakList, s.Calibration.ECal, s.Calibration.WCal, 1024, pairs);
        EXPECT_EQ(pairs.Size, c.Pairs) << c.Title;
    }
    TSampleFile s = LineSample(5, 0);
    AddPeak(s, "Lo", 300, 40);
    AddPeak(s, "Hi", 312, 40);
    TDoubletList pairs;
    FindDoublets(s.PeakList, s.Calibration.ECal, s.Calibration.WCal, 1024, pairs);
    ASSERT_EQ(pairs.Size, 1);
    EXPECT_EQ(PeakNameToText(pairs.Doublets[0].PeakA), QString("Lo"));
    EXPECT_EQ(PeakNameToText(pairs.Doublets[0].PeakB), QString("Hi"));

    int iA = 0, iB = 0;
    EXPECT_TRUE(
        LocateDoubletPeaks(pairs.Doublets[0].PeakB, pairs.Doublets[0].PeakA, s.PeakList, iA, iB));
    EXPECT_EQ(iA, 1);
    EXPECT_EQ(iB, 0);
    TPeakEntry stranger = pairs.Doublets[0].PeakA;
    stranger.Name[5] = 'x'; // a byte after the terminator also counts
    EXPECT_TRUE(LocateDoubletPeaks(stranger, pairs.Doublets[0].PeakB, s.PeakList, iA, iB));
    EXPECT_EQ(iA, -1);
    EXPECT_EQ(iB, 1);
}

TEST(DoubletSolverTest, ExamplePairUsesItsWindowsAndSplitsTheArea) {
    // Lines at 300 and 312 (sigma 5): at shift 0 the left window is 280..284,
    // the right one 328..332 and the doublet region 285..327.
    TSampleFile s = LineSample(5, 0);
    TSpectrum& sp = s.Sample.Spectrum;
    for (int ch = 0; ch < sp.Size; ++ch) {
        sp.Channel[ch] = static_cast<float>(50 + 0.2 * ch);
    }
    AddGaussian(sp, 300, 5, 40000);
    AddGaussian(sp, 312, 5, 10000);
    AddPeak(s, "Ac-228", 312, 40);
    AddPeak(s, "Pb-214", 300, 40);

    TDoubletSolution sol{};
    ASSERT_FALSE(SolveDoublet(312, 300, s.Calibration.ECal, s.Calibration.WCal, sp, sol));
    const double meanL = ChannelSum(280, 284, sp) / 5;
    const double meanR = ChannelSum(328, 332, sp) / 5;
    const double slope = (meanR - meanL) / (328 - 284 + 1);
    EXPECT_NEAR_REL(sol.Slope, slope, 1e-12);
    EXPECT_NEAR_REL(sol.Intercept, meanL - 285 * slope, 1e-12);
    EXPECT_EQ(sol.CenterA, 312); // A is the upper line here
    EXPECT_EQ(sol.CenterB, 300);
    EXPECT_EQ(sol.SigmaA, 5);
    EXPECT_NEAR_REL(sol.AreaA, 10000, 0.1);
    EXPECT_NEAR_REL(sol.AreaB, 40000, 0.05);
    EXPECT_GT(sol.UncertaintyA, 0);
    EXPECT_GT(sol.UncertaintyB, 0);

    RecordingView view;
    ScriptedPrompt prompt;
    TDoubletResultList results{};
    RunDoubletSolver(0, s, results, &view, prompt);
    EXPECT_TRUE(results.Valid);
    EXPECT_EQ(results.Size, 7); // the sample's result count
    EXPECT_EQ(view.Shows, 0);
    EXPECT_TRUE(prompt.Messages.isEmpty());
    EXPECT_EQ(view.PairLines, QStringList{"Ac-228 (312keV) - Pb-214 (300keV)"});
    ASSERT_EQ(view.ResultLines.size(), 2);

    const TDoubletResult a = results.Result[0], b = results.Result[1];
    ASSERT_TRUE(a.Solved && b.Solved);
    EXPECT_EQ(a.PairIndex, 0);
    EXPECT_EQ(b.PairIndex, 1);
    EXPECT_EQ(PeakNameToText(a.Partner), QString("Pb-214"));
    EXPECT_EQ(a.Solution.AreaA, b.Solution.AreaA);
    EXPECT_EQ(a.Solution.CenterB, b.Solution.CenterB);
    EXPECT_EQ(a.Area, static_cast<float>(a.Solution.AreaA));
    EXPECT_NEAR_REL(a.Error, 100 * a.Solution.UncertaintyA / a.Solution.AreaA, 1e-6);
    EXPECT_NEAR_REL(b.Error, 100 * b.Solution.UncertaintyB / b.Solution.AreaB, 1e-6);
    double act = 0;
    const TPeakEntry peakA = s.PeakList.Peak[0];
    ASSERT_FALSE(
        ActivityOfCounts(peakA, 1000, s.Calibration.RCal, Round(a.Solution.AreaA), 0.5, act));
    EXPECT_NEAR_REL(a.Activity, act, 1e-6);
    const char sep = LocaleDecimalSeparator();
    EXPECT_EQ(view.ResultLines[0],
              "Ac-228 (312keV) = " + QString::number(Round(a.Solution.AreaA)) + "cts / " +
                  QString::fromStdString(FormatFixed(act, 8, 1, sep)) + "Bq/kg");
}

TEST(DoubletSolverTest, SplitFindsTheSharesAndUncertainties) {
    TSpectrum d{};
    d.Size = 200;
    AddGaussian(d, 90, 4, 300);
    AddGaussian(d, 100, 5, 700);
    double lower = 0, upper = 0;
    const double q = SplitDoubletArea(90, 100, 70, 125, d, 4, 5, lower, upper);
    const double total = ChannelSum(70, 125, d);
    EXPECT_NEAR_REL(upper, 0.70 * total, 1e-9);
    EXPECT_NEAR_REL(lower, 0.30 * total, 1e-9);
    EXPECT_LT(q, 1e-3);

    // Not positive: no areas, the residual of the empty model.
    TSpectrum dip{};
    dip.Size = 200;
    dip.Channel[80] = -3;
    dip.Channel[81] = 2;
    lower = upper = 7;
    EXPECT_EQ(SplitDoubletArea(90, 100, 70, 125, dip, 4, 5, lower, upper), 13);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 0);

    double uA = 0, uB = 0;
    SplitUncertainties(300, 700, 50, 1.96, uA, uB);
    const double qq = std::sqrt(1.0 / 300 + 1.0 / 700);
    EXPECT_NEAR_REL(
        uA, 1.96 * 300 * std::hypot(50.0 / 1000, qq * (700.0 / 300) / (1 + 700.0 / 300)), 1e-12);
    EXPECT_NEAR_REL(
        uB, 1.96 * 700 * std::hypot(50.0 / 1000, qq * (300.0 / 700) / (1 + 300.0 / 700)), 1e-12);
    SplitUncertainties(300, 0, 50, 1.96, uA, uB);
    EXPECT_NEAR_REL(uA, 98, 1e-12);
    EXPECT_EQ(uB, 0);
}

TEST(DoubletSolverTest, NonPositiveJointAreaGivesDetectionLimits) {
    TSampleFile s = LineSample(5, 100);
    for (int ch = 285; ch <= 327; ++ch) {
        s.Sample.Spectrum.Channel[ch] = 60; // a dip under the pair
    }
    AddPeak(s, "Lo", 300, 40);
    AddPeak(s, "Hi", 312, 40);
    RecordingView view;
    ScriptedPrompt prompt;
    TDoubletResultList results{};
    RunDoubletSolver(0, s, results, &view, prompt);
    ASSERT_TRUE(results.Valid);
    for (int i : {0, 1}) {
        const TDoubletResult r = results.Result[i];
        EXPECT_TRUE(r.Solved);
        EXPECT_EQ(r.Error, -1.0f);
        EXPECT_EQ(r.Area, 0);
        EXPECT_EQ(r.Solution.UncertaintyA, -1.0);
        EXPECT_GT(r.Solution.AreaA, 0); // the detection limit in counts
        double act = 0;
        const TPeakEntry peak = s.PeakList.Peak[i];
        ASSERT_FALSE(
            ActivityOfCounts(peak, 1000, s.Calibration.RCal, Round(r.Solution.AreaA), 0.5, act));
        EXPECT_NEAR_REL(r.Activity, act, 1e-6);
    }
    EXPECT_EQ(results.Result[0].Solution.CenterA, 300);
    EXPECT_TRUE(view.ResultLines[0].startsWith(
        "Lo (300keV) = " + QString::number(Round(results.Result[0].Solution.AreaA)) + "cts / "));
}

TEST(DoubletSolverTest, RefusedPairsAreListedWithoutResults) {
    struct Case {
        const char* Title;
        double Sigma;
        int Lower, Upper, Size;
    };
    const Case cases[] = {
        // 3 sigma would fit (21 - 15 - 2 >= 0), but the 4 sigma window would not.
        {"left window below channel 0", 5, 21, 30, 1024},
        {"right window beyond the end", 5, 990, 1002, 1024},
        {"windows without channels", 0.6, 300, 301, 1024},
    };
    for (const Case& c : cases) {
        TSampleFile s = LineSample(c.Sigma, 100, c.Size);
        AddGaussian(s.Sample.Spectrum, c.Lower, c.Sigma, 5000);
        AddPeak(s, "Lo", c.Lower, 40);
        AddPeak(s, "Hi", c.Upper, 40);
        TDoubletSolution sol{};
        EXPECT_TRUE(SolveDoublet(c.Lower, c.Upper, s.Calibration.ECal, s.Calibration.WCal,
                                 s.Sample.Spectrum, sol))
            << c.Title;
        EXPECT_EQ(sol.AreaA, 0) << c.Title;
        RecordingView view;
        ScriptedPrompt prompt;
        TDoubletResultList results{};
        RunDoubletSolver(0, s, results, &view, prompt);
        EXPECT_EQ(view.PairLines.size(), 1) << c.Title;
        EXPECT_TRUE(view.ResultLines.isEmpty()) << c.Title;
        EXPECT_FALSE(results.Result[0].Solved || results.Result[1].Solved) << c.Title;
        EXPECT_TRUE(results.Valid) << c.Title;
    }
    // Just inside: 22 - 20 - 2 = 0.
    TSampleFile s = LineSample(5, 100);
    TDoubletSolution sol{};
    EXPECT_FALSE(
        SolveDoublet(22, 31, s.Calibration.ECal, s.Calibration.WCal, s.Sample.Spectrum, sol));
}

TEST(DoubletSolverTest, SharedPeakTakesTheLaterPair) {
    TSampleFile s = LineSample(5, 20);
    AddGaussian(s.Sample.Spectrum, 300, 5, 20000);
    AddGaussian(s.Sample.Spectrum, 306, 5, 20000);
    AddGaussian(s.Sample.Spectrum, 312, 5, 20000);
    AddPeak(s, "A", 300, 40);
    AddPeak(s, "B", 306, 40);
    AddPeak(s, "C", 312, 40);
    RecordingView view;
    ScriptedPrompt prompt;
    TDoubletResultList results{};
    RunDoubletSolver(0, s, results, &view, prompt);
    ASSERT_EQ(view.Pairs.Size, 3); // A-B, A-C, B-C
    EXPECT_EQ(view.PairLines[2], QString("B (306keV) - C (312keV)"));
    EXPECT_EQ(view.ResultLines.size(), 6);
    // B was last solved with C; A last with C.
    EXPECT_EQ(PeakNameToText(results.Result[1].Partner), QString("C"));
    EXPECT_EQ(results.Result[1].PairIndex, 0);
    EXPECT_EQ(PeakNameToText(results.Result[0].Partner), QString("C"));
    EXPECT_EQ(PeakNameToText(results.Result[2].Partner), QString("B"));
    EXPECT_EQ(results.Result[2].PairIndex, 1);
}

TEST(DoubletSolverTest, ModesAndTheWindowAnswer) {
    TSampleFile s = LineSample(5, 20);
    AddGaussian(s.Sample.Spectrum, 300, 5, 20000);
    AddGaussian(s.Sample.Spectrum, 312, 5, 20000);
    AddPeak(s, "A", 300, 40);
    AddPeak(s, "B", 312, 40);
    ScriptedPrompt prompt;
    TDoubletResultList results{};

    RecordingView view;
    RunDoubletSolver(1, s, results, &view, prompt);
    EXPECT_EQ(view.Shows, 1);
    EXPECT_TRUE(results.Valid);
    EXPECT_FALSE(view.Results.Valid); // handed over before the run completed

    view.Accept = false;
    RunDoubletSolver(1, s, results, &view, prompt);
    EXPECT_FALSE(results.Valid);
    EXPECT_TRUE(results.Result[0].Solved); // kept for the window, but not valid

    RunDoubletSolver(1, s, results, nullptr, prompt);
    EXPECT_FALSE(results.Valid);
    RunDoubletSolver(0, s, results, nullptr, prompt);
    EXPECT_TRUE(results.Valid);
    EXPECT_TRUE(prompt.Messages.isEmpty());

    // No pair: the message in either mode, the window is filled but not shown.
    TSampleFile apart = LineSample(5, 20);
    AddPeak(apart, "A", 300, 40);
    AddPeak(apart, "B", 321, 40);
    for (std::uint8_t mode : {0, 1}) {
        RecordingView v;
        results.Valid = true;
        results.Result[0].Solved = true;
        RunDoubletSolver(mode, apart, results, &v, prompt);
        EXPECT_FALSE(results.Valid);
        EXPECT_FALSE(results.Result[0].Solved);
        EXPECT_EQ(v.Fills, 1);
        EXPECT_EQ(v.Shows, 0);
        EXPECT_TRUE(v.PairLines.isEmpty());
    }
    EXPECT_EQ(prompt.Messages, QStringList({"No doublets identified", "No doublets identified"}));
}

TEST(DoubletSolverTest, PlotChoiceFollowsTheSolvedEntries) {
    TSampleFile s = LineSample(5, 20);
    AddPeak(s, "A", 300, 40);
    AddPeak(s, "B", 312, 40);
    TDoubletList pairs;
    FindDoublets(s.PeakList, s.Calibration.ECal, s.Calibration.WCal, 1024, pairs);
    TDoubletResultList results{};
    EXPECT_EQ(ChooseDoubletPlot(pairs, -1, s.PeakList, results).Kind, TDoubletPlotChoice::Nothing);
    EXPECT_EQ(ChooseDoubletPlot(pairs, 1, s.PeakList, results).Kind, TDoubletPlotChoice::Nothing);
    EXPECT_EQ(ChooseDoubletPlot(pairs, 0, s.PeakList, results).Kind, TDoubletPlotChoice::Message);
    results.Result[0].Solved = results.Result[1].Solved = true;
    const TDoubletPlotChoice c = ChooseDoubletPlot(pairs, 0, s.PeakList, results);
    EXPECT_EQ(c.Kind, TDoubletPlotChoice::Plot);
    EXPECT_EQ(c.Entry, 0);
    TPeakList other = s.PeakList;
    other.Size = 1;
    EXPECT_EQ(ChooseDoubletPlot(pairs, 0, other, results).Kind, TDoubletPlotChoice::Nothing);
}

} // namespace
