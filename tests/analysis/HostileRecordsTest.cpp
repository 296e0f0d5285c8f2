// Whatever a record holds, the analysis run and both solvers stay inside
// their arrays (the sanitizer build turns any stray access into a failure)
// and store only finite or marked results.
#include "HostileRecords.h"
#include "ScriptedPrompt.h"
#include "analysis/AnalysisRun.h"
#include "analysis/DoubletSolver.h"
#include "analysis/TrapezoidSolver.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class QuietPrompt : public ScriptedPrompt {
public:
    void ShowMessage(const QString&) override {}
};

TEST(HostileRecordsTest, AnalysisRunAndSolversStayInBounds) {
    THostileRecords records(20261210);
    QuietPrompt prompt;
    for (int round = 0; round < 200; ++round) {
        TAnalysisState state;
        state.MeasuredSample = records.Next();
        state.BackgroundSample = records.Next();
        TBoolArray all{};
        for (int i = 0; i < SolverEntries; ++i) {
            all[i] = true;
        }
        TAnalysisOptions options;
        options.BackgroundSubtraction = round % 2 == 0;
        options.DetailedResults = true;
        options.Selected = round % 17 - 1;
        AnalyseSample(state, options, TUncertaintySettings{});

        RunTrapezoidSolver(0, state.MeasuredSample, state.TrapezoidResults, all, nullptr);
        RunDoubletSolver(0, state.MeasuredSample, state.DoubletResults, nullptr, prompt);
        const TAnalysisRun run = AnalyseSample(state, options, TUncertaintySettings{});

        ASSERT_LE(run.Peaks.size(), std::size_t(MaxPeaks));
        for (const TPeakReport& p : run.Peaks) {
            const float error = p.Result.Error;
            EXPECT_FALSE(std::isinf(error)) << "round " << round << " peak " << p.Index;
        }
    }
}

} // namespace
