#include "analysis/TrapezoidSolver.h"
#include "analysis/RoiEvaluation.h"

#include "SampleFixtures.h"
#include "TestHelpers.h"
#include "core/NumberFormat.h"

#include <cmath>
#include <ostream>
#include <string>

namespace {

// A sample whose line `energy` keV sits at channel energy + 0.4 with a fixed
// width of `sigma` channels, on a flat background of `level` counts;
// efficiency 5 % everywhere, 1000 s, 0.5 kg.
TSampleFile LineSample(double sigma, float level, int size = 1024) {
    TSampleFile s = FlatSample(size, level);
    SetCalibration(s, {0.4f, 1.0f, 0.0f, 0.0f}, ConstantWidth(sigma), FivePercent);
    SetMeasurement(s, 1000, 0.5f);
    return s;
}

struct LayoutCase {
    const char* Title;
    double Sigma;
    int W, R, S; // half width of the peak region, window length, shift range
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
    *os << c.Title;
}

class TrapezoidLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// On a flat spectrum every shift fits equally well, so the last one (+s) is
// kept: the geometry shows the rounded half width, window and shift range.
TEST_P(TrapezoidLayoutTest, RoundsHalvesToEven) {
    const LayoutCase& c = GetParam();
    const TSampleFile s = LineSample(c.Sigma, 100);
    TTrapezoidGeometry g{};
    ASSERT_FALSE(FitTrapezoid(500, s.Calibration.ECal, s.Calibration.WCal, g, s.Sample.Spectrum));
    const int c0 = 500 + c.S;
    EXPECT_EQ(g.CenterChannel, c0);
    EXPECT_EQ(g.PeakFirst, c0 - c.W);
    EXPECT_EQ(g.PeakLast, c0 + c.W);
    EXPECT_EQ(g.LeftLast, c0 - c.W - 1);
    EXPECT_EQ(g.LeftFirst, c0 - c.W - 1 - c.R);
    EXPECT_EQ(g.RightFirst, c0 + c.W + 1);
    EXPECT_EQ(g.RightLast, c0 + c.W + c.R);
    EXPECT_EQ(g.Sigma, c.Sigma == 0.6 ? double(0.6f) : c.Sigma);
    EXPECT_EQ(g.Slope, 0);
    EXPECT_NEAR_REL(g.BackgroundArea, 100.0 * (2 * c.W + 1), 1e-6);
    EXPECT_NEAR(g.NetArea, 0, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Widths, TrapezoidLayoutTest,
                         ::testing::Values(LayoutCase{"sigma1", 1, 3, 1, 0},
                                           LayoutCase{"sigma3", 3, 8, 3, 2},
                                           LayoutCase{"sigma4", 4, 10, 4, 2},
                                           LayoutCase{"sigma5", 5, 13, 5, 2},
                                           LayoutCase{"sigma06", 0.6, 2, 1, 0}),
                         [](const auto& info) { return std::string(info.param.Title); });

TEST(TrapezoidSolverTest, ExampleGeometryFollowsThePeak) {
    // sigma 4 at channel 500.4: region 490..510, left 485..489, right 511..514
    // unshifted; a peak at 501.4 is found one channel to the right.
    TSampleFile s = LineSample(4, 100);
    AddGaussian(s.Sample.Spectrum, 501.4, 4, 20000);
    TTrapezoidGeometry g{};
    ASSERT_FALSE(FitTrapezoid(500, s.Calibration.ECal, s.Calibration.WCal, g, s.Sample.Spectrum));
    EXPECT_EQ(g.CenterChannel, 501);
    EXPECT_EQ(g.PeakFirst, 491);
    EXPECT_EQ(g.PeakLast, 511);
    EXPECT_EQ(g.LeftFirst, 486);
    EXPECT_EQ(g.LeftLast, 490);
    EXPECT_EQ(g.RightFirst, 512);
    EXPECT_EQ(g.RightLast, 515);
    // The windows sit on the flanks, so the baseline is a little high; the
    // net area is most of the peak.
    EXPECT_GT(g.NetArea, 0.9 * 20000);
    EXPECT_LT(g.NetArea, 20000);
    EXPECT_EQ(g.LimitArea, g.NetArea);
    const double meanL = ChannelSum(486, 490, s.Sample.Spectrum) / 5;
    EXPECT_NEAR_REL(g.Intercept, meanL - (490 - 2) * g.Slope, 1e-12);
}

TEST(TrapezoidSolverTest, RefusesPeaksItCannotPlace) {
    struct Case {
        const char* Title;
        double Sigma;
        int Energy;
    };
    const Case cases[] = {
        {"right window empty", 0.4, 500}, {"half a channel rounds to 0", 0.5, 500},
        {"left window below 0", 4, 16},   {"right window at the end", 4, 1008},
        {"channel outside", 4, 2000},
    };
    for (const Case& c : cases) {
        const TSampleFile s = LineSample(c.Sigma, 10);
        TTrapezoidGeometry g{};
        g.CenterChannel = 77;
        EXPECT_TRUE(
            FitTrapezoid(c.Energy, s.Calibration.ECal, s.Calibration.WCal, g, s.Sample.Spectrum))
            << c.Title;
        EXPECT_EQ(g.CenterChannel, 77) << c.Title;
    }
    // Just inside both ends: left window from 0 at shift -2, right to 1023 at +2.
    const TSampleFile s = LineSample(4, 10);
    TTrapezoidGeometry g{};
    EXPECT_FALSE(FitTrapezoid(17, s.Calibration.ECal, s.Calibration.WCal, g, s.Sample.Spectrum));
    EXPECT_FALSE(FitTrapezoid(1007, s.Calibration.ECal, s.Calibration.WCal, g, s.Sample.Spectrum));
}

TEST(TrapezoidSolverTest, ChannelSumStaysInsideTheSpectrum) {
    TSpectrum sp{};
    sp.Size = 4;
    for (int i = 0; i < MaxChannels; ++i) {
        sp.Channel[i] = 1;
    }
    EXPECT_EQ(ChannelSum(1, 2, sp), 2);
    EXPECT_EQ(ChannelSum(2, 1, sp), 0);
    EXPECT_EQ(ChannelSum(-5, 10, sp), 4); // only channels 0..3 are read
}

TEST(TrapezoidSolverTest, NetAreaLimits) {
    double t = 0, dl = 0, u = 0;
    // No background: Threshold k1^2 n / m, DetectionLimit ((k1+k2)^2 / 4)(1 + m/n).
    NetAreaLimits(21, 5, 4, 0, 0, 1.96, 1.96, 1.96, t, dl, u);
    EXPECT_NEAR_REL(t, 1.96 * 1.96 * 21 / 9, 1e-12);
    EXPECT_NEAR_REL(dl, (3.92 * 3.92 / 4) * (1 + 9.0 / 21), 1e-12);
    EXPECT_EQ(u, 0);

    NetAreaLimits(21, 5, 4, 2100, 500, 1.645, 1.96, 1.0, t, dl, u);
    const double n = 21, m = 9, B = 2100, k1 = 1.645, k2 = 1.96;
    EXPECT_NEAR_REL(
        t, (k1 * k1 * n / (2 * m)) * (1 + std::sqrt(1 + (4 * B * m / (k1 * k1 * n)) * (1 + m / n))),
        1e-12);
    EXPECT_NEAR_REL(
        dl, (k1 + k2) * std::sqrt(B * (1 + n / m)) + ((k1 + k2) * (k1 + k2) / 4) * (1 + m / n),
        1e-12);
    EXPECT_NEAR_REL(u, std::sqrt(n * B / m + 500), 1e-12);

    // Negative background and area count as 0.
    double t0 = 0, dl0 = 0, u0 = 0;
    NetAreaLimits(21, 5, 4, -50, -10, 1.96, 1.96, 1.96, t, dl, u);
    NetAreaLimits(21, 5, 4, 0, 0, 1.96, 1.96, 1.96, t0, dl0, u0);
    EXPECT_EQ(t, t0);
    EXPECT_EQ(dl, dl0);
    EXPECT_EQ(u, 0);

    NetAreaLimits(21, 0, 0, 10, 10, 1.96, 1.96, 1.96, t, dl, u);
    EXPECT_TRUE(std::isinf(t) && std::isinf(dl) && std::isinf(u));
}

class ScriptedSelector : public TTrapezoidSelector {
public:
    bool Accept = true;
    QList<bool> Checked;
    QStringList Lines;
    int Calls = 0;
    bool SelectPeaks(const QStringList& lines, QList<bool>& checked) override {
        ++Calls;
        Lines = lines;
        checked = Checked;
        return Accept;
    }
};

TSampleFile ThreePeakSample() {
    TSampleFile s = LineSample(4, 100);
    AddPeak(s, "Cs-137", 300, 50);
    AddPeak(s, "K40", 500, 50);
    AddPeak(s, "Edge", 10, 50); // too close to channel 0 to be placed
    AddGaussian(s.Sample.Spectrum, 300.4, 4, 30000);
    return s;
}

TEST(TrapezoidSolverTest, SelectionWindowDecidesWhatIsTreated) {
    const TSampleFile s = ThreePeakSample();
    TTrapezoidResultList results{};
    results.Result[1].Significant = true; // from an earlier run
    TBoolArray selection{};
    selection[5] = true;
    ScriptedSelector selector;
    selector.Checked = {true, true, false};
    RunTrapezoidSolver(1, s, results, selection, &selector);
    EXPECT_EQ(selector.Lines, QStringList({"Cs-137(300keV)", "K40(500keV)", "Edge(10keV)"}));
    EXPECT_TRUE(results.Valid);
    EXPECT_EQ(results.Size, 3);
    EXPECT_TRUE(selection[0] && selection[1] && !selection[2]);
    EXPECT_TRUE(selection[5]); // beyond the peak count: kept

    const TTrapezoidResult& cs = results.Result[0];
    ASSERT_TRUE(cs.Significant);
    EXPECT_NEAR_REL(cs.Area, 30000, 0.05);
    double t = 0, dl = 0, u = 0;
    const TTrapezoidGeometry g = cs.Geometry;
    NetAreaLimits(g.PeakLast - g.PeakFirst + 1, g.LeftLast - g.LeftFirst + 1,
                  g.RightLast - g.RightFirst + 1, g.BackgroundArea, g.LimitArea, 1.96, 1.96, 1.96,
                  t, dl, u);
    EXPECT_EQ(cs.Area, static_cast<float>(g.NetArea));
    EXPECT_NEAR_REL(cs.Error, 100 * u / cs.Area, 1e-6);
    double activity = 0;
    ASSERT_FALSE(ActivityOfCounts(s.PeakList.Peak[0], 1000, s.Calibration.RCal, Round(cs.Area), 0.5,
                                  activity));
    EXPECT_NEAR_REL(cs.Activity, activity, 1e-6);

    // Flat at K40: not significant, the activity of the detection limit.
    const TTrapezoidResult& k = results.Result[1];
    EXPECT_FALSE(k.Significant);
    EXPECT_EQ(k.Error, -1.0f);
    EXPECT_EQ(k.Area, 0);
    const TTrapezoidGeometry kg = k.Geometry;
    NetAreaLimits(kg.PeakLast - kg.PeakFirst + 1, kg.LeftLast - kg.LeftFirst + 1,
                  kg.RightLast - kg.RightFirst + 1, kg.BackgroundArea, kg.LimitArea, 1.96, 1.96,
                  1.96, t, dl, u);
    ASSERT_FALSE(
        ActivityOfCounts(s.PeakList.Peak[1], 1000, s.Calibration.RCal, Round(dl), 0.5, activity));
    EXPECT_NEAR_REL(k.Activity, activity, 1e-6);

    // Dismissed: results discarded, selection unchanged.
    selector.Accept = false;
    selector.Checked = {false, false, true};
    RunTrapezoidSolver(1, s, results, selection, &selector);
    EXPECT_FALSE(results.Valid);
    EXPECT_FALSE(results.Result[0].Significant);
    EXPECT_EQ(results.Result[0].Error, -1.0f);
    EXPECT_EQ(results.Result[0].Activity, 0);
    EXPECT_TRUE(selection[0] && selection[1] && !selection[2]);

    // Mode 1 without a window counts as dismissed.
    RunTrapezoidSolver(1, s, results, selection, nullptr);
    EXPECT_FALSE(results.Valid);
}

TEST(TrapezoidSolverTest, ModeZeroUsesTheSelectionAsGiven) {
    TSampleFile s = ThreePeakSample();
    TTrapezoidResultList results{};
    TBoolArray none{};
    ScriptedSelector selector;
    RunTrapezoidSolver(0, s, results, none, &selector);
    EXPECT_EQ(selector.Calls, 0);
    EXPECT_TRUE(results.Valid);
    for (int i = 0; i < 16; ++i) {
        EXPECT_FALSE(results.Result[i].Significant);
    }

    // A selected peak that cannot be placed is never judged on an old geometry.
    TBoolArray all{};
    all[0] = all[1] = all[2] = true;
    results.Result[2].Geometry.NetArea = 1e9;
    results.Result[2].Geometry.PeakLast = 100;
    RunTrapezoidSolver(0, s, results, all, nullptr);
    const TTrapezoidResult& edge = results.Result[2];
    EXPECT_FALSE(edge.Significant);
    EXPECT_EQ(edge.Activity, 0);
    EXPECT_EQ(edge.Error, -1.0f);
    EXPECT_EQ(edge.Area, 0);
    EXPECT_EQ(edge.Geometry.NetArea, 0);
    EXPECT_EQ(edge.Geometry.PeakLast, 0);

    // No weight: still significant, but no activity can be stated.
    s.Sample.Parameter.Weight = 0;
    RunTrapezoidSolver(0, s, results, all, nullptr);
    EXPECT_TRUE(results.Result[0].Significant);
    EXPECT_GT(results.Result[0].Area, 0);
    EXPECT_EQ(results.Result[0].Activity, 0);
}

} // namespace
