// "Sample" -> "Export" in the exchange formats: SPE, N42-2012 and CSV.
#include "core/FileDialogs.h"
#include "workstation/PolynomialFit.h"
#include "workstation/Workstation.h"

#include <algorithm>
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
    std::vector<double> indices(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        indices[static_cast<std::size_t>(i)] = i;
    }
    const std::optional<TFileCalibration> quadratic =
        FitLeastSquaresPolynomial(indices, energies, 2);
    if (quadratic && LargestChannelError(*quadratic, ecal, n) <= 0.05) {
        return quadratic;
    }
    const std::optional<TFileCalibration> cubic = FitLeastSquaresPolynomial(indices, energies, 3);
    return cubic ? cubic : quadratic;
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
    const int channels = std::min<int>(sample.Sample.Spectrum.Size, MaxChannels);
    QStringList notes;
    if (extras.EnergyOfChannel) {
        // A calibration the file's polynomial cannot follow closely is
        // written all the same, but not without saying so.
        const double off =
            LargestChannelError(*extras.EnergyOfChannel, sample.Calibration.ECal, channels);
        if (off > 0.1) {
            notes << QStringLiteral("%1: the energy calibration is written as a "
                                    "polynomial of the channel that is up to %2 "
                                    "channels off the sample's.")
                         .arg(NativePath(path))
                         .arg(off, 0, 'f', 2);
        }
    } else if (channels >= 2) {
        notes << QStringLiteral("%1: the sample's energy calibration cannot be turned "
                                "into energies of the channels; it was left out.")
                     .arg(NativePath(path));
    }
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
    } else {
        result.Messages << notes;
    }
    return result;
}
