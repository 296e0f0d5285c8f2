#include "analysis/DoubletSolver.h"

#include "analysis/CalibrationFunctions.h"
#include "analysis/RoiEvaluation.h"
#include "analysis/TrapezoidSolver.h"
#include "core/NumberFormat.h"
#include "core/Single.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr double Coverage = 1.96;
constexpr double SqrtTwoPi = 2.5066;

// Channel and width of a line, or false when either is outside the spectrum.
bool LinePosition(int energy, const TEnergyCalibration& ecal, const TPeakWidthCalibration& wcal,
                  int channels, double& channel, double& sigma) {
    return !EnergyToChannel(energy, ecal, channels, channel) &&
           !PeakWidthAtChannel(wcal, channels, sigma, channel);
}

int RoundToInt(double x) {
    return static_cast<int>(Round(x));
}

QString LineHead(const TPeakEntry& peak) {
    return PeakNameToText(peak) + " (" + QString::number(peak.Energy) + "keV)";
}

} // namespace

void FindDoublets(const TPeakList& peakList, const TEnergyCalibration& ecal,
                  const TPeakWidthCalibration& wcal, int channels, TDoubletList& pairs) {
    pairs.Size = 0;
    const int peaks = UsablePeaks(peakList);
    for (int i = 0; i < peaks; ++i) {
        const TPeakEntry a = peakList.Peak[i];
        double ci = 0, si = 0;
        if (!LinePosition(a.Energy, ecal, wcal, channels, ci, si)) {
            continue;
        }
        const double loI = ci - 2 * si, hiI = ci + 2 * si;
        for (int j = 0; j < peaks; ++j) {
            const TPeakEntry b = peakList.Peak[j];
            double cj = 0, sj = 0;
            if (j == i || !LinePosition(b.Energy, ecal, wcal, channels, cj, sj)) {
                continue;
            }
            const double loJ = cj - 2 * sj, hiJ = cj + 2 * sj;
            if (!((loI < loJ && loJ < hiI) || (loI < hiJ && hiJ < hiI))) {
                continue;
            }
            bool listed = false;
            for (int p = 0; p < pairs.Size && !listed; ++p) {
                listed = pairs.Doublets[p].PeakA.Energy == b.Energy &&
                         pairs.Doublets[p].PeakB.Energy == a.Energy;
            }
            if (!listed && pairs.Size < 256) {
                pairs.Doublets[pairs.Size].PeakA = a;
                pairs.Doublets[pairs.Size].PeakB = b;
                ++pairs.Size;
            }
        }
    }
}

bool LocateDoubletPeaks(const TPeakEntry& first, const TPeakEntry& second,
                        const TPeakList& peakList, int& firstIndex, int& secondIndex) {
    firstIndex = secondIndex = -1;
    for (int k = 0; k < UsablePeaks(peakList); ++k) {
        const TPeakEntry p = peakList.Peak[k];
        if (std::memcmp(p.Name, first.Name, sizeof(p.Name)) == 0 && p.Energy == first.Energy) {
            firstIndex = k;
        }
        if (std::memcmp(p.Name, second.Name, sizeof(p.Name)) == 0 && p.Energy == second.Energy) {
            secondIndex = k;
        }
    }
    return firstIndex >= 0 || secondIndex >= 0;
}

double SplitDoubletArea(int centreLower, int centreUpper, int first, int last,
                        const TSpectrum& corrected, double sigmaLower, double sigmaUpper,
                        double& areaLower, double& areaUpper) {
    const int usable = UsableChannels(corrected);
    if (first < 0) {
        first = 0;
    }
    if (last > usable - 1) {
        last = usable - 1;
    }
    const double total = ChannelSum(first, last, corrected);
    if (total <= 0) {
        areaLower = areaUpper = 0;
        double q = 0;
        for (int ch = first; ch <= last; ++ch) {
            const double d = corrected.Channel[ch];
            q += d * d;
        }
        return q;
    }
    // The two peak shapes do not depend on the split: evaluate them once.
    const int count = last - first + 1;
    std::vector<double> shapeLower(static_cast<std::size_t>(count));
    std::vector<double> shapeUpper(static_cast<std::size_t>(count));
    for (int ch = first; ch <= last; ++ch) {
        const double zL = (ch - centreLower) / sigmaLower;
        const double zU = (ch - centreUpper) / sigmaUpper;
        shapeLower[static_cast<std::size_t>(ch - first)] = std::exp(-0.5 * zL * zL);
        shapeUpper[static_cast<std::size_t>(ch - first)] = std::exp(-0.5 * zU * zU);
    }
    double best = 0;
    int bestJ = 0;
    for (int j = 0; j < 100; ++j) {
        const double aL = (1 - j / 100.0) * total;
        const double aU = j * total / 100;
        double q = 0;
        for (int ch = first; ch <= last; ++ch) {
            const std::size_t i = static_cast<std::size_t>(ch - first);
            const float m = ToSingle(shapeLower[i] * aL / (SqrtTwoPi * sigmaLower) +
                                     shapeUpper[i] * aU / (SqrtTwoPi * sigmaUpper));
            const double diff = static_cast<double>(m) - corrected.Channel[ch];
            q += diff * diff;
        }
        if (j == 0 || q < best) {
            best = q;
            bestJ = j;
        }
    }
    areaLower = (1 - bestJ / 100.0) * total;
    areaUpper = bestJ * total / 100;
    return best;
}

void SplitUncertainties(double areaA, double areaB, double u, double k, double& uncertaintyA,
                        double& uncertaintyB) {
    const double a = areaA, b = areaB;
    if (a > 0 && b > 0) {
        const double S = a + b;
        const double q = std::sqrt(1 / a + 1 / b);
        const double ra = q * (b / a) / (1 + b / a);
        const double rb = q * (a / b) / (1 + a / b);
        uncertaintyA = k * a * std::sqrt((u / S) * (u / S) + ra * ra);
        uncertaintyB = k * b * std::sqrt((u / S) * (u / S) + rb * rb);
        return;
    }
    uncertaintyA = a > 0 ? k * u : 0;
    uncertaintyB = b > 0 ? k * u : 0;
}

bool SolveDoublet(int energyA, int energyB, const TEnergyCalibration& ecal,
                  const TPeakWidthCalibration& wcal, const TSpectrum& spectrum,
                  TDoubletSolution& solution) {
    const int size = UsableChannels(spectrum);
    double c1 = 0, s1 = 0, c2 = 0, s2 = 0;
    if (!LinePosition(energyA, ecal, wcal, size, c1, s1) ||
        !LinePosition(energyB, ecal, wcal, size, c2, s2)) {
        return true;
    }
    const int h = RoundToInt(0.5 * s1);
    const bool aIsLower = c1 < c2;
    const int pL = RoundToInt(aIsLower ? c1 : c2), pU = RoundToInt(aIsLower ? c2 : c1);
    const double sL = aIsLower ? s1 : s2, sU = aIsLower ? s2 : s1;
    const int in3L = RoundToInt(3 * sL), out4L = RoundToInt(4 * sL);
    const int in3U = RoundToInt(3 * sU), out4U = RoundToInt(4 * sU);
    // The background windows reach 4 sigma out: refuse a pair whose windows
    // would leave the spectrum at some shift, or that would hold no channel.
    if (out4L <= in3L || out4U <= in3U || pL - out4L - h < 0 || pU + out4U + h >= size) {
        return true;
    }
    if (pU - 2 * sU > pL + 2 * sL) {
        return true;
    }

    TDoubletSolution result = solution;
    TSpectrum corrected{};
    corrected.Size = spectrum.Size;
    double best = 0;
    for (int k = -h; k <= h; ++k) {
        const int cL = pL + k, cU = pU + k;
        const int leftFirst = cL - out4L, leftLast = cL - in3L - 1;
        const int rightFirst = cU + in3U + 1, rightLast = cU + out4U;
        const int first = leftLast + 1, last = rightFirst - 1;
        const int n = last - first + 1;
        const int nLeft = leftLast - leftFirst + 1, nRight = rightLast - rightFirst + 1;

        const double meanL = ChannelSum(leftFirst, leftLast, spectrum) / nLeft;
        const double meanR = ChannelSum(rightFirst, rightLast, spectrum) / nRight;
        const double slope = (meanR - meanL) / (rightFirst - leftLast + 1);
        const double intercept = meanL - first * slope;

        std::memset(corrected.Channel, 0, sizeof(corrected.Channel));
        double bsum = 0;
        for (int ch = first; ch <= last; ++ch) {
            const double b = meanL + (ch - first + 1) * slope;
            bsum += b;
            corrected.Channel[ch] = ToSingle(spectrum.Channel[ch] - b);
        }
        const double gross = ChannelSum(first, last, spectrum);

        double areaLower = 0, areaUpper = 0;
        const double q =
            SplitDoubletArea(cL, cU, first, last, corrected, sL, sU, areaLower, areaUpper);
        const double areaA = aIsLower ? areaLower : areaUpper;
        const double areaB = aIsLower ? areaUpper : areaLower;
        if (k == -h) {
            best = q;
        }
        if (q > best) {
            continue;
        }
        const double net = gross - bsum;
        double threshold = 0, detectionLimit = 0, u = 0;
        NetAreaLimits(n, nRight, nLeft, bsum, gross, Coverage, Coverage, 1.0, threshold,
                      detectionLimit, u);
        if (net > threshold) {
            best = q;
            SplitUncertainties(areaA, areaB, u, Coverage, result.UncertaintyA, result.UncertaintyB);
            result.AreaA = areaA;
            result.AreaB = areaB;
            result.CenterA = RoundToInt(c1) + k;
            result.CenterB = RoundToInt(c2) + k;
        } else {
            result.UncertaintyA = result.UncertaintyB = -1.0;
            result.AreaA = result.AreaB = detectionLimit;
            result.CenterA = RoundToInt(c1);
            result.CenterB = RoundToInt(c2);
        }
        result.Slope = slope;
        result.Intercept = intercept;
        result.SigmaA = s1;
        result.SigmaB = s2;
    }
    solution = result;
    return false;
}

void ClearDoubletResults(TDoubletResultList& results) {
    results.Size = 0;
    for (int i = 0; i < MaxPeaks; ++i) {
        results.Result[i].Solved = false;
        results.Result[i].Activity = 0;
        results.Result[i].Error = -1.0f;
        results.Result[i].Area = 0;
    }
}

void RunDoubletSolver(std::uint8_t mode, TSampleFile sample, TDoubletResultList& results,
                      TDoubletView* view, TPrompt& prompt) {
    ClearDoubletResults(results);
    results.Size = sample.Results.Size;

    const TSpectrum spectrum = sample.Sample.Spectrum;
    const TEnergyCalibration ecal = sample.Calibration.ECal;
    const TPeakWidthCalibration wcal = sample.Calibration.WCal;
    const TEfficiencyCalibration rcal = sample.Calibration.RCal;
    const std::int64_t time = sample.Sample.Parameter.SampleInterval;
    const double weight = sample.Sample.Parameter.Weight;
    const char separator = LocaleDecimalSeparator();

    TDoubletList pairs;
    FindDoublets(sample.PeakList, ecal, wcal, UsableChannels(spectrum), pairs);

    QStringList pairLines, resultLines;
    for (int p = 0; p < pairs.Size; ++p) {
        const TPeakEntry a = pairs.Doublets[p].PeakA;
        const TPeakEntry b = pairs.Doublets[p].PeakB;
        int iA = -1, iB = -1;
        LocateDoubletPeaks(a, b, sample.PeakList, iA, iB);
        if (iA < 0 || iB < 0) {
            continue;
        }
        pairLines << LineHead(a) + " - " + LineHead(b);

        TDoubletSolution solution{};
        SolveDoublet(a.Energy, b.Energy, ecal, wcal, spectrum, solution);
        if (solution.AreaA <= 0 && solution.AreaB <= 0) {
            continue;
        }
        struct Side {
            int Index;
            TPeakEntry Peak, Partner;
            double Area, Uncertainty;
            int PairIndex;
        };
        const Side sides[2] = {{iA, a, b, solution.AreaA, solution.UncertaintyA, 0},
                               {iB, b, a, solution.AreaB, solution.UncertaintyB, 1}};
        for (const Side& side : sides) {
            const std::int64_t counts = Round(side.Area);
            double activity = 0;
            if (ActivityOfCounts(side.Peak, time, rcal, counts, weight, activity)) {
                activity = 0;
            }
            resultLines << LineHead(side.Peak) + " = " + QString::number(counts) + "cts / " +
                               QString::fromStdString(FormatFixed(activity, 8, 1, separator)) +
                               "Bq/kg";
            TDoubletResult& entry = results.Result[side.Index];
            if (side.Uncertainty > 0) {
                entry.Area = ToSingle(side.Area);
                entry.Error = ToSingle(100 * side.Uncertainty / side.Area);
            } else {
                entry.Area = 0;
                entry.Error = -1.0f;
            }
            entry.Activity = ToSingle(activity);
            entry.Peak = side.Peak;
            entry.Partner = side.Partner;
            entry.Solution = solution;
            entry.PairIndex = side.PairIndex;
            entry.Solved = true;
        }
    }

    if (view) {
        view->SetDoublets(pairLines, resultLines, pairs, sample, results);
    }
    if (pairs.Size == 0) {
        results.Valid = false;
        prompt.ShowMessage("No doublets identified");
        return;
    }
    results.Valid = true;
    if (mode == 1 && !(view && view->ShowModal())) {
        results.Valid = false;
    }
}

TDoubletPlotChoice ChooseDoubletPlot(const TDoubletList& pairs, int line, const TPeakList& peakList,
                                     const TDoubletResultList& results) {
    TDoubletPlotChoice choice;
    if (line < 0 || line >= pairs.Size) {
        return choice;
    }
    int iA = -1, iB = -1;
    LocateDoubletPeaks(pairs.Doublets[line].PeakA, pairs.Doublets[line].PeakB, peakList, iA, iB);
    if (iA < 0 || iB < 0) {
        return choice;
    }
    if (results.Result[iA].Solved && results.Result[iB].Solved) {
        choice.Kind = TDoubletPlotChoice::Plot;
        choice.Entry = iA;
    } else {
        choice.Kind = TDoubletPlotChoice::Message;
    }
    return choice;
}
