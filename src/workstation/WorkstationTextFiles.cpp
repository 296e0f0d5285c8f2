// "Sample" -> "Import" and "Export": spectrum text files as the measured sample.
#include "analysis/CalibrationFunctions.h"
#include "core/Ansi.h"
#include "core/Errors.h"
#include "core/FileDialogs.h"
#include "core/NumberFormat.h"
#include "core/Single.h"
#include "workstation/PolynomialFit.h"
#include "workstation/Workstation.h"

#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

namespace {

// Default peak-width and efficiency calibrations of an imported ZEMA or
// HELIOMAT7xx spectrum: width in keV as a function of the energy.
constexpr TPeakWidthCalibration ImportedWidth{0.26128f, 0.039008f, -0.0000096308f};
constexpr TEfficiencyCalibration ImportedEfficiency{-0.00103f, 0.02f, 662.0f, 1.0f};

// The rounded energy of `channel`, or std::nullopt when the calibration
// cannot be inverted there.
std::optional<std::int64_t> EnergyAtChannel(const TSampleFile& sample, double channel) {
    const TEnergyCalibration ecal = sample.Calibration.ECal;
    double energy = 0;
    if (ChannelToEnergy(sample.Sample.Spectrum.Size, sample.Sample.Spectrum.Offset, ecal, energy,
                        channel) != EnergyFound) {
        return std::nullopt;
    }
    return Round(energy);
}

// Turns a file's energy-of-channel polynomial into the channel-of-energy
// calibration: exactly for a straight line, otherwise by a least-squares
// cubic over channels 0 to size - 1, where the energy must rise. Returns the
// reason when it cannot be converted.
QString ChannelOfEnergy(const TFileCalibration& c, int size, TEnergyCalibration& ecal) {
    if (c[2] == 0 && c[3] == 0) {
        if (c[1] == 0) {
            return QStringLiteral("the energy calibration has no slope");
        }
        ecal = {ToSingle(-c[0] / c[1]), ToSingle(1 / c[1]), 0, 0};
        return {};
    }
    if (size < 4) {
        return QStringLiteral("a curved energy calibration needs at least 4 channels");
    }
    const auto energy = [&c](double ch) { return c[0] + ch * (c[1] + ch * (c[2] + ch * c[3])); };
    std::vector<double> energies(static_cast<std::size_t>(size));
    std::vector<double> channels(static_cast<std::size_t>(size));
    double previous = -std::numeric_limits<double>::infinity();
    for (int ch = 0; ch < size; ++ch) {
        const double e = energy(ch);
        if (!(e > previous)) {
            return QStringLiteral("the energy calibration does not rise over the spectrum");
        }
        previous = e;
        energies[static_cast<std::size_t>(ch)] = e;
        channels[static_cast<std::size_t>(ch)] = ch;
    }
    const std::optional<std::array<double, 4>> e = FitLeastSquaresPolynomial(energies, channels, 3);
    if (!e) {
        return QStringLiteral("the energy calibration cannot be converted to channels");
    }
    ecal = {ToSingle((*e)[0]), ToSingle((*e)[1]), ToSingle((*e)[2]), ToSingle((*e)[3])};
    return {};
}

} // namespace

QString ApplyTextSpectrum(const TTextSpectrum& read, const QString& name, TSampleFile& sample,
                          QString* note) {
    const TCalSpectrum& spectrum = read.Spectrum;
    if (spectrum.Size < 0 || spectrum.Size > MaxChannels) {
        return QStringLiteral("%1: a spectrum of %2 channels; a sample holds at most %3")
            .arg(name)
            .arg(spectrum.Size)
            .arg(MaxChannels);
    }
    TEnergyCalibration ecal = sample.Calibration.ECal;
    if (read.Layout == TTextLayout::Zema) {
        // The file's polynomial gives millivolts; f converts them to channels.
        const double f = spectrum.AdcResolution != 0
                             ? spectrum.RefVoltage / static_cast<double>(spectrum.AdcResolution)
                             : 0.0;
        if (f == 0 || !std::isfinite(f)) {
            return QStringLiteral("%1: the ADC resolution (%2) and reference voltage give no "
                                  "millivolts per channel, so the energy calibration cannot be "
                                  "converted to channels")
                .arg(name)
                .arg(spectrum.AdcResolution);
        }
        const TFileCalibration& c = read.Calibration;
        ecal = {ToSingle(c[0] / f), ToSingle(c[1] / f), ToSingle(c[2] / f), ToSingle(c[3] / f)};
    } else if (read.Layout == TTextLayout::Heliomat) {
        ecal = {ToSingle(read.Calibration[0]), ToSingle(read.Calibration[1]), 0.000001f, 0};
    }
    const bool foreign = IsExchangeLayout(read.Layout);
    QStringList notes;
    if (foreign) {
        const TFileCalibration& c = read.Calibration;
        if (IsAllZero(c)) {
            notes
                << QStringLiteral("%1 has no energy calibration; the sample's is kept.").arg(name);
        } else if (const QString why = ChannelOfEnergy(c, spectrum.Size, ecal); !why.isEmpty()) {
            return QStringLiteral("%1: %2").arg(name, why);
        } else if (const double off = LargestChannelError(c, ecal, spectrum.Size); off > 0.1) {
            // The cubic cannot follow the file's calibration closely: taken
            // all the same, but not without saying so.
            notes << QStringLiteral("%1: the energy calibration is taken as a cubic of the "
                                    "energy that is up to %2 channels off the file's.")
                         .arg(name)
                         .arg(off, 0, 'f', 2);
        }
        if (spectrum.Dropped > 0) {
            notes << QStringLiteral("%1: the counts of %2 channels beyond the %3 a sample holds "
                                    "were left out.")
                         .arg(name)
                         .arg(spectrum.Dropped)
                         .arg(MaxChannels);
        }
    }

    TSampleFile s = sample;
    s.Sample.Spectrum.Size = static_cast<std::uint16_t>(spectrum.Size);
    s.Sample.Spectrum.Offset = static_cast<std::uint16_t>(spectrum.Offset);
    for (int i = 0; i < spectrum.Size; ++i) {
        s.Sample.Spectrum.Channel[i] = static_cast<float>(spectrum.Channels[i]);
    }
    TSampleParameter p = s.Sample.Parameter;
    p.SampleInterval = static_cast<std::uint32_t>(spectrum.LifeTime);
    p.SampleType = 0;
    p.Volume = 1.0f;
    p.Weight = 1.0f;
    // An N42 or CSV file may name the instrument and the sample.
    const auto named = [foreign](std::int32_t number) {
        return static_cast<std::uint16_t>(foreign ? std::clamp(number, 0, 65535) : 0);
    };
    p.SerialNumber = named(spectrum.SerialNumber);
    p.SampleID = named(spectrum.SampleID);
    s.Sample.Parameter = p;
    if (read.Layout == TTextLayout::Zema || read.Layout == TTextLayout::Heliomat) {
        s.Calibration.ECal = ecal;
        s.Calibration.WCal = ImportedWidth;
        s.Calibration.RCal = ImportedEfficiency;
        s.CalibrationType = 1;
    }
    if (foreign) {
        // A laboratory imports spectra of its own detectors: their width and
        // efficiency calibrations stay those of a valid sample.
        s.Calibration.ECal = ecal;
        if (!IsTrue(sample.Valid)) {
            s.Calibration.WCal = ImportedWidth;
            s.Calibration.RCal = ImportedEfficiency;
            s.CalibrationType = 1;
        }
        TextToComment(s, AnsiToText(spectrum.Description));
    }
    s.Valid = 1;
    sample = s;
    if (note != nullptr) {
        *note = notes.join(QLatin1Char(' '));
    }
    return {};
}

TCommandResult TWorkstation::ImportSpectrum(const QString& path, char decimalSeparator,
                                            TTextSpectrum* read) {
    TTextSpectrum text;
    TCommandResult result;
    try {
        text.Layout = ReadSpectrumTextFile(path, decimalSeparator, text.Spectrum, text.Calibration);
    } catch (const EConversionError& e) {
        result.Status = CommandFailed;
        result.Messages << QString::fromUtf8(e.what());
        return result;
    }
    if (read != nullptr) {
        *read = text;
    }
    if (text.Layout == TTextLayout::Unrecognised) {
        result.Status = CommandNotRun;
        return result;
    }
    QString note;
    const bool wasValid = IsTrue(State.MeasuredSample.Valid);
    const QString error = ApplyTextSpectrum(text, NativePath(path), State.MeasuredSample, &note);
    if (!error.isEmpty()) {
        result.Status = CommandFailed;
        result.Messages << error;
        return result;
    }
    if (!note.isEmpty()) {
        result.Messages << note;
    }
    result.Caption =
        QStringLiteral("Imported from ") + NativePath(QFileInfo(path).absoluteFilePath());
    if (IsExchangeLayout(text.Layout)) {
        // The file's description is the new comment; the edit shows it.
        result.Comment = CommentToText(State.MeasuredSample);
        // The origins name the file only for what the import changed: the
        // energy calibration when the file has one, the width and efficiency
        // calibrations when the sample was not valid (and got the defaults).
        const bool fileEnergy = !IsAllZero(text.Calibration);
        if (fileEnergy || !wasValid) {
            State.EWCalOrigin = FileNameOnly(path);
        }
        if (!wasValid) {
            State.EfficiencyOrigin = FileNameOnly(path);
        }
    } else {
        State.EWCalOrigin = FileNameOnly(path);
        State.EfficiencyOrigin = FileNameOnly(path);
    }
    InvalidateSolverResults();
    result.Refresh = TRefresh::Analysis;
    return result;
}

std::optional<TCommandResult> TWorkstation::RefuseExport() const {
    const TSampleFile& sample = State.MeasuredSample;
    TCommandResult result;
    if (!IsTrue(sample.Valid)) {
        result.Status = CommandNotRun;
        return result;
    }
    const int size = sample.Sample.Spectrum.Size;
    if (size > MaxChannels) {
        result.Status = CommandFailed;
        result.Messages << QStringLiteral("The sample's spectrum size %1 exceeds the %2 channels a "
                                          "sample holds; nothing was exported.")
                               .arg(size)
                               .arg(MaxChannels);
        return result;
    }
    return std::nullopt;
}

TCommandResult TWorkstation::ExportSpectrum(const QString& path, char decimalSeparator) {
    TCommandResult result;
    const TSampleFile& sample = State.MeasuredSample;
    if (const std::optional<TCommandResult> refusal = RefuseExport()) {
        return *refusal;
    }
    const int size = sample.Sample.Spectrum.Size;
    const QByteArray text = SpaFileText(sample, EnergyAtChannel(sample, 0),
                                        EnergyAtChannel(sample, size - 1), decimalSeparator);
    QString error;
    if (!WriteSpaFile(path, text, error)) {
        result.Status = CommandFailed;
        result.Messages << error;
    }
    return result;
}
