#include "FuzzUse.h"

#include "SampleFixtures.h"
#include "analysis/AnalysisRun.h"

#include <cstdlib>

namespace {

void CheckRun(const TAnalysisRun& run) {
    RequireFuzz(run.Peaks.size() <= static_cast<std::size_t>(MaxPeaks));
    for (const TPeakReport& peak : run.Peaks) {
        RequireFuzz(peak.Index >= 0 && peak.Index < MaxPeaks);
        RequireFuzz(!peak.Line ||
                    (*peak.Line >= 0 && *peak.Line < static_cast<int>(run.Lines.size())));
    }
}

} // namespace

void RequireFuzz(bool condition) {
    if (!condition) {
        std::abort();
    }
}

TSampleFile MakeFuzzBaseSample() {
    TSampleFile s = GaussianPeakSample(1024, 662);
    AddPeak(s, "Cs137", 662, 85.1f, 600);
    AddPeak(s, "Pb214", 352, 35.6f);
    AddPeak(s, "K40", 1461, 10.7f);
    AddPeak(s, "Cs134", 605, 97.6f);
    return s;
}

void AnalyseFuzzedSample(const TSampleFile& measured, const TUncertaintySettings& uncertainties) {
    TAnalysisState state;
    state.MeasuredSample = measured;
    TAnalysisOptions options;
    CheckRun(AnalyseSample(state, options, uncertainties));

    state.BackgroundSample = MakeFuzzBaseSample();
    options.BackgroundSubtraction = true;
    options.DetailedResults = true;
    options.Selected = 0;
    options.DecimalSeparator = ',';
    CheckRun(AnalyseSample(state, options, uncertainties));
}
