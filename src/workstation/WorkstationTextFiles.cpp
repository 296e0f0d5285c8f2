// "Sample" -> "Import" and "Export": spectrum text files as the measured sample.
#include "analysis/CalibrationFunctions.h"
#include "core/Errors.h"
#include "core/FileDialogs.h"
#include "core/NumberFormat.h"
#include "core/Single.h"
#include "workstation/Workstation.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

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

} // namespace

QString ApplyTextSpectrum(const TTextSpectrum& read, const QString& name, TSampleFile& sample) {
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
    p.SerialNumber = 0;
    p.SampleID = 0;
    s.Sample.Parameter = p;
    if (read.Layout == TTextLayout::Zema || read.Layout == TTextLayout::Heliomat) {
        s.Calibration.ECal = ecal;
        s.Calibration.WCal = ImportedWidth;
        s.Calibration.RCal = ImportedEfficiency;
        s.CalibrationType = 1;
    }
    s.Valid = 1;
    sample = s;
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
    const QString error = ApplyTextSpectrum(text, NativePath(path), State.MeasuredSample);
    if (!error.isEmpty()) {
        result.Status = CommandFailed;
        result.Messages << error;
        return result;
    }
    result.Caption =
        QStringLiteral("Imported from ") + NativePath(QFileInfo(path).absoluteFilePath());
    State.EWCalOrigin = FileNameOnly(path);
    State.EfficiencyOrigin = FileNameOnly(path);
    InvalidateSolverResults();
    result.Refresh = TRefresh::Analysis;
    return result;
}

TCommandResult TWorkstation::ExportSpectrum(const QString& path, char decimalSeparator) {
    TCommandResult result;
    const TSampleFile& sample = State.MeasuredSample;
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
    const QByteArray text = SpaFileText(sample, EnergyAtChannel(sample, 0),
                                        EnergyAtChannel(sample, size - 1), decimalSeparator);
    QString error;
    if (!WriteSpaFile(path, text, error)) {
        result.Status = CommandFailed;
        result.Messages << error;
    }
    return result;
}
