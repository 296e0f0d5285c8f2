// Cost of the calibration tool's recomputation, run after every added or
// removed point: nine points (the most that are fitted), six polynomial
// fits of up to four terms and the memo text.
#include "calibration/CalibrationTool.h"
#include "core/NumberFormat.h"

#include <benchmark/benchmark.h>

namespace {

// Nine lines from 60 to 2614 keV on a slightly curved energy scale of a
// 1024-channel spectrum, widths growing with the channel.
TCalibrationTool NinePointTool() {
    TCalibrationTool tool('.');
    tool.Spectrum.Size = 1024;
    tool.Spectrum.AdcResolution = 256;
    tool.Spectrum.RefVoltage = 2000;
    const int energies[9] = {60, 122, 239, 352, 609, 662, 1120, 1461, 2614};
    for (int i = 0; i < 9; ++i) {
        const double e = energies[i];
        const double ch = 4 + 0.38 * e - 0.000012 * e * e;
        const double sigma = 1.5 + 0.006 * ch;
        tool.Points.push_back({QStringLiteral("L%1").arg(i), QString::number(energies[i]),
                               QString::fromStdString(FormatGeneral(ch, '.')),
                               QString::fromStdString(FormatGeneral(sigma, '.'))});
    }
    return tool;
}

void BM_RecomputeRegressionsNinePoints(benchmark::State& state) {
    TCalibrationTool tool = NinePointTool();
    for (auto _ : state) {
        tool.RecomputeRegressions();
        benchmark::DoNotOptimize(tool.Memo.size());
    }
    if (!tool.OkEnabled || tool.Memo.size() != 2 + 4 * 7 + 2 * 6) {
        state.SkipWithError("the nine-point recomputation did not succeed");
    }
}
BENCHMARK(BM_RecomputeRegressionsNinePoints)->Unit(benchmark::kMicrosecond);

} // namespace
