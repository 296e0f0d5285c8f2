#include "core/SpectrumExportFiles.h"

#include "core/Ansi.h"
#include "core/NumberFormat.h"

#include <QFileInfo>
#include <QXmlStreamWriter>

#include <algorithm>
#include <climits>
#include <string>

namespace {

// The count written for a channel: rounded half to even, negative counts
// (which no exchange format allows) as 0, and within the 32-bit range.
std::int64_t WrittenCount(float count) {
    const std::int64_t rounded = Round(static_cast<double>(count));
    return std::clamp<std::int64_t>(rounded, 0, INT_MAX);
}

int WrittenChannels(const TSampleFile& sample) {
    return std::min<int>(sample.Sample.Spectrum.Size, MaxChannels);
}

// Coefficients round-trip exactly with 17 significant digits.
std::string Coefficient(double value) {
    return FormatGeneral(value, '.', 17);
}

// The calibration's coefficients up to the last one that is not zero, at
// least two.
int UsedCoefficients(const TFileCalibration& c) {
    int used = static_cast<int>(c.size());
    while (used > 2 && c[static_cast<std::size_t>(used - 1)] == 0) {
        --used;
    }
    return used;
}

// The comment's bytes (Windows-1252) on one line: line breaks and other
// control characters as blanks, so a comment cannot end a line of the file.
std::string CommentLine(const TSampleFile& sample) {
    std::string bytes(reinterpret_cast<const char*>(sample.Comment + 1), sample.Comment[0]);
    for (char& c : bytes) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return bytes;
}

// The wall-clock part of a start "yyyy-MM-ddTHH:mm:ss..." as SPE writes it:
// "MM/dd/yyyy HH:mm:ss".
std::string SpeDate(const std::string& start) {
    return start.substr(5, 2) + '/' + start.substr(8, 2) + '/' + start.substr(0, 4) + ' ' +
           start.substr(11, 8);
}

// "c0 c1 ..." (SPE, N42) or "c0,c1,..." (CSV): the used coefficients.
std::string CoefficientList(const TFileCalibration& c, char separator) {
    std::string list;
    for (int i = 0; i < UsedCoefficients(c); ++i) {
        if (i > 0) {
            list.push_back(separator);
        }
        list += Coefficient(c[static_cast<std::size_t>(i)]);
    }
    return list;
}

} // namespace

std::optional<TExportFormat> ExportFormatOfExtension(const QString& path) {
    return ExportFormatOfName(QFileInfo(path).suffix());
}

std::optional<TExportFormat> ExportFormatOfName(const QString& name) {
    const QString n = name.toLower();
    if (n == QLatin1String("spa")) {
        return TExportFormat::Spa;
    }
    if (n == QLatin1String("spe")) {
        return TExportFormat::Spe;
    }
    if (n == QLatin1String("n42")) {
        return TExportFormat::N42;
    }
    if (n == QLatin1String("csv")) {
        return TExportFormat::Csv;
    }
    return std::nullopt;
}

TFileDialogOptions SpectrumExportDialog() {
    TFileDialogOptions options = SpaSaveDialog();
    options.Filter += QStringLiteral("|ASCII SPE spectrum (*.spe)|*.spe"
                                     "|N42-2012 spectrum (*.n42)|*.n42"
                                     "|CSV spectrum (*.csv)|*.csv");
    return options;
}

QByteArray SpeFileText(const TSampleFile& sample, const TExportExtras& extras) {
    const TSampleParameter p = sample.Sample.Parameter;
    const int channels = WrittenChannels(sample);
    std::string text;
    text.reserve(400 + 12 * static_cast<std::size_t>(channels) + MaxCommentLength);
    const auto line = [&text](const std::string& s) {
        text.append(s);
        text.append("\r\n");
    };
    line("$SPEC_ID:");
    line(CommentLine(sample));
    line("$SPEC_REM:");
    line("DET# " + std::to_string(p.SerialNumber));
    line("SAMPLE# " + std::to_string(p.SampleID));
    line("WEIGHT " + FormatGeneral(static_cast<double>(p.Weight), '.'));
    line("VOLUME " + FormatGeneral(static_cast<double>(p.Volume), '.'));
    const std::string start = MeasurementStartText(extras.Start);
    if (!start.empty()) {
        line("$DATE_MEA:");
        line(SpeDate(start));
    }
    line("$MEAS_TIM:");
    line(std::to_string(p.SampleInterval) + ' ' + std::to_string(p.SampleInterval));
    line("$DATA:");
    line("0 " + std::to_string(channels - 1));
    for (int i = 0; i < channels; ++i) {
        line(std::to_string(WrittenCount(sample.Sample.Spectrum.Channel[i])));
    }
    if (extras.EnergyOfChannel) {
        const TFileCalibration& c = *extras.EnergyOfChannel;
        line("$ENER_FIT:");
        line(Coefficient(c[0]) + ' ' + Coefficient(c[1]));
        line("$MCA_CAL:");
        const int used = UsedCoefficients(c);
        line(std::to_string(used));
        line(CoefficientList(c, ' ') + " keV");
    }
    line("$ENDRECORD:");
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

QByteArray N42FileText(const TSampleFile& sample, const TExportExtras& extras) {
    const TSampleParameter p = sample.Sample.Parameter;
    const int channels = WrittenChannels(sample);
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(QStringLiteral("http://physics.nist.gov/N42/2011/N42"));
    xml.writeStartElement(QStringLiteral("RadInstrumentData"));
    xml.writeAttribute(QStringLiteral("n42DocUUID"),
                       QStringLiteral("zk-%1-%2").arg(p.SerialNumber).arg(p.SampleID));
    xml.writeTextElement(QStringLiteral("RadInstrumentDataCreatorName"),
                         QStringLiteral("Zel Korda Works"));

    xml.writeStartElement(QStringLiteral("RadInstrumentInformation"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("Instrument"));
    xml.writeTextElement(QStringLiteral("RadInstrumentManufacturerName"),
                         QStringLiteral("Zel Korda"));
    xml.writeTextElement(QStringLiteral("RadInstrumentModelName"), QStringLiteral("Zel-Korda"));
    xml.writeTextElement(QStringLiteral("RadInstrumentClassCode"),
                         QStringLiteral("Spectroscopic Personal Radiation Detector"));
    xml.writeTextElement(QStringLiteral("RadInstrumentIdentifier"),
                         QString::number(p.SerialNumber));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("RadDetectorInformation"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("Detector"));
    xml.writeTextElement(QStringLiteral("RadDetectorCategoryCode"), QStringLiteral("Gamma"));
    xml.writeTextElement(QStringLiteral("RadDetectorKindCode"), QStringLiteral("NaI"));
    xml.writeEndElement();

    if (extras.EnergyOfChannel) {
        xml.writeStartElement(QStringLiteral("EnergyCalibration"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("EnergyCalibration"));
        xml.writeTextElement(QStringLiteral("CoefficientValues"),
                             QString::fromStdString(CoefficientList(*extras.EnergyOfChannel, ' ')));
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("RadMeasurement"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("Foreground"));
    xml.writeTextElement(QStringLiteral("MeasurementClassCode"), QStringLiteral("Foreground"));
    const std::string start = MeasurementStartText(extras.Start);
    if (!start.empty()) {
        xml.writeTextElement(QStringLiteral("StartDateTime"), QString::fromStdString(start));
    }
    const QString duration = QStringLiteral("PT%1S").arg(p.SampleInterval);
    xml.writeTextElement(QStringLiteral("RealTimeDuration"), duration);
    xml.writeStartElement(QStringLiteral("Spectrum"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("ForegroundSpectrum"));
    xml.writeAttribute(QStringLiteral("radDetectorInformationReference"),
                       QStringLiteral("Detector"));
    if (extras.EnergyOfChannel) {
        xml.writeAttribute(QStringLiteral("energyCalibrationReference"),
                           QStringLiteral("EnergyCalibration"));
    }
    const QString comment = AnsiToText(CommentLine(sample));
    if (!comment.isEmpty()) {
        xml.writeTextElement(QStringLiteral("Remark"), comment);
    }
    xml.writeTextElement(QStringLiteral("LiveTimeDuration"), duration);
    QString counts;
    counts.reserve(8 * channels);
    for (int i = 0; i < channels; ++i) {
        if (i > 0) {
            counts += QLatin1Char(' ');
        }
        counts += QString::number(WrittenCount(sample.Sample.Spectrum.Channel[i]));
    }
    xml.writeStartElement(QStringLiteral("ChannelData"));
    xml.writeAttribute(QStringLiteral("compressionCode"), QStringLiteral("None"));
    xml.writeCharacters(counts);
    xml.writeEndElement(); // ChannelData
    xml.writeEndElement(); // Spectrum
    xml.writeEndElement(); // RadMeasurement
    xml.writeEndElement(); // RadInstrumentData
    xml.writeEndDocument();
    return bytes;
}

QByteArray CsvSpectrumText(const TSampleFile& sample, const TExportExtras& extras) {
    const TSampleParameter p = sample.Sample.Parameter;
    const int channels = WrittenChannels(sample);
    std::string text;
    text.reserve(400 + 14 * static_cast<std::size_t>(channels) + MaxCommentLength);
    const auto line = [&text](const std::string& s) {
        text.append(s);
        text.append("\r\n");
    };
    line("# live time (s)," + std::to_string(p.SampleInterval));
    const std::string start = MeasurementStartText(extras.Start);
    if (!start.empty()) {
        line("# start," + start);
    }
    if (extras.EnergyOfChannel) {
        line("# energy (keV) of channel," + CoefficientList(*extras.EnergyOfChannel, ','));
    }
    line("# serial number," + std::to_string(p.SerialNumber));
    line("# sample ID," + std::to_string(p.SampleID));
    if (const std::string comment = CommentLine(sample); !comment.empty()) {
        line("# description," + comment);
    }
    text.append("channel,counts\r\n");
    for (int i = 0; i < channels; ++i) {
        text.append(std::to_string(i));
        text.push_back(',');
        text.append(std::to_string(WrittenCount(sample.Sample.Spectrum.Channel[i])));
        text.append("\r\n");
    }
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
