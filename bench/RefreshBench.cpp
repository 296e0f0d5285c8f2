// One full refresh of the main window: the analysis run of a 4096-channel
// sample with 16 lines and background subtraction, and the three plots drawn
// into images of their on-screen sizes. One frame at 60 Hz is 16.7 ms.
#include "BenchApplication.h"
#include "analysis/AnalysisRun.h"
#include "plots/DrawRunPlot.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <memory>
#include <numbers>

namespace {

// 0.75 keV per channel, NaI-like widths, 16 lines on a falling continuum;
// the background has the continuum only, measured twice as long.
void MakeSamples(TSampleFile& sample, TSampleFile& background) {
    sample = TSampleFile{};
    sample.Valid = 1;
    sample.Sample.Parameter.SampleInterval = 3600;
    sample.Sample.Parameter.Weight = 0.5f;
    sample.Sample.Spectrum.Size = MaxChannels;
    sample.Calibration.ECal = {0, 1.0f / 0.75f, 0, 0};
    sample.Calibration.WCal = {2, 0.012f, 0};
    sample.Calibration.RCal = {0.5f, -0.7f, 100, 0};
    background = sample;
    background.Sample.Parameter.SampleInterval = 7200;
    for (int ch = 0; ch < MaxChannels; ++ch) {
        const double continuum = 40 + 4000 * std::exp(-ch / 500.0);
        sample.Sample.Spectrum.Channel[ch] = static_cast<float>(continuum);
        background.Sample.Spectrum.Channel[ch] = static_cast<float>(2 * continuum);
    }
    const int energies[MaxPeaks] = {186, 239,  295,  352,  463,  583,  662,  795,
                                    911, 1001, 1120, 1238, 1461, 1764, 2204, 2614};
    for (int p = 0; p < MaxPeaks; ++p) {
        TPeakEntry peak{};
        SetPeakName(peak, "L" + QString::number(p));
        peak.Energy = static_cast<std::uint16_t>(energies[p]);
        peak.Probability = 50;
        peak.Limit = -1;
        sample.PeakList.Peak[p] = peak;
        const double c = energies[p] / 0.75;
        const double sigma = 2 + 0.012 * c;
        for (int ch = 0; ch < MaxChannels; ++ch) {
            const double z = (ch + 0.5 - c) / sigma;
            const double g =
                30000 * std::exp(-0.5 * z * z) / (std::sqrt(2 * std::numbers::pi) * sigma);
            sample.Sample.Spectrum.Channel[ch] += static_cast<float>(g);
        }
    }
    sample.PeakList.Size = MaxPeaks;
}

void BM_MainWindowRefresh(benchmark::State& state) {
    EnsureBenchApplication();
    TAnalysisState analysis;
    MakeSamples(analysis.MeasuredSample, analysis.BackgroundSample);
    TAnalysisOptions options;
    options.BackgroundSubtraction = true;
    options.Selected = 0;
    const TUncertaintySettings settings;
    QImage spectrum(1028, 241, QImage::Format_RGB32);
    QImage background(1028, 74, QImage::Format_RGB32);
    QImage roi(331, 250, QImage::Format_RGB32);
    int measured = 0;
    for (auto _ : state) {
        const TAnalysisRun run = AnalyseSample(analysis, options, settings);
        for (auto [image, plot] :
             {std::pair{&spectrum, &run.SpectrumPlot}, std::pair{&background, &run.BackgroundPlot},
              std::pair{&roi, &run.RoiPlot}}) {
            QPainter painter(image);
            DrawRunPlot(run, *plot, painter, image->rect());
        }
        measured = 0;
        for (const TPeakReport& peak : run.Peaks) {
            measured += peak.Code == 0 ? 1 : 0;
        }
        benchmark::DoNotOptimize(spectrum.constBits());
    }
    state.counters["measured"] = measured;
}
BENCHMARK(BM_MainWindowRefresh)->Unit(benchmark::kMillisecond);

} // namespace
