#include "analysis/RoiEvaluation.h"

#include "analysis/CalibrationFunctions.h"
#include "core/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double SmoothingKernel[7] = {-2, 3, 6, 7, 6, 3, -2};
constexpr double SmoothingDivisor = 21;
constexpr double SecondDerivativeKernel[7] = {5, 0, -3, -4, -3, 0, 5};
constexpr double SecondDerivativeDivisor = 42;

int ClampCount(int count) {
    return std::clamp(count, 0, RoiPoints);
}

// Ceil as a 64-bit integer: NaN gives 0, values beyond the range saturate.
std::int64_t CeilToInt64(double x) {
    if (std::isnan(x)) {
        return 0;
    }
    constexpr double limit = 9.2e18; // below 2^63, so the cast is defined
    if (x >= limit) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (x <= -limit) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(std::ceil(x));
}

// Linear interpolation of values[i] .. values[i + 1] at position x.
double Interpolate(const TRoiArray& values, int i, double x) {
    return values[i] + (values[i + 1] - values[i]) * (x - i);
}

// Content of channel number `channel` (a whole number); 0 outside the
// channels that the spectrum holds.
double ChannelAt(const TSpectrum& spectrum, double channel) {
    const double entry = channel - spectrum.Offset;
    if (!(entry >= 0 && entry < UsableChannels(spectrum))) {
        return 0;
    }
    return spectrum.Channel[static_cast<int>(entry)];
}

} // namespace

double ExtractRoi(const TSpectrum& spectrum, double channel, double width, TRoiArray& extract,
                  int& count, double& expectedWidth, double& centreOffset) {
    count = 0;
    // Channel numbers held by the spectrum: [first, end).
    const double first = spectrum.Offset;
    const double end = first + UsableChannels(spectrum);
    if (!(width >= 0)) {
        expectedWidth = 0;
        centreOffset = 0;
        return 1;
    }
    double lo = channel - 4 * width;
    double hi = channel + 4 * width;
    double step = width / 2;
    if (step <= 1) {
        // Narrow peaks: single channels.
        step = 1;
        expectedWidth = width;
        const double i0 = std::floor(lo) - 3;
        const double i1 = std::ceil(hi) + 3;
        centreOffset = channel - i0;
        if (!(i0 >= first && i1 < end && i1 - i0 <= RoiPoints)) {
            return step;
        }
        const int n = static_cast<int>(i1 - i0);
        const int e0 = static_cast<int>(i0 - first);
        for (int k = 0; k < n; ++k) {
            extract[k] = spectrum.Channel[e0 + k];
        }
        count = n;
        return step;
    }
    // Wide peaks: bins of half a width, so every peak spans the same points.
    lo = std::floor(lo / step) * step - 3 * step;
    hi = std::ceil(hi / step) * step + 3 * step;
    centreOffset = (channel - lo) / step;
    expectedWidth = 2;
    if (!(lo >= first && hi < end)) {
        return step;
    }
    // Channel j covers [j, j + 1); each bin takes the part of a channel that
    // lies inside it, so the bins preserve counts. The bin start x advances by
    // repeated addition of step until it reaches hi. (hi - lo) / step is a
    // whole number of at most 23, but the accumulated x can fall just short of
    // hi after the last of them and so add one more bin: that bin belongs to
    // the extraction (24 points at most), and channels it covers beyond the
    // spectrum read as 0.
    int n = 0;
    for (double x = lo; x < hi && n < RoiPoints; x += step) {
        const double xEnd = x + step;
        const double j0 = std::trunc(x);
        const double j1 = std::trunc(xEnd);
        double inner = 0;
        for (double j = j0 + 1; j < j1; ++j) {
            inner += ChannelAt(spectrum, j);
        }
        extract[n++] = (1 - (x - j0)) * ChannelAt(spectrum, j0) + inner +
                       (xEnd - j1) * ChannelAt(spectrum, j1);
    }
    count = n;
    return step;
}

void FilterRoi(TRoiKernel kernel, const TRoiArray& values, int count, TRoiArray& filtered) {
    const int n = ClampCount(count);
    const double* coefficients =
        kernel == TRoiKernel::Smoothing ? SmoothingKernel : SecondDerivativeKernel;
    const double divisor =
        kernel == TRoiKernel::Smoothing ? SmoothingDivisor : SecondDerivativeDivisor;
    for (int i = 3; i <= n - 4; ++i) {
        double sum = 0;
        for (int j = 0; j < 7; ++j) {
            sum += coefficients[j] * values[i + j - 3];
        }
        filtered[i] = sum / divisor;
    }
    for (int i = 0; i < 3 && i < n; ++i) {
        filtered[i] = 0;
    }
    for (int i = std::max(0, n - 3); i < n; ++i) {
        filtered[i] = 0;
    }
}

double BackgroundSigma(int count, const TRoiArray& extract, bool backgroundSubtracted, double ratio,
                       const TRoiArray& backgroundExtract, double halfWidth, double centre) {
    const int n = ClampCount(count);
    if (n < 7) {
        return 0; // no smoothed points at all
    }
    if (!std::isfinite(centre) || !std::isfinite(halfWidth)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const std::int64_t lo = Round(centre - 2 * halfWidth);
    const std::int64_t hi = Round(centre + 2 * halfWidth);
    const double points = static_cast<double>(hi) - static_cast<double>(lo) + 1;
    // A window inside the extract is read at its ends, even where they fall on
    // the zeroed points at either end of the filtered extract. A window
    // reaching outside the extract has no defined level there; its ends are
    // then read at the nearest smoothed points 3 .. n - 4 (a background level,
    // where the zeroed points would make any area significant).
    const bool inside = lo >= 0 && hi < n;
    const int iLo = static_cast<int>(inside ? lo : std::clamp<std::int64_t>(lo, 3, n - 4));
    const int iHi = static_cast<int>(inside ? hi : std::clamp<std::int64_t>(hi, 3, n - 4));
    if (!backgroundSubtracted) {
        TRoiArray s{};
        FilterRoi(TRoiKernel::Smoothing, extract, n, s);
        return std::sqrt(s[iLo] + s[iHi]) * points / 2;
    }
    TRoiArray sb{};
    FilterRoi(TRoiKernel::Smoothing, backgroundExtract, n, sb);
    TRoiArray gross{};
    for (int k = 0; k < n; ++k) {
        gross[k] = ratio * backgroundExtract[k] + extract[k];
    }
    TRoiArray st{};
    FilterRoi(TRoiKernel::Smoothing, gross, n, st);
    return std::sqrt(ratio * ratio * (sb[iLo] + sb[iHi]) + (st[iLo] + st[iHi])) * points / 2;
}

std::uint8_t AnalysePeak(const TRoiArray& extract, int count, bool backgroundSubtracted,
                         const TRoiArray& backgroundExtract, double ratio, double expectedWidth,
                         double& sigmaFound, std::int64_t& sigmaArea, std::int64_t& area) {
    area = 0;
    const int n = ClampCount(count);
    if (n <= 0) {
        sigmaArea = -1;
        return RoiOutside;
    }
    TRoiArray d{};
    FilterRoi(TRoiKernel::SecondDerivative, extract, n, d);
    const int m = n / 2;
    std::uint8_t status = RoiNoMaximum;
    if (d[m] < 0) {
        int left = m;
        while (d[left] < 0 && left > 0) {
            --left;
        }
        int right = m;
        while (d[right] < 0 && right < n - 1) {
            ++right;
        }
        status = RoiNoInflection;
        if (left > 0 && right < n - 1) {
            const double xL = left + d[left] / (d[left] - d[left + 1]);
            const double xR = right - d[right] / (d[right] - d[right - 1]);
            // Non-finite positions only arise from non-finite spectrum values.
            if (std::isfinite(xL) && std::isfinite(xR)) {
                const double x0 = (xL + xR) / 2;
                const double sigma = (xR - xL) / 2;
                sigmaFound = sigma;
                TRoiArray s{};
                FilterRoi(TRoiKernel::Smoothing, extract, n, s);
                const int f = std::clamp(static_cast<int>(std::floor(x0)), 0, n - 2);
                const double yL = Interpolate(s, left, xL);
                const double yR = Interpolate(s, right - 1, xR);
                const double y0 = Interpolate(s, f, x0);
                const double q = sigma == 0 ? 0 : sigma / expectedWidth;
                status = RoiWrongWidth;
                if (q >= 0.8 && q <= 1.3) {
                    area = CeilToInt64((y0 - (yL + yR) * 0.5) * (6.37 * sigma));
                    const double sigmaB = BackgroundSigma(n, extract, backgroundSubtracted, ratio,
                                                          backgroundExtract, sigma, x0);
                    if (!(2.055 * sigmaB < static_cast<double>(area))) {
                        area = Round(4.653 * sigmaB + 2.706);
                        sigmaArea = -1;
                        return RoiNotSignificant;
                    }
                    double variance = 0;
                    if (!backgroundSubtracted) {
                        variance = (yL + yR) * 0.25 + y0;
                    } else {
                        // Gross counts plus the variance of the scaled background.
                        TRoiArray sb{};
                        FilterRoi(TRoiKernel::Smoothing, backgroundExtract, n, sb);
                        const double bL = Interpolate(sb, left, xL);
                        const double bR = Interpolate(sb, right - 1, xR);
                        const double b0 = Interpolate(sb, f, x0);
                        const double r2 = ratio * ratio;
                        const double vL = yL + ratio * bL + r2 * bL;
                        const double vR = yR + ratio * bR + r2 * bR;
                        const double v0 = y0 + ratio * b0 + r2 * b0;
                        variance = (vL + vR) * 0.25 + v0;
                    }
                    sigmaArea = Round(std::sqrt(variance) * 1.56065 * sigma);
                    return RoiPeakFound;
                }
            }
        }
    }
    // No peak to measure: the detection limit at the middle, expected width.
    const double sigmaB = BackgroundSigma(n, extract, backgroundSubtracted, ratio,
                                          backgroundExtract, expectedWidth, m);
    area = Round(4.653 * sigmaB + 2.706);
    sigmaArea = -1;
    return status;
}

bool ActivityOfCounts(const TPeakEntry& peak, std::int64_t timeSeconds,
                      const TEfficiencyCalibration& rcal, std::int64_t counts, double weightKg,
                      double& activity) {
    const double efficiency = EfficiencyAt(rcal, peak.Energy);
    const double probability = static_cast<double>(peak.Probability) / 100;
    if (!(efficiency > 0) || !(probability > 0) || timeSeconds <= 0 || !(weightKg > 0)) {
        return true;
    }
    const double value = static_cast<double>(counts) / static_cast<double>(timeSeconds) /
                         efficiency / probability / weightKg;
    if (!std::isfinite(value)) {
        return true;
    }
    activity = value;
    return false;
}

bool PeakActivity(const TSampleFile& sample, int index, std::int64_t counts, double& activity) {
    if (index < 0 || index >= UsablePeaks(sample.PeakList)) {
        return true;
    }
    const TPeakEntry peak = sample.PeakList.Peak[index];
    const TEfficiencyCalibration rcal = sample.Calibration.RCal;
    const std::uint32_t time = sample.Sample.Parameter.SampleInterval;
    const double weight = sample.Sample.Parameter.Weight;
    return ActivityOfCounts(peak, time, rcal, counts, weight, activity);
}

TRoiEvaluation EvaluatePeak(TSampleFile& sample, const TSample& background, int index,
                            bool backgroundSubtracted) {
    TRoiEvaluation ev;
    const auto notEvaluable = [&]() {
        ev.Code = RoiNotEvaluable;
        if (index >= 0 && index < MaxPeaks) {
            sample.Results.Result[index] = TPeakResult{0, 0, 0};
        }
        return ev;
    };
    if (index < 0 || index >= UsablePeaks(sample.PeakList)) {
        return notEvaluable();
    }
    const int size = sample.Sample.Spectrum.Size;
    if (size > MaxChannels) {
        return notEvaluable();
    }
    const TPeakEntry peak = sample.PeakList.Peak[index];
    const TDetectorCalibration calibration = sample.Calibration;
    double channel = 0;
    if (EnergyToChannel(peak.Energy, calibration.ECal, size, channel)) {
        return notEvaluable();
    }
    double width = 0;
    const bool widthOutside =
        sample.CalibrationType == 1
            ? PeakWidthAtEnergy(calibration.WCal, size, width, peak.Energy, channel)
            : PeakWidthAtChannel(calibration.WCal, size, width, channel);
    if (widthOutside) {
        return notEvaluable();
    }

    TRoiArray backgroundExtract{};
    int backgroundCount = 0;
    double backgroundWidth = 0, backgroundOffset = 0;
    ExtractRoi(background.Spectrum, channel, width, backgroundExtract, backgroundCount,
               backgroundWidth, backgroundOffset);
    ExtractRoi(sample.Sample.Spectrum, channel, width, ev.Extract, ev.Count, ev.ExpectedWidth,
               ev.CentreOffset);
    ev.HasRoi = true;
    FilterRoi(TRoiKernel::Smoothing, ev.Extract, ev.Count, ev.Smoothed);
    FilterRoi(TRoiKernel::SecondDerivative, ev.Extract, ev.Count, ev.SecondDerivative);

    const std::uint32_t sampleTime = sample.Sample.Parameter.SampleInterval;
    const std::uint32_t backgroundTime = background.Parameter.SampleInterval;
    const double ratio =
        backgroundTime != 0 ? static_cast<double>(sampleTime) / backgroundTime : 1.0;

    std::int64_t sigmaArea = -1;
    std::int64_t area = 0;
    const std::uint8_t status =
        AnalysePeak(ev.Extract, ev.Count, backgroundSubtracted, backgroundExtract, ratio,
                    ev.ExpectedWidth, ev.SigmaFound, sigmaArea, area);
    double activity = 0;
    if (PeakActivity(sample, index, area, activity)) {
        return notEvaluable();
    }
    const double counts = static_cast<double>(area);
    if (status == RoiPeakFound) {
        sample.Results.Result[index] = TPeakResult{
            ToSingle(activity), ToSingle(196.0 * static_cast<double>(sigmaArea) / counts),
            ToSingle(counts)};
    } else {
        sample.Results.Result[index] = TPeakResult{ToSingle(activity), -1, 0};
    }
    ev.Code = status;
    return ev;
}
