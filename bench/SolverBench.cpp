// Cost of the two solvers without their windows (as the clipped setup runs
// them): a 16-line peak list on a 4096-channel NaI-like sample in which four
// pairs of lines overlap.
#include "analysis/AnalysisRun.h"
#include "analysis/DoubletSolver.h"
#include "analysis/TrapezoidSolver.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

class TSilentPrompt : public TPrompt {
public:
    void ShowMessage(const QString&) override {}
    bool Confirm(const QString&, const QString&) override { return false; }
    QString OpenFileName(const TFileDialogOptions&) override { return {}; }
    QString SaveFileName(const TFileDialogOptions&) override { return {}; }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
};

// 1.2 channels per keV; sigma 8 + 0.02 c channels (about 7 % FWHM at 662 keV).
// Four close pairs and eight single lines, each a Gaussian of 20000 counts on
// a falling continuum.
TSampleFile NaISample() {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Parameter.SampleInterval = 3600;
    s.Sample.Parameter.Weight = 0.5f;
    s.Sample.Spectrum.Size = MaxChannels;
    s.Calibration.ECal = {0, 1.2f, 0, 0};
    s.Calibration.WCal = {8, 0.02f, 0};
    s.Calibration.RCal = {0.5f, -0.7f, 100, 0};
    for (int ch = 0; ch < MaxChannels; ++ch) {
        s.Sample.Spectrum.Channel[ch] = static_cast<float>(20 + 2000 * std::exp(-ch / 600.0));
    }
    const int energies[MaxPeaks] = {300, 315, 700, 730,  1200, 1240, 2000, 2060,
                                    100, 500, 950, 1450, 1650, 2300, 2600, 2900};
    for (int p = 0; p < MaxPeaks; ++p) {
        TPeakEntry peak{};
        SetPeakName(peak, "L" + QString::number(p));
        peak.Energy = static_cast<std::uint16_t>(energies[p]);
        peak.Probability = 50;
        peak.Limit = -1;
        s.PeakList.Peak[p] = peak;
        const double c = 1.2 * energies[p];
        const double sigma = 8 + 0.02 * c;
        for (int ch = 0; ch < MaxChannels; ++ch) {
            const double z = (ch - c) / sigma;
            s.Sample.Spectrum.Channel[ch] += static_cast<float>(
                20000 * std::exp(-0.5 * z * z) / (std::sqrt(2 * std::numbers::pi) * sigma));
        }
    }
    s.PeakList.Size = MaxPeaks;
    s.Results.Size = MaxPeaks;
    return s;
}

void BM_DoubletSolver(benchmark::State& state) {
    const TSampleFile sample = NaISample();
    TDoubletList pairs;
    FindDoublets(sample.PeakList, sample.Calibration.ECal, sample.Calibration.WCal, MaxChannels,
                 pairs);
    if (pairs.Size != 4) {
        state.SkipWithError("the sample should hold four pairs");
        return;
    }
    TSilentPrompt prompt;
    TDoubletResultList results;
    for (auto _ : state) {
        RunDoubletSolver(0, sample, results, nullptr, prompt);
        benchmark::DoNotOptimize(results);
    }
    int solved = 0;
    for (int i = 0; i < MaxPeaks; ++i) {
        solved += results.Result[i].Solved ? 1 : 0;
    }
    state.counters["solved"] = solved;
}
BENCHMARK(BM_DoubletSolver)->Unit(benchmark::kMillisecond);

void BM_TrapezoidSolver(benchmark::State& state) {
    const TSampleFile sample = NaISample();
    TBoolArray all{};
    for (int i = 0; i < MaxPeaks; ++i) {
        all[i] = true;
    }
    TTrapezoidResultList results;
    for (auto _ : state) {
        RunTrapezoidSolver(0, sample, results, all, nullptr);
        benchmark::DoNotOptimize(results);
    }
    int significant = 0;
    for (int i = 0; i < MaxPeaks; ++i) {
        significant += results.Result[i].Significant ? 1 : 0;
    }
    state.counters["significant"] = significant;
}
BENCHMARK(BM_TrapezoidSolver)->Unit(benchmark::kMicrosecond);

// The plain analysis run on the same sample (what every repaint costs), for
// the ratio of the solvers to it.
void BM_PlainAnalysisRun(benchmark::State& state) {
    TAnalysisState analysis;
    analysis.MeasuredSample = NaISample();
    TAnalysisOptions options;
    options.Selected = 0;
    const TUncertaintySettings settings;
    for (auto _ : state) {
        TAnalysisRun run = AnalyseSample(analysis, options, settings);
        benchmark::DoNotOptimize(run);
    }
}
BENCHMARK(BM_PlainAnalysisRun)->Unit(benchmark::kMicrosecond);

} // namespace
