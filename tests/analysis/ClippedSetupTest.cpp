#include "analysis/ClippedSetup.h"

#include "FakeHost.h"
#include "TestHelpers.h"

#include <cmath>

namespace {

void AddGaussian(TSpectrum& sp, double centre, double sigma, double area) {
    for (int ch = 0; ch < sp.Size; ++ch) {
        const double z = (ch - centre) / sigma;
        sp.Channel[ch] +=
            static_cast<float>(area * std::exp(-0.5 * z * z) / (std::sqrt(2 * M_PI) * sigma));
    }
}

// A valid sample with a pair at 300/312 keV and a single line at 600 keV
// (channel = energy, sigma 5), flat background `level`.
TSampleFile PairSample(float level, double pairArea) {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Spectrum.Size = 1024;
    for (int ch = 0; ch < 1024; ++ch) {
        s.Sample.Spectrum.Channel[ch] = level;
    }
    AddGaussian(s.Sample.Spectrum, 300, 5, pairArea);
    AddGaussian(s.Sample.Spectrum, 312, 5, pairArea);
    AddGaussian(s.Sample.Spectrum, 600, 5, pairArea);
    s.Calibration.ECal = {0.0f, 1.0f, 0.0f, 0.0f};
    s.Calibration.WCal = {5.0f, 0.0f, 0.0f};
    s.Calibration.RCal = {0.05f, 0.0f, 0.0f, 0.0f};
    s.Sample.Parameter.SampleInterval = 1000;
    s.Sample.Parameter.Weight = 1;
    const int energies[] = {300, 312, 600};
    for (int i = 0; i < 3; ++i) {
        TPeakEntry entry{};
        SetPeakName(entry, "L" + QString::number(i));
        entry.Energy = static_cast<std::uint16_t>(energies[i]);
        entry.Probability = 50;
        entry.Limit = -1;
        s.PeakList.Peak[i] = entry;
    }
    s.PeakList.Size = 3;
    s.Results.Size = 3;
    return s;
}

class RecordingView : public TDoubletView {
public:
    bool Accept = true;
    int Fills = 0, Shows = 0;
    TSampleFile Sample{};
    void SetDoublets(const QStringList&, const QStringList&, const TDoubletList&,
                     const TSampleFile& sample, const TDoubletResultList&) override {
        ++Fills;
        Sample = sample;
    }
    bool ShowModal() override {
        ++Shows;
        return Accept;
    }
};

class RecordingSelector : public TTrapezoidSelector {
public:
    int Calls = 0;
    QList<bool> Checked;
    bool SelectPeaks(const QStringList&, QList<bool>& checked) override {
        ++Calls;
        checked = Checked;
        return true;
    }
};

void SetOrigins(TAnalysisState& s, const QString& origin) {
    s.EWCalOrigin = s.EfficiencyOrigin = s.PeakListOrigin = origin;
}

TEST(ClippedSetupTest, UseWithoutAClippedSetupChangesNothing) {
    for (const char* missing : {"all", "energy"}) {
        FakeHost host;
        host.Analysis.MeasuredSample = PairSample(10, 1000);
        if (QString(missing) == "energy") {
            SetOrigins(host.Analysis, "first.vtb");
            host.Analysis.EWCalOrigin.clear(); // clipped while the origin was empty
            host.Prompts.Confirmations.push_back(true);
            DefineAnalysisClick(host);
            SetOrigins(host.Analysis, "now.vtb");
        }
        host.Analysis.MeasuredSample.Calibration.ECal.C1 = 2;
        UseAnalysisClick(host, nullptr, nullptr);
        EXPECT_EQ(host.Prompts.Messages, QStringList{"Currently no analysis setup clipped!"});
        EXPECT_EQ(+host.Analysis.MeasuredSample.Calibration.ECal.C1, 2.0f);
        EXPECT_EQ(host.Refreshes, 0);
        EXPECT_EQ(host.Analyses, 0);
    }
}

TEST(ClippedSetupTest, ClipAsksAndCopiesTheCurrentSetup) {
    FakeHost host;
    TAnalysisState& s = host.Analysis;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    s.DoubletResults.Valid = true;
    s.TrapezoidSelection[2] = true;

    host.Prompts.Confirmations.push_back(false);
    DefineAnalysisClick(host);
    EXPECT_EQ(
        host.Prompts.Questions,
        QStringList{"Clip actual analysis setup|Replace clipped analysis setup by actual setup?"});
    EXPECT_TRUE(s.PostAnalysis.PeakListOrigin.isEmpty());

    host.Prompts.Confirmations.push_back(true);
    DefineAnalysisClick(host);
    EXPECT_EQ(s.PostAnalysis.EWCalOrigin, QString("first.vtb"));
    EXPECT_EQ(s.PostAnalysis.PeakList.Size, 3);
    EXPECT_EQ(+s.PostAnalysis.Calibration.WCal.W0, 5.0f);
    EXPECT_TRUE(s.PostAnalysis.SolveDoublets);
    EXPECT_FALSE(s.PostAnalysis.SolveTrapezoid);
    EXPECT_TRUE(s.PostAnalysis.TrapezoidSelection[2]);
    EXPECT_EQ(host.Analyses, 0);
}

TEST(ClippedSetupTest, UseAppliesTheSetupAndReRunsTheClippedSolvers) {
    FakeHost host;
    TAnalysisState& s = host.Analysis;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    s.DoubletResults.Valid = true;
    s.TrapezoidResults.Valid = true;
    s.TrapezoidSelection[2] = true; // only the single line at 600 keV
    host.Prompts.Confirmations.push_back(true);
    DefineAnalysisClick(host);
    s.TrapezoidSelection[2] = false; // a later change does not reach the setup
    s.TrapezoidSelection[0] = true;

    // Another sample, with its own calibration and a bigger pair.
    TSampleFile second = PairSample(10, 50000);
    second.Calibration.RCal.A0 = 0.1f;
    second.PeakList.Size = 1;
    s.MeasuredSample = second;
    SetOrigins(s, "second.vtb");
    s.DoubletResults.Valid = false;
    s.TrapezoidResults.Valid = false;

    RecordingView view;
    RecordingSelector selector;
    UseAnalysisClick(host, &view, &selector);
    EXPECT_TRUE(host.Prompts.Messages.isEmpty());
    EXPECT_EQ(+s.MeasuredSample.Calibration.RCal.A0, 0.05f);
    EXPECT_EQ(s.MeasuredSample.PeakList.Size, 3);
    EXPECT_EQ(s.PeakListOrigin, QString("first.vtb"));
    EXPECT_EQ(s.EWCalOrigin, QString("first.vtb"));
    // The spectrum is still the second sample's.
    EXPECT_GT(+s.MeasuredSample.Sample.Spectrum.Channel[300], 1000);

    EXPECT_TRUE(s.DoubletResults.Valid);
    EXPECT_EQ(view.Fills, 1);
    EXPECT_EQ(view.Shows, 0);
    EXPECT_NEAR_REL(s.DoubletResults.Result[0].Area, 50000, 0.1);

    EXPECT_TRUE(s.TrapezoidResults.Valid);
    EXPECT_EQ(selector.Calls, 0);
    EXPECT_FALSE(s.TrapezoidResults.Result[0].Significant);
    EXPECT_TRUE(s.TrapezoidResults.Result[2].Significant);

    EXPECT_EQ(host.Refreshes, 1);
    EXPECT_EQ(host.LastRefreshedList.Size, 3);
}

TEST(ClippedSetupTest, UseKeepsResultsOfUnclippedSolversAndSkipsInvalidSamples) {
    FakeHost host;
    TAnalysisState& s = host.Analysis;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    host.Prompts.Confirmations.push_back(true);
    DefineAnalysisClick(host); // neither solver valid

    s.DoubletResults.Valid = true;
    s.DoubletResults.Result[1].Area = 123;
    UseAnalysisClick(host, nullptr, nullptr);
    EXPECT_TRUE(s.DoubletResults.Valid);
    EXPECT_EQ(s.DoubletResults.Result[1].Area, 123.0f);
    EXPECT_EQ(host.Refreshes, 1);

    // No valid sample: the setup is taken over, nothing is analysed.
    s.MeasuredSample.Valid = 0;
    s.MeasuredSample.PeakList.Size = 0;
    SetOrigins(s, "");
    UseAnalysisClick(host, nullptr, nullptr);
    EXPECT_EQ(s.MeasuredSample.PeakList.Size, 3);
    EXPECT_EQ(s.PeakListOrigin, QString("first.vtb"));
    EXPECT_EQ(host.Refreshes, 1);
    EXPECT_EQ(host.Analyses, 1);
}

TEST(ClippedSetupTest, SolverCommandsWorkOnThePreparedCopy) {
    FakeHost host;
    TAnalysisState& s = host.Analysis;
    RecordingView view;
    RecordingSelector selector;

    // Without a valid sample nothing runs.
    SolveDoubletClick(host, view);
    TrapezoidClick(host, selector);
    EXPECT_EQ(view.Fills + selector.Calls + host.Analyses, 0);

    s.MeasuredSample = PairSample(10, 20000);
    s.BackgroundSample = PairSample(10, 0); // flat 10 counts, same counting time
    host.SubtractionChecked = true;
    SolveDoubletClick(host, view);
    EXPECT_EQ(view.Shows, 1);
    EXPECT_TRUE(s.DoubletResults.Valid);
    EXPECT_NEAR(+view.Sample.Sample.Spectrum.Channel[5], 0, 1e-6);  // net copy
    EXPECT_EQ(+s.MeasuredSample.Sample.Spectrum.Channel[5], 10.0f); // sample untouched
    EXPECT_EQ(host.Analyses, 1);

    view.Accept = false;
    SolveDoubletClick(host, view);
    EXPECT_FALSE(s.DoubletResults.Valid);
    EXPECT_EQ(host.Analyses, 2);

    selector.Checked = {false, false, true};
    TrapezoidClick(host, selector);
    EXPECT_EQ(selector.Calls, 1);
    EXPECT_TRUE(s.TrapezoidSelection[2]);
    EXPECT_TRUE(s.TrapezoidResults.Valid);
    EXPECT_TRUE(s.TrapezoidResults.Result[2].Significant);
    EXPECT_EQ(host.Analyses, 3);
}

} // namespace
