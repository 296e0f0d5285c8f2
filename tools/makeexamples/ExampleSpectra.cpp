#include "ExampleSpectra.h"

#include "analysis/RoiEvaluation.h"
#include "core/NumberFormat.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// --- Noise ------------------------------------------------------------------

// SplitMix64: small, fast and the same on every platform.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : State(seed) {}

    // Uniform in (0, 1).
    double Uniform() {
        State += 0x9E3779B97F4A7C15ull;
        std::uint64_t z = State;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return (static_cast<double>(z >> 11) + 0.5) * 0x1.0p-53;
    }

    // A Poisson-distributed count of mean `mean`: Knuth's product method on
    // pieces of at most 20 (a sum of Poisson counts is a Poisson count).
    std::int64_t Poisson(double mean) {
        std::int64_t total = 0;
        while (mean > 0) {
            const double piece = std::min(mean, 20.0);
            mean -= piece;
            const double limit = std::exp(-piece);
            double product = Uniform();
            while (product > limit) {
                ++total;
                product *= Uniform();
            }
        }
        return total;
    }

private:
    std::uint64_t State;
};

// --- Detector model -----------------------------------------------------------

// Full width at half maximum (keV): 7 % at 662 keV, growing as sqrt(E).
double FwhmKeV(double energy) {
    return 0.07 * 661.657 * std::sqrt(std::max(energy, 1.0) / 661.657);
}

double SigmaKeV(double energy) {
    return FwhmKeV(energy) / 2.355;
}

// Peak-to-total ratio of the detector in the beaker geometry.
double PeakToTotal(double energy) {
    return std::min(0.8, 0.3 / std::sqrt(energy / 661.657));
}

// Detector threshold: the counting efficiency of the electronics below ~30 keV.
double Threshold(double energy) {
    return 1.0 / (1.0 + std::exp(-(energy - 30.0) / 4.0));
}

// Environmental continuum of the shielded detector, counts per second and keV.
double EnvironmentDensity(double energy) {
    return 0.03 * std::exp(-energy / 150.0) + 0.004 * std::exp(-energy / 800.0);
}

// The stored efficiency curve at an energy (keV).
double StoredEfficiency(const TEfficiencyCalibration& r, double energy) {
    const double a0 = r.A0, b0 = r.B0, ecut = r.Ecut, m = r.m;
    if (energy > ecut) {
        return a0 * std::pow(energy, b0);
    }
    return (a0 * std::pow(ecut, b0) - m * ecut) + m * energy;
}

// --- Lines ----------------------------------------------------------------------

enum class TSource { K40, Ra226, U235, Th232, Tl208, Cs137, Reference };

struct TLine {
    double Energy;      // keV
    double Probability; // percent per decay of the line's nuclide
    TSource Source;
};

// Emission lines of the nuclides, with the weaker lines that shape a real
// spectrum as well as those that are evaluated.
constexpr TLine Lines[] = {
    {1460.822, 10.66, TSource::K40},
    // Ra-226 and its daughters Pb-214 and Bi-214.
    {186.211, 3.555, TSource::Ra226},
    {241.997, 7.268, TSource::Ra226},
    {295.224, 18.414, TSource::Ra226},
    {351.932, 35.60, TSource::Ra226},
    {609.312, 45.49, TSource::Ra226},
    {665.453, 1.531, TSource::Ra226},
    {768.356, 4.892, TSource::Ra226},
    {934.061, 3.10, TSource::Ra226},
    {1120.287, 14.91, TSource::Ra226},
    {1238.111, 5.831, TSource::Ra226},
    {1377.669, 3.99, TSource::Ra226},
    {1729.595, 2.878, TSource::Ra226},
    {1764.494, 15.31, TSource::Ra226},
    {1847.420, 2.025, TSource::Ra226},
    {2204.21, 4.913, TSource::Ra226},
    {2447.86, 1.548, TSource::Ra226},
    // U-235 beside U-238 (natural ratio), which shares 186 keV with Ra-226.
    {143.76, 10.96, TSource::U235},
    {185.720, 57.0, TSource::U235},
    // Th-232 chain: Pb-212, Bi-212, Ac-228.
    {238.632, 43.6, TSource::Th232},
    {300.087, 3.3, TSource::Th232},
    {338.320, 11.27, TSource::Th232},
    {463.004, 4.4, TSource::Th232},
    {727.330, 6.67, TSource::Th232},
    {794.947, 4.25, TSource::Th232},
    {911.204, 25.8, TSource::Th232},
    {964.766, 4.99, TSource::Th232},
    {968.971, 15.8, TSource::Th232},
    {1588.19, 3.22, TSource::Th232},
    // Tl-208, per decay of Tl-208 (35.94 % of the chain).
    {510.77, 22.6, TSource::Tl208},
    {583.187, 85.0, TSource::Tl208},
    {860.557, 12.5, TSource::Tl208},
    {2614.511, 99.754, TSource::Tl208},
    {661.657, 85.10, TSource::Cs137},
};

// The mixed reference source: every nuclide at the same activity
// concentration, with the lines that span the detector's energy range.
struct TReferenceLine {
    const char* Name;
    double Energy;      // keV
    double Probability; // percent per decay
};
constexpr TReferenceLine ReferenceLines[] = {
    {"Am241", 59.541, 35.92},  {"Co57", 122.061, 85.60},  {"Hg203", 279.195, 81.56},
    {"Sn113", 391.698, 64.97}, {"Cs137", 661.657, 85.10}, {"Co60", 1173.228, 99.85},
    {"Co60", 1332.492, 99.98},
};

constexpr double Tl208Branch = 0.3594;

// Area of an isolated peak as the peak evaluation reads it, per true count:
// the stored efficiency curve carries this factor (it was calibrated with
// that evaluation), the physical efficiency does not.
constexpr double EvaluatedAreaPerCount = 1.3;
constexpr double U235PerU238 = 0.046; // activity ratio in natural uranium

// Activity (Bq) of a line's nuclide for the given activities (Bq).
double SourceActivity(TSource source, const TSoilActivities& a) {
    switch (source) {
    case TSource::K40:
        return a.K40;
    case TSource::Ra226:
        return a.Ra226;
    case TSource::U235:
        return a.Ra226 * U235PerU238;
    case TSource::Th232:
        return a.Th232;
    case TSource::Tl208:
        return a.Th232 * Tl208Branch;
    case TSource::Cs137:
        return a.Cs137;
    case TSource::Reference:
        return 0;
    }
    return 0;
}

// Activities (Bq) seen by the shielded detector without a sample: K-40 and
// the chains in the detector, its shield and the room.
constexpr TSoilActivities Environment{.K40 = 35, .Ra226 = 3, .Th232 = 3, .Cs137 = 0};

// Lead K X-rays excited in the shield, counts per second in the peak.
struct TXRay {
    double Energy;
    double Rate;
};
constexpr std::array<TXRay, 3> ShieldXRays{{{72.80, 0.018}, {74.97, 0.030}, {84.94, 0.012}}};

// --- Spectrum -------------------------------------------------------------------

// A peak (Gaussian in channels) and the continuum it brings.
struct TPeak {
    double Energy;
    double Counts;
    bool Scatters; // with Compton continuum (gamma lines) or without (X-rays)
};

struct TEnergyScale {
    double C0, C1, C2;

    double Channel(double energy) const { return C0 + C1 * energy + C2 * energy * energy; }
    double ChannelsPerKeV(double energy) const { return C1 + 2 * C2 * energy; }
    // The energy of a (fractional) channel; below the first energy: negative.
    double Energy(double channel) const {
        if (C2 == 0) {
            return (channel - C0) / C1;
        }
        const double d = C1 * C1 - 4 * C2 * (C0 - channel);
        return (-C1 + std::sqrt(std::max(d, 0.0))) / (2 * C2);
    }
};

// Counts per keV of the Compton continuum, the multiple-scatter valley and
// the backscatter bump of a line of `counts` counts in its peak.
double ScatterDensity(const TPeak& peak, double energy) {
    const double e0 = peak.Energy;
    const double ratio = 2 * e0 / 511.0;
    const double edge = e0 * ratio / (1 + ratio);
    const double comptonCounts = peak.Counts * (1 - PeakToTotal(e0)) / PeakToTotal(e0);
    const double level = comptonCounts / (edge * (1 + 0.7 / 3) + 0.08 * e0);
    const double sEdge = SigmaKeV(edge) * std::sqrt(2.0);
    const double sPeak = SigmaKeV(e0) * std::sqrt(2.0);
    const double x = std::clamp(energy / edge, 0.0, 1.2);
    double density = level * (1 + 0.7 * x * x) * 0.5 * std::erfc((energy - edge) / sEdge);
    density += 0.08 * level * 0.5 * std::erfc((energy - e0) / sPeak);
    const double back = e0 - edge;
    const double sBack = 1.5 * SigmaKeV(back);
    const double z = (energy - back) / sBack;
    density += 0.04 * comptonCounts * std::exp(-0.5 * z * z) / (2.5066 * sBack);
    return density;
}

// The expected counts of channel j (covering [j, j + 1)) for the peaks.
double PeakCounts(const TPeak& peak, const TEnergyScale& scale, int j) {
    const double c = scale.Channel(peak.Energy);
    const double sigma = SigmaKeV(peak.Energy) * scale.ChannelsPerKeV(peak.Energy);
    if (std::fabs(j + 0.5 - c) > 10 * sigma + 1) {
        return 0;
    }
    const double k = 1 / (sigma * std::sqrt(2.0));
    return peak.Counts * 0.5 * (std::erfc((j - c) * k) - std::erfc((j + 1 - c) * k));
}

// The peaks of a measurement with their true counts.
std::vector<TPeak> MeasuredPeaks(const TExampleMeasurement& m, const TEfficiencyCalibration& r) {
    std::vector<TPeak> peaks;
    for (const TLine& line : Lines) {
        const double becquerel = SourceActivity(line.Source, m.Soil) * m.WeightKg +
                                 SourceActivity(line.Source, Environment);
        const double efficiency = StoredEfficiency(r, line.Energy) / EvaluatedAreaPerCount;
        const double counts = becquerel * m.Seconds * efficiency * line.Probability / 100;
        if (counts > 0) {
            peaks.push_back({line.Energy, counts, true});
        }
    }
    for (const TReferenceLine& line : ReferenceLines) {
        const double efficiency = StoredEfficiency(r, line.Energy) / EvaluatedAreaPerCount;
        const double counts =
            m.ReferenceActivity * m.WeightKg * m.Seconds * efficiency * line.Probability / 100;
        if (counts > 0) {
            peaks.push_back({line.Energy, counts, true});
        }
    }
    for (const TXRay& x : ShieldXRays) {
        peaks.push_back({x.Energy, x.Rate * m.Seconds, false});
    }
    return peaks;
}

// The expected counts of the first `channels` channels for the peaks, the
// environment's continuum and the detector threshold.
std::vector<double> ExpectedSpectrum(std::uint32_t seconds, const TEnergyScale& scale,
                                     const std::vector<TPeak>& peaks, int channels) {
    std::vector<double> spectrum(static_cast<std::size_t>(channels), 0.0);
    for (int j = 0; j < channels; ++j) {
        const double energy = scale.Energy(j + 0.5);
        double expected = 0;
        if (energy > 0) {
            double density = EnvironmentDensity(energy) * seconds;
            for (const TPeak& peak : peaks) {
                if (peak.Scatters) {
                    density += ScatterDensity(peak, energy);
                }
            }
            expected = density / scale.ChannelsPerKeV(energy);
            for (const TPeak& peak : peaks) {
                expected += PeakCounts(peak, scale, j);
            }
            expected *= Threshold(energy);
        }
        spectrum[static_cast<std::size_t>(j)] = expected;
    }
    return spectrum;
}

// Scales the true counts of the reference lines (the last peaks of
// MeasuredPeaks before the X-rays) so that the peak evaluation, run on the
// noiseless spectrum with the sample's calibrations and peak list, reads
// each line with the area the stored efficiency curve predicts at its listed
// energy. The evaluation's recovery of a peak depends on its width in
// channels, its binning and how far the listed energy lies from the line, so
// a constant factor would leave the efficiency points scattered about the
// curve; matched this way the points lie on it up to the counting noise.
void MatchReferenceAreas(const TExampleMeasurement& m, const TSampleFile& sample,
                         const TEnergyScale& scale, std::vector<TPeak>& peaks) {
    constexpr int lineCount = static_cast<int>(std::size(ReferenceLines));
    const std::size_t first = peaks.size() - ShieldXRays.size() - lineCount;
    // The curve the record carries at this point: the detector's.
    const TEfficiencyCalibration rcal = sample.Calibration.RCal;
    const int channels = sample.Sample.Spectrum.Size;
    TSampleFile probe = sample;
    const TSample noBackground{};
    // The lines share continuum and neighbours, so the areas are matched
    // together; a few rounds settle them to the integer counts the
    // evaluation reports.
    for (int round = 0; round < 8; ++round) {
        const std::vector<double> expected = ExpectedSpectrum(m.Seconds, scale, peaks, channels);
        for (int j = 0; j < channels; ++j) {
            probe.Sample.Spectrum.Channel[j] = static_cast<float>(expected[j]);
        }
        bool settled = true;
        for (int i = 0; i < lineCount; ++i) {
            const TPeakEntry& entry = sample.PeakList.Peak[i];
            const double target = m.ReferenceActivity * sample.Sample.Parameter.Weight * m.Seconds *
                                  StoredEfficiency(rcal, entry.Energy) * entry.Probability / 100;
            EvaluatePeak(probe, noBackground, i, false);
            const TPeakResult& result = probe.Results.Result[i];
            if (result.Error < 0 || !(result.Area > 0)) {
                continue;
            }
            TPeak& peak = peaks[first + static_cast<std::size_t>(i)];
            if (std::fabs(target - result.Area) > 1) {
                settled = false;
            }
            peak.Counts *= target / result.Area;
        }
        if (settled) {
            break;
        }
    }
}

} // namespace

TEnergyCalibration ExampleEnergyCalibration(int channels, double keVPerChannel) {
    const double c1 = 1 / keVPerChannel;
    TEnergyCalibration e{};
    e.C0 = static_cast<float>(channels / 1024.0 * 0.8);
    e.C1 = static_cast<float>(c1);
    e.C2 = static_cast<float>(1.5e-6 * c1);
    e.C3 = 0;
    return e;
}

TPeakWidthCalibration ExampleWidthCalibration(const TEnergyCalibration& ecal) {
    const TEnergyScale scale{ecal.C0, ecal.C1, ecal.C2};
    // Least squares of the relative deviation: weights 1 / sigma^2.
    double a[3][4] = {};
    for (double energy = 150; energy <= 2800; energy += 10) {
        const double c = scale.Channel(energy);
        const double sigma = SigmaKeV(energy) * scale.ChannelsPerKeV(energy);
        const double w = 1 / (sigma * sigma);
        const double basis[3] = {1, c, c * c};
        for (int i = 0; i < 3; ++i) {
            for (int k = 0; k < 3; ++k) {
                a[i][k] += w * basis[i] * basis[k];
            }
            a[i][3] += w * basis[i] * sigma;
        }
    }
    // Gauss-Jordan elimination with partial pivoting.
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 3; ++row) {
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) {
                pivot = row;
            }
        }
        std::swap(a[col], a[pivot]);
        for (int row = 0; row < 3; ++row) {
            if (row != col) {
                const double f = a[row][col] / a[col][col];
                for (int k = col; k < 4; ++k) {
                    a[row][k] -= f * a[col][k];
                }
            }
        }
    }
    TPeakWidthCalibration w{};
    w.W0 = static_cast<float>(a[0][3] / a[0][0]);
    w.W1 = static_cast<float>(a[1][3] / a[1][1]);
    w.W2 = static_cast<float>(a[2][3] / a[2][2]);
    return w;
}

TEfficiencyCalibration ExampleEfficiencyCalibration() {
    // The detector counts about 3 % of the 662 keV photons in the peak,
    // falling as E^-0.9 above 200 keV; the stored curve is that of a
    // calibration made with the workstation's own peak evaluation, which
    // reads an isolated peak as about 1.3 times its true area.
    return TEfficiencyCalibration{.A0 = 13.5f, .B0 = -0.9f, .Ecut = 200.0f, .m = 0.00026f};
}

TPeakList ExamplePeakList() {
    struct TEntry {
        const char* Name;
        double Energy;
        float Probability;
        float Limit;
    };
    static constexpr TEntry Entries[] = {
        {"K40", 1460.822, 10.66f, -1},    {"Ra226", 186.211, 3.555f, -1},
        {"Pb214", 295.224, 18.414f, -1},  {"Pb214", 351.932, 35.60f, -1},
        {"Bi214", 609.312, 45.49f, 100},  {"Bi214", 1120.287, 14.91f, -1},
        {"Bi214", 1764.494, 15.31f, -1},  {"Pb212", 238.632, 43.6f, -1},
        {"Ac228", 338.320, 11.27f, -1},   {"Ac228", 911.204, 25.8f, -1},
        {"Ac228", 968.971, 15.8f, -1},    {"Tl208", 583.187, 85.0f, -1},
        {"Tl208", 2614.511, 99.754f, -1}, {"Cs137", 661.657, 85.10f, 600},
    };
    TPeakList list{};
    for (const TEntry& e : Entries) {
        TPeakEntry& p = list.Peak[list.Size];
        SetPeakName(p, QString::fromLatin1(e.Name));
        p.Energy = static_cast<std::uint16_t>(Round(e.Energy));
        p.Probability = e.Probability;
        p.Limit = e.Limit;
        ++list.Size;
    }
    return list;
}

TPeakList ReferencePeakList() {
    TPeakList list{};
    for (const TReferenceLine& e : ReferenceLines) {
        TPeakEntry& p = list.Peak[list.Size];
        SetPeakName(p, QString::fromLatin1(e.Name));
        p.Energy = static_cast<std::uint16_t>(Round(e.Energy));
        p.Probability = static_cast<float>(e.Probability);
        p.Limit = -1;
        ++list.Size;
    }
    return list;
}

TEfficiencyCalibration OutdatedEfficiencyCalibration() {
    // Same Ecut as the detector's curve: the calibration keeps the record's
    // Ecut, and with it the fitted curve can take the detector's form.
    return TEfficiencyCalibration{.A0 = 10.0f, .B0 = -0.85f, .Ecut = 200.0f, .m = 0.0004f};
}

TSampleFile MakeExampleSample(const TExampleMeasurement& m) {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Parameter.SampleType = 0;
    s.Sample.Parameter.SampleInterval = m.Seconds;
    s.Sample.Parameter.Volume = m.VolumeL;
    s.Sample.Parameter.Weight = m.WeightKg;
    s.Sample.Parameter.SerialNumber = m.SerialNumber;
    s.Sample.Parameter.SampleID = m.SampleID;

    const int channels = std::clamp(m.Channels, 1, MaxChannels);
    s.Calibration.ECal = ExampleEnergyCalibration(channels, m.KeVPerChannel);
    s.Calibration.WCal = ExampleWidthCalibration(s.Calibration.ECal);
    s.Calibration.RCal = ExampleEfficiencyCalibration();
    s.CalibrationType = 0;
    s.PeakList = m.ReferenceActivity > 0 ? ReferencePeakList() : ExamplePeakList();
    s.Results.Size = s.PeakList.Size;
    TextToComment(s, m.Comment);

    // The generator works with the stored (single precision) coefficients,
    // so the peaks sit where the stored calibration expects them.
    const TEnergyCalibration e = s.Calibration.ECal;
    const TEnergyScale scale{e.C0, e.C1, e.C2};
    std::vector<TPeak> peaks = MeasuredPeaks(m, s.Calibration.RCal);
    s.Sample.Spectrum.Size = static_cast<std::uint16_t>(channels);
    s.Sample.Spectrum.Offset = 0;
    if (m.ReferenceActivity > 0) {
        MatchReferenceAreas(m, s, scale, peaks);
    }
    const std::vector<double> expected = ExpectedSpectrum(m.Seconds, scale, peaks, channels);
    TRandom random(m.Seed);
    for (int j = 0; j < channels; ++j) {
        s.Sample.Spectrum.Channel[j] = static_cast<float>(random.Poisson(expected[j]));
    }
    if (m.ReferenceActivity > 0) {
        // The peaks follow the detector's true curve; the record carries the
        // older one that the calibration is to replace.
        s.Calibration.RCal = OutdatedEfficiencyCalibration();
    }
    return s;
}

QByteArray ExampleUncertaintySettings(double scale, double efficiency, double curve,
                                      double factor) {
    QByteArray bytes(32, '\0');
    const double values[4] = {scale, efficiency, curve, factor};
    for (int i = 0; i < 4; ++i) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof bits);
        qToLittleEndian(bits, bytes.data() + 8 * i);
    }
    return bytes;
}
