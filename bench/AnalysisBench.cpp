// Cost of the analysis run's peak evaluations, which the main window repeats
// on every repaint: all 16 lines of a 4096-channel sample, without and with
// background subtraction of a working copy, against copying one sample record.
#include "analysis/BackgroundSubtraction.h"
#include "analysis/RoiEvaluation.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

// 16 lines from 150 to 2400 keV at one channel per keV, each a Gaussian of
// 5000 counts on a background of 50 counts per channel, width 2 + c/500.
TSampleFile SixteenLineSample(double level) {
    TSampleFile sample{};
    sample.Valid = 1;
    sample.Sample.Parameter.SampleInterval = 3600;
    sample.Sample.Parameter.Weight = 0.5f;
    sample.Sample.Spectrum.Size = 4096;
    sample.Calibration.ECal = {0, 1, 0, 0};
    sample.Calibration.WCal = {2, 0.002f, 0};
    sample.Calibration.RCal = {0.02f, 0, 10, 0};
    sample.PeakList.Size = MaxPeaks;
    for (int j = 0; j < MaxChannels; ++j) {
        sample.Sample.Spectrum.Channel[j] = static_cast<float>(level);
    }
    for (int p = 0; p < MaxPeaks; ++p) {
        TPeakEntry peak{};
        SetPeakName(peak, "Line");
        peak.Energy = static_cast<std::uint16_t>(150 + 150 * p);
        peak.Probability = 50;
        sample.PeakList.Peak[p] = peak;
        const double sigma = 2 + peak.Energy / 500.0;
        for (int j = peak.Energy - 40; j < peak.Energy + 40; ++j) {
            const double z = (j + 0.5 - peak.Energy) / sigma;
            const double add =
                5000 / (sigma * std::sqrt(2 * std::numbers::pi)) * std::exp(-0.5 * z * z);
            sample.Sample.Spectrum.Channel[j] += static_cast<float>(add);
        }
    }
    return sample;
}

// Returns the number of lines found (code 0), reported as a counter so that
// a fixture that stops finding its peaks shows.
int EvaluateAll(TSampleFile& sample, const TSample& background, bool subtracted) {
    int found = 0;
    for (int i = 0; i < MaxPeaks; ++i) {
        const TRoiEvaluation ev = EvaluatePeak(sample, background, i, subtracted);
        benchmark::DoNotOptimize(ev);
        found += ev.Code == RoiPeakFound ? 1 : 0;
    }
    return found;
}

void BM_EvaluateSixteenLines(benchmark::State& state) {
    TSampleFile sample = SixteenLineSample(50);
    TSampleFile background = SixteenLineSample(0);
    int found = 0;
    for (auto _ : state) {
        found = EvaluateAll(sample, background.Sample, false);
        benchmark::ClobberMemory();
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_EvaluateSixteenLines);

void BM_SubtractAndEvaluateSixteenLines(benchmark::State& state) {
    const TSampleFile measured = SixteenLineSample(50);
    TSampleFile background = SixteenLineSample(0);
    for (int j = 0; j < MaxChannels; ++j) {
        background.Sample.Spectrum.Channel[j] = 100; // 7200 s: 50 per 3600 s
    }
    background.Sample.Parameter.SampleInterval = 7200;
    int found = 0;
    for (auto _ : state) {
        bool subtracted = false;
        TSampleFile copy = PrepareWorkingCopy(measured, background, true, subtracted);
        found = EvaluateAll(copy, background.Sample, subtracted);
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
    }
    state.counters["found"] = found;
}
BENCHMARK(BM_SubtractAndEvaluateSixteenLines);

void BM_CopySampleFile(benchmark::State& state) {
    const TSampleFile sample = SixteenLineSample(50);
    for (auto _ : state) {
        TSampleFile copy = sample;
        benchmark::DoNotOptimize(copy);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopySampleFile);

} // namespace
