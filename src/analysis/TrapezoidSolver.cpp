#include "analysis/TrapezoidSolver.h"

#include "analysis/CalibrationFunctions.h"
#include "analysis/RoiEvaluation.h"
#include "core/NumberFormat.h"
#include "core/Single.h"

#include <cmath>
#include <limits>

namespace {

constexpr double Coverage = 1.96;
constexpr double SqrtTwoPi = 2.5066;

} // namespace

double ChannelSum(int first, int last, const TSpectrum& spectrum) {
    const int usable = UsableChannels(spectrum);
    if (first < 0) {
        first = 0;
    }
    if (last > usable - 1) {
        last = usable - 1;
    }
    double sum = 0;
    for (int ch = first; ch <= last; ++ch) {
        sum += spectrum.Channel[ch];
    }
    return sum;
}

void NetAreaLimits(int n, int nLeft, int nRight, double background, double area, double kThreshold,
                   double kLimit, double kUncertainty, double& threshold, double& detectionLimit,
                   double& uncertainty) {
    const long double m = static_cast<long double>(nLeft) + nRight;
    const long double N = n;
    if (n <= 0 || m <= 0) {
        threshold = detectionLimit = uncertainty = std::numeric_limits<double>::infinity();
        return;
    }
    const long double B = background < 0 ? 0.0L : background;
    const long double A = area < 0 ? 0.0L : area;
    const long double k1 = kThreshold, k2 = kLimit, k3 = kUncertainty;
    threshold = static_cast<double>((k1 * k1 * N / (2 * m)) *
                                    (1 + std::sqrt(1 + (4 * B * m / (k1 * k1 * N)) * (1 + m / N))));
    detectionLimit = static_cast<double>((k1 + k2) * std::sqrt(B * (1 + N / m)) +
                                         ((k1 + k2) * (k1 + k2) / 4) * (1 + m / N));
    uncertainty = static_cast<double>(k3 * std::sqrt(N * B / m + A));
}

bool FitTrapezoid(int energyKeV, const TEnergyCalibration& ecal, const TPeakWidthCalibration& wcal,
                  TTrapezoidGeometry& geometry, const TSpectrum& spectrum) {
    const int size = UsableChannels(spectrum);
    double c = 0, sigma = 0;
    if (EnergyToChannel(energyKeV, ecal, size, c) || PeakWidthAtChannel(wcal, size, sigma, c)) {
        return true;
    }
    const int c0 = static_cast<int>(Round(c));
    const int w = static_cast<int>(Round(2.56 * sigma));
    const int r = static_cast<int>(Round(sigma));
    const int s = static_cast<int>(Round(0.5 * sigma));
    if (r < 1) {
        return true; // the right window would hold no channel
    }
    const int L = c0 - w, R = c0 + w;
    const int leftFirst = L - 1 - r, leftLast = L - 1;
    const int rightFirst = R + 1, rightLast = R + r;
    if (leftFirst - s < 0 || rightLast + s >= size) {
        return true;
    }

    double best = 0;
    for (int k = -s; k <= s; ++k) {
        const int lf = leftFirst + k, ll = leftLast + k;
        const int rf = rightFirst + k, rl = rightLast + k;
        const int pf = L + k, pl = R + k;
        const double meanL = ChannelSum(lf, ll, spectrum) / (r + 1);
        const double meanR = ChannelSum(rf, rl, spectrum) / r;
        const double slope = (meanR - meanL) / (rightLast - leftLast + 1);
        const int mid = ll - r / 2;
        const double intercept = meanL - mid * slope;

        // The baseline starts one slope above the left mean at the window's
        // first channel; the intercept is only stored.
        auto baseline = [&](int ch) { return ToSingle(meanL + (ch - lf + 1) * slope); };
        double B = 0;
        for (int ch = pf; ch <= pl; ++ch) {
            B += baseline(ch);
        }
        const double N = ChannelSum(pf, pl, spectrum) - B;

        double Q = 0;
        const double centre = c0 + k;
        for (int ch = lf; ch <= rl; ++ch) {
            const double z = (ch - centre) / sigma;
            const float g = ToSingle(std::exp(-0.5 * z * z) * N / (SqrtTwoPi * sigma));
            const float d = spectrum.Channel[ch] - baseline(ch);
            const double diff = static_cast<double>(g) - d;
            Q += diff * diff;
        }
        if (k == -s) {
            best = Q;
        }
        if (Q <= best) {
            best = Q;
            geometry.CenterChannel = c0 + k;
            geometry.PeakFirst = pf;
            geometry.PeakLast = pl;
            geometry.LeftLast = ll;
            geometry.LeftFirst = lf;
            geometry.RightLast = rl;
            geometry.RightFirst = rf;
            geometry.Sigma = sigma;
            geometry.Slope = slope;
            geometry.Intercept = intercept;
            geometry.NetArea = N;
            geometry.LimitArea = N;
            geometry.BackgroundArea = B;
        }
    }
    return false;
}

void ClearTrapezoidResults(TTrapezoidResultList& results) {
    results.Size = 0;
    for (int i = 0; i < MaxPeaks; ++i) {
        results.Result[i].Significant = false;
        results.Result[i].Activity = 0;
        results.Result[i].Error = -1.0f;
        results.Result[i].Area = 0;
    }
}

QStringList TrapezoidSelectionLines(const TPeakList& peakList) {
    QStringList lines;
    for (int i = 0; i < UsablePeaks(peakList); ++i) {
        const TPeakEntry peak = peakList.Peak[i];
        lines << PeakNameToText(peak) + "(" + QString::number(peak.Energy) + "keV)";
    }
    return lines;
}

void RunTrapezoidSolver(std::uint8_t mode, TSampleFile sample, TTrapezoidResultList& results,
                        TBoolArray& selection, TTrapezoidSelector* selector) {
    bool run = true;
    ClearTrapezoidResults(results);
    const int peaks = UsablePeaks(sample.PeakList);
    if (mode == 1) {
        QList<bool> checked;
        run = selector != nullptr &&
              selector->SelectPeaks(TrapezoidSelectionLines(sample.PeakList), checked);
        if (run) {
            for (int i = 0; i < peaks && i < checked.size(); ++i) {
                selection[i] = checked[i];
            }
        }
    }
    if (!run) {
        results.Valid = false;
        return;
    }
    results.Size = peaks;

    const TSpectrum spectrum = sample.Sample.Spectrum;
    const TEnergyCalibration ecal = sample.Calibration.ECal;
    const TPeakWidthCalibration wcal = sample.Calibration.WCal;
    const TEfficiencyCalibration rcal = sample.Calibration.RCal;
    const std::int64_t time = sample.Sample.Parameter.SampleInterval;
    const double weight = sample.Sample.Parameter.Weight;
    for (int i = 0; i < peaks; ++i) {
        if (!selection[i]) {
            continue;
        }
        const TPeakEntry peak = sample.PeakList.Peak[i];
        TTrapezoidResult& entry = results.Result[i];
        TTrapezoidGeometry geometry{};
        if (FitTrapezoid(peak.Energy, ecal, wcal, geometry, spectrum)) {
            entry.Geometry = TTrapezoidGeometry{}; // nothing placed in this run
            continue;
        }
        entry.Geometry = geometry;
        double threshold = 0, detectionLimit = 0, uncertainty = 0;
        NetAreaLimits(geometry.PeakLast - geometry.PeakFirst + 1,
                      geometry.LeftLast - geometry.LeftFirst + 1,
                      geometry.RightLast - geometry.RightFirst + 1, geometry.BackgroundArea,
                      geometry.LimitArea, Coverage, Coverage, Coverage, threshold, detectionLimit,
                      uncertainty);
        double activity = 0;
        if (geometry.NetArea > threshold) {
            entry.Significant = true;
            entry.Area = ToSingle(geometry.NetArea);
            entry.Error = ToSingle(100 * uncertainty / entry.Area);
            if (ActivityOfCounts(peak, time, rcal, Round(entry.Area), weight, activity)) {
                activity = 0;
            }
        } else {
            if (ActivityOfCounts(peak, time, rcal, Round(detectionLimit), weight, activity)) {
                activity = 0;
            }
            entry.Error = -1.0f;
            entry.Area = 0;
        }
        entry.Activity = ToSingle(activity);
    }
    results.Valid = true;
}
