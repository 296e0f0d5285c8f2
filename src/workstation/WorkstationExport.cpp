// "Sample" -> "Export" in the exchange formats: SPE, N42-2012 and CSV.
#include "workstation/Workstation.h"

#include <array>
#include <cmath>
#include <vector>

namespace {

// The energy (keV) at which the calibration channel = C0 + C1*E + C2*E^2 +
// C3*E^3 reaches `channel`, by Newton's method from the straight line's
// answer; std::nullopt when it does not converge on a rising stretch.
std::optional<double> EnergyOfChannel(const TEnergyCalibration& ecal, double channel,
                                      double start) {
    const double c0 = ecal.C0, c1 = ecal.C1, c2 = ecal.C2, c3 = ecal.C3;
    double e = start;
    for (int step = 0; step < 60; ++step) {
        const double value = c0 + e * (c1 + e * (c2 + e * c3)) - channel;
        const double slope = c1 + e * (2 * c2 + e * 3 * c3);
        if (!(slope > 0) || !std::isfinite(value)) {
            return std::nullopt;
        }
        const double next = e - value / slope;
        if (std::abs(next - e) <= 1e-10 * (1 + std::abs(e))) {
            return next;
        }
        e = next;
    }
    return std::nullopt;
}

// Least-squares polynomial of `degree` through (i, y[i]); the abscissa is
// scaled to [0, 1] for the normal equations and the coefficients scaled back.
std::optional<TFileCalibration> FitPolynomial(const std::vector<double>& y, int degree) {
    const int n = static_cast<int>(y.size());
    const int m = degree + 1;
    const double scale = n > 1 ? n - 1 : 1;
    std::array<std::array<double, 5>, 4> a{};
    for (int i = 0; i < n; ++i) {
        const double x = i / scale;
        std::array<double, 4> powers{1, x, x * x, x * x * x};
        for (int r = 0; r < m; ++r) {
            for (int c = 0; c < m; ++c) {
                a[r][c] += powers[r] * powers[c];
            }
            a[r][4] += powers[r] * y[static_cast<std::size_t>(i)];
        }
    }
    for (int col = 0; col < m; ++col) {
        int pivot = col;
        for (int r = col + 1; r < m; ++r) {
            if (std::abs(a[r][col]) > std::abs(a[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(a[col], a[pivot]);
        if (!(std::abs(a[col][col]) > 1e-300)) {
            return std::nullopt;
        }
        for (int r = 0; r < m; ++r) {
            if (r != col) {
                const double f = a[r][col] / a[col][col];
                for (int c = col; c < 5; ++c) {
                    a[r][c] -= f * a[col][c];
                }
            }
        }
    }
    TFileCalibration result{};
    for (int k = 0; k < m; ++k) {
        result[static_cast<std::size_t>(k)] = a[k][4] / a[k][k] / std::pow(scale, k);
        if (!std::isfinite(result[static_cast<std::size_t>(k)])) {
            return std::nullopt;
        }
    }
    return result;
}

// The largest distance, in channels, between index i and the channel of the
// energy `fit` gives for i.
double LargestChannelError(const TEnergyCalibration& ecal, const TFileCalibration& fit, int n) {
    double worst = 0;
    for (int i = 0; i < n; ++i) {
        const double e = fit[0] + i * (fit[1] + i * (fit[2] + i * fit[3]));
        const double channel = ecal.C0 + e * (ecal.C1 + e * (ecal.C2 + e * ecal.C3));
        worst = std::max(worst, std::abs(channel - i));
    }
    return worst;
}

// The energy of array index i as a polynomial of i: a quadratic when it
// stays within a twentieth of a channel of the sample's calibration over the
// spectrum, otherwise a cubic; std::nullopt when the calibration cannot be
// inverted over every channel.
std::optional<TFileCalibration> EnergyOfChannelFit(const TSampleFile& sample) {
    const TEnergyCalibration ecal = sample.Calibration.ECal;
    const int n = std::min<int>(sample.Sample.Spectrum.Size, MaxChannels);
    if (n < 2 || !(ecal.C1 != 0) || !std::isfinite(ecal.C0) || !std::isfinite(ecal.C2) ||
        !std::isfinite(ecal.C3)) {
        return std::nullopt;
    }
    std::vector<double> energies(static_cast<std::size_t>(n));
    double start = (0 - static_cast<double>(ecal.C0)) / ecal.C1;
    for (int i = 0; i < n; ++i) {
        const std::optional<double> e = EnergyOfChannel(ecal, i, start);
        if (!e) {
            return std::nullopt;
        }
        energies[static_cast<std::size_t>(i)] = *e;
        start = *e;
    }
    if (ecal.C2 == 0 && ecal.C3 == 0) {
        // A straight line inverts exactly.
        return TFileCalibration{-static_cast<double>(ecal.C0) / ecal.C1, 1.0 / ecal.C1, 0, 0};
    }
    const std::optional<TFileCalibration> quadratic = FitPolynomial(energies, 2);
    if (quadratic && LargestChannelError(ecal, *quadratic, n) <= 0.05) {
        return quadratic;
    }
    return n >= 4 ? FitPolynomial(energies, 3) : quadratic;
}

} // namespace

TCommandResult TWorkstation::ExportSpectrumAs(const QString& path, char decimalSeparator,
                                              TExportFormat format) {
    if (format == TExportFormat::Spa) {
        return ExportSpectrum(path, decimalSeparator);
    }
    TCommandResult result;
    const TSampleFile& sample = State.MeasuredSample;
    if (const std::optional<TCommandResult> refusal = RefuseExport()) {
        return *refusal;
    }
    TExportExtras extras;
    extras.EnergyOfChannel = EnergyOfChannelFit(sample);
    // The record keeps no start; an imported sample's comment names it.
    extras.Start = MeasurementStartOfComment(
        std::string_view(reinterpret_cast<const char*>(sample.Comment + 1), sample.Comment[0]));
    QByteArray bytes;
    switch (format) {
    case TExportFormat::Spe:
        bytes = SpeFileText(sample, extras);
        break;
    case TExportFormat::N42:
        bytes = N42FileText(sample, extras);
        break;
    case TExportFormat::Csv:
    case TExportFormat::Spa:
        bytes = CsvSpectrumText(sample, extras);
        break;
    }
    QString error;
    if (!WriteSpaFile(path, bytes, error)) {
        result.Status = CommandFailed;
        result.Messages << error;
    }
    return result;
}
