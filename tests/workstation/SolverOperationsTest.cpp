// The solver commands and the clipped analysis setup of the workstation session.
#include "SampleFixtures.h"
#include "TestHelpers.h"
#include "workstation/Workstation.h"

namespace {

// A valid sample with a pair at 300/312 keV and a single line at 600 keV
// (channel = energy, sigma 5), flat background `level`.
TSampleFile PairSample(float level, double pairArea) {
    TSampleFile s = FlatSample(1024, level);
    AddGaussian(s.Sample.Spectrum, 300, 5, pairArea);
    AddGaussian(s.Sample.Spectrum, 312, 5, pairArea);
    AddGaussian(s.Sample.Spectrum, 600, 5, pairArea);
    SetCalibration(s, ChannelIsKeV, ConstantWidth(5), FivePercent);
    SetMeasurement(s, 1000, 1);
    AddPeak(s, "L0", 300, 50);
    AddPeak(s, "L1", 312, 50);
    AddPeak(s, "L2", 600, 50);
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

void SetOrigins(TAnalysisState& s, const QString& origin) {
    s.EWCalOrigin = s.EfficiencyOrigin = s.PeakListOrigin = origin;
}

TEST(ClippedSetupTest, UseWithoutAClippedSetupChangesNothing) {
    for (const char* missing : {"all", "energy"}) {
        TWorkstation session;
        TAnalysisState& s = session.State;
        s.MeasuredSample = PairSample(10, 1000);
        if (QString(missing) == "energy") {
            SetOrigins(s, "first.vtb");
            s.EWCalOrigin.clear(); // clipped while the origin was empty
            session.ClipAnalysisSetup();
            SetOrigins(s, "now.vtb");
        }
        s.MeasuredSample.Calibration.ECal.C1 = 2;
        const TCommandResult r = session.UseClippedAnalysisSetup(nullptr);
        EXPECT_EQ(r.Messages, QStringList{"Currently no analysis setup clipped!"});
        EXPECT_EQ(+s.MeasuredSample.Calibration.ECal.C1, 2.0f);
        EXPECT_EQ(r.Refresh, TRefresh::None);
    }
}

TEST(ClippedSetupTest, ClipCopiesTheCurrentSetup) {
    TWorkstation session;
    TAnalysisState& s = session.State;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    s.DoubletResults.Valid = true;
    s.TrapezoidSelection[2] = true;
    const TCommandResult r = session.ClipAnalysisSetup();
    EXPECT_EQ(s.PostAnalysis.EWCalOrigin, QString("first.vtb"));
    EXPECT_EQ(s.PostAnalysis.PeakList.Size, 3);
    EXPECT_EQ(+s.PostAnalysis.Calibration.WCal.W0, 5.0f);
    EXPECT_TRUE(s.PostAnalysis.SolveDoublets);
    EXPECT_FALSE(s.PostAnalysis.SolveTrapezoid);
    EXPECT_TRUE(s.PostAnalysis.TrapezoidSelection[2]);
    EXPECT_EQ(r.Refresh, TRefresh::None);
}

TEST(ClippedSetupTest, UseAppliesTheSetupAndReRunsTheClippedSolvers) {
    TWorkstation session;
    TAnalysisState& s = session.State;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    s.DoubletResults.Valid = true;
    s.TrapezoidResults.Valid = true;
    s.TrapezoidSelection[2] = true; // only the single line at 600 keV
    session.ClipAnalysisSetup();
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
    const TCommandResult r = session.UseClippedAnalysisSetup(&view);
    EXPECT_TRUE(r.Messages.isEmpty());
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
    EXPECT_FALSE(s.TrapezoidResults.Result[0].Significant);
    EXPECT_TRUE(s.TrapezoidResults.Result[2].Significant);
    EXPECT_EQ(r.Refresh, TRefresh::PeakSelection);
}

TEST(ClippedSetupTest, UseKeepsResultsOfUnclippedSolversAndSkipsInvalidSamples) {
    TWorkstation session;
    TAnalysisState& s = session.State;
    s.MeasuredSample = PairSample(10, 1000);
    SetOrigins(s, "first.vtb");
    session.ClipAnalysisSetup(); // neither solver valid
    s.DoubletResults.Valid = true;
    s.DoubletResults.Result[1].Area = 123;
    EXPECT_EQ(session.UseClippedAnalysisSetup(nullptr).Refresh, TRefresh::PeakSelection);
    EXPECT_TRUE(s.DoubletResults.Valid);
    EXPECT_EQ(s.DoubletResults.Result[1].Area, 123.0f);
    // No valid sample: the setup is taken over, nothing is analysed.
    s.MeasuredSample.Valid = 0;
    s.MeasuredSample.PeakList.Size = 0;
    SetOrigins(s, "");
    EXPECT_EQ(session.UseClippedAnalysisSetup(nullptr).Refresh, TRefresh::None);
    EXPECT_EQ(s.MeasuredSample.PeakList.Size, 3);
    EXPECT_EQ(s.PeakListOrigin, QString("first.vtb"));
}

TEST(SolverOperationsTest, SolversWorkOnThePreparedCopy) {
    TWorkstation session;
    TAnalysisState& s = session.State;
    RecordingView view;
    // Without a valid sample nothing runs.
    EXPECT_EQ(session.SolveDoublets(&view).Status, CommandNotRun);
    EXPECT_EQ(session.SolveTrapezoid(TBoolArray{}).Status, CommandNotRun);
    EXPECT_EQ(view.Fills, 0);

    s.MeasuredSample = PairSample(10, 20000);
    s.BackgroundSample = PairSample(10, 0); // flat 10 counts, same counting time
    session.BackgroundSubtraction = true;
    EXPECT_EQ(session.SolveDoublets(&view).Refresh, TRefresh::Analysis);
    EXPECT_EQ(view.Shows, 1);
    EXPECT_TRUE(s.DoubletResults.Valid);
    EXPECT_NEAR(+view.Sample.Sample.Spectrum.Channel[5], 0, 1e-6);  // net copy
    EXPECT_EQ(+s.MeasuredSample.Sample.Spectrum.Channel[5], 10.0f); // sample untouched
    view.Accept = false;
    session.SolveDoublets(&view);
    EXPECT_FALSE(s.DoubletResults.Valid);

    TBoolArray selection{};
    selection[2] = true;
    EXPECT_EQ(session.SolveTrapezoid(selection).Refresh, TRefresh::Analysis);
    EXPECT_TRUE(s.TrapezoidSelection[2]);
    EXPECT_TRUE(s.TrapezoidResults.Valid);
    EXPECT_TRUE(s.TrapezoidResults.Result[2].Significant);
    // A dismissed selection window: results not valid, selection kept.
    session.SolveTrapezoid(std::nullopt);
    EXPECT_FALSE(s.TrapezoidResults.Valid);
    EXPECT_TRUE(s.TrapezoidSelection[2]);
}

TEST(SolverOperationsTest, NoDoubletsIsReportedAsAMessage) {
    TWorkstation session;
    session.State.MeasuredSample = PairSample(10, 1000);
    session.State.MeasuredSample.PeakList.Peak[1].Energy = 900; // no pair left
    const TCommandResult r = session.SolveDoublets(nullptr);
    EXPECT_EQ(r.Messages, QStringList{"No doublets identified"});
    EXPECT_FALSE(session.State.DoubletResults.Valid);
}

} // namespace
