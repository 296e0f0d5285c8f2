// One full repaint of the energy and peak-width calibration tool: the
// spectrum, peak and regression views drawn into images of their on-screen
// sizes, for a 1024-channel spectrum with nine calibration points and their
// fitted curves. One frame at 60 Hz is 16.7 ms.
#include "calibration/CalibrationTool.h"
#include "plots/CalibrationPlots.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace {

constexpr int Channels = 1024;
constexpr int Lines = 9;

// Nine lines on a falling continuum, channel = 1.4 * energy + 10, sigma
// growing with the channel; the tool with a point located for each line and
// the ROI left on the last one.
TCalibrationTool MakeTool() {
    TSampleFile sample{};
    sample.Valid = 1;
    sample.Sample.Spectrum.Size = Channels;
    sample.Sample.Parameter.SampleInterval = 3600;
    const int energies[Lines] = {60, 122, 186, 239, 352, 412, 511, 609, 662};
    const char* names[Lines] = {"Am241", "Co57",  "Ra226", "Pb212", "Pb214",
                                "Au198", "Annih", "Bi214", "Cs137"};
    for (int ch = 0; ch < Channels; ++ch) {
        sample.Sample.Spectrum.Channel[ch] = static_cast<float>(50 + 3000 * std::exp(-ch / 300.0));
    }
    for (int i = 0; i < Lines; ++i) {
        const double centre = 1.4 * energies[i] + 10;
        const double sigma = 2 + 0.01 * centre;
        for (int ch = 0; ch < Channels; ++ch) {
            const double z = (ch + 0.5 - centre) / sigma;
            sample.Sample.Spectrum.Channel[ch] += static_cast<float>(5000 * std::exp(-0.5 * z * z));
        }
        TPeakEntry& entry = sample.PeakList.Peak[i];
        std::memcpy(entry.Name, names[i], std::strlen(names[i]));
        entry.Energy = static_cast<std::uint16_t>(energies[i]);
    }
    sample.PeakList.Size = Lines;

    TCalibrationTool tool('.');
    tool.LoadSampleSpectrum(sample);
    tool.TakeCandidates(sample.PeakList);
    for (int i = 0; i < Lines; ++i) {
        const int centre = static_cast<int>(1.4 * energies[i] + 10);
        const int half = static_cast<int>(3 * (2 + 0.01 * centre));
        tool.MouseDown(TMouseButton::Right, Channels - 1);
        tool.MouseDown(TMouseButton::Left, centre - half);
        tool.MouseDown(TMouseButton::Right, centre + half + 1);
        tool.AddPoint(i);
    }
    return tool;
}

void BM_CalibrationToolRepaint(benchmark::State& state) {
    const TCalibrationTool tool = MakeTool();
    if (tool.Points.size() != Lines || !tool.OkEnabled) {
        state.SkipWithError("the nine points did not fit");
        return;
    }
    QImage spectrum(1024, 166, QImage::Format_RGB32);
    QImage peak(350, 300, QImage::Format_RGB32);
    QImage regression(302, 345, QImage::Format_RGB32);
    const bool logView = state.range(0) != 0;
    for (auto _ : state) {
        {
            QPainter p(&spectrum);
            DrawToolSpectrum(tool, logView, 4, p, spectrum.rect());
        }
        {
            QPainter p(&peak);
            DrawToolPeak(tool, p, peak.rect());
        }
        {
            QPainter p(&regression);
            DrawRegression(tool, 4, p, regression.rect());
        }
        benchmark::DoNotOptimize(spectrum.constBits());
        benchmark::DoNotOptimize(regression.constBits());
    }
}
BENCHMARK(BM_CalibrationToolRepaint)->ArgName("log")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
