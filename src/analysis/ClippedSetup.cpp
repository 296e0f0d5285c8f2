#include "analysis/ClippedSetup.h"

#include "analysis/BackgroundSubtraction.h"

namespace {

TSampleFile WorkingCopy(TCommandHost& host) {
    TAnalysisState& state = host.State();
    bool subtracted = false;
    return PrepareWorkingCopy(state.MeasuredSample, state.BackgroundSample,
                              host.BackgroundSubtractionChecked(), subtracted);
}

} // namespace

void DefineAnalysisClick(TCommandHost& host) {
    if (!host.Prompt().Confirm("Clip actual analysis setup",
                               "Replace clipped analysis setup by actual setup?")) {
        return;
    }
    TAnalysisState& state = host.State();
    TPostAnalysis& post = state.PostAnalysis;
    post.Calibration = state.MeasuredSample.Calibration;
    post.PeakList = state.MeasuredSample.PeakList;
    post.EWCalOrigin = state.EWCalOrigin;
    post.EfficiencyOrigin = state.EfficiencyOrigin;
    post.PeakListOrigin = state.PeakListOrigin;
    post.SolveDoublets = state.DoubletResults.Valid;
    post.SolveTrapezoid = state.TrapezoidResults.Valid;
    post.TrapezoidSelection = state.TrapezoidSelection;
}

void UseAnalysisClick(TCommandHost& host, TDoubletView* doubletView,
                      TTrapezoidSelector* trapezoidSelector) {
    TAnalysisState& state = host.State();
    TPostAnalysis& post = state.PostAnalysis;
    if (post.EWCalOrigin.isEmpty() || post.EfficiencyOrigin.isEmpty() ||
        post.PeakListOrigin.isEmpty()) {
        host.Prompt().ShowMessage("Currently no analysis setup clipped!");
        return;
    }
    state.MeasuredSample.Calibration = post.Calibration;
    state.MeasuredSample.PeakList = post.PeakList;
    state.EWCalOrigin = post.EWCalOrigin;
    state.EfficiencyOrigin = post.EfficiencyOrigin;
    state.PeakListOrigin = post.PeakListOrigin;
    if (!IsTrue(state.MeasuredSample.Valid)) {
        return;
    }
    const TSampleFile copy = WorkingCopy(host);
    if (post.SolveDoublets) {
        RunDoubletSolver(0, copy, state.DoubletResults, doubletView, host.Prompt());
    }
    if (post.SolveTrapezoid) {
        RunTrapezoidSolver(0, copy, state.TrapezoidResults, post.TrapezoidSelection,
                           trapezoidSelector);
    }
    const TPeakList peakList = state.MeasuredSample.PeakList;
    host.RefreshPeakSelection(peakList);
}

void SolveDoubletClick(TCommandHost& host, TDoubletView& view) {
    TAnalysisState& state = host.State();
    if (!IsTrue(state.MeasuredSample.Valid)) {
        return;
    }
    RunDoubletSolver(1, WorkingCopy(host), state.DoubletResults, &view, host.Prompt());
    host.AnalyseSample();
}

void TrapezoidClick(TCommandHost& host, TTrapezoidSelector& selector) {
    TAnalysisState& state = host.State();
    if (!IsTrue(state.MeasuredSample.Valid)) {
        return;
    }
    RunTrapezoidSolver(1, WorkingCopy(host), state.TrapezoidResults, state.TrapezoidSelection,
                       &selector);
    host.AnalyseSample();
}
