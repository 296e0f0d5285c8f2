#include "cli/TextFileCommands.h"

#include "cli/AnalysisSetup.h"
#include "cli/CliSupport.h"
#include "core/Ansi.h"
#include "core/SampleFiles.h"
#include "workstation/Workstation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// The exit code of a file that could not be used (read, recognised or converted).
constexpr int FileNotUsed = 1;

QJsonObject TextSpectrumJson(const TTextSpectrum& read) {
    const TCalSpectrum& s = read.Spectrum;
    QJsonArray calibration;
    for (const double c : read.Calibration) {
        calibration.append(c);
    }
    QJsonArray channels;
    for (const std::int32_t count : s.Channels) {
        channels.append(count);
    }
    QJsonObject o;
    o["layout"] = static_cast<int>(read.Layout);
    o["layoutName"] = TextLayoutName(read.Layout);
    o["Size"] = s.Size;
    o["Offset"] = s.Offset;
    o["AdcResolution"] = s.AdcResolution;
    o["RefVoltage"] = s.RefVoltage;
    o["LifeTime"] = s.LifeTime;
    if (IsExchangeLayout(read.Layout)) {
        o["Dropped"] = s.Dropped;
        o["Description"] = AnsiToText(s.Description);
        o["Start"] = QString::fromStdString(s.Start);
        o["SerialNumber"] = s.SerialNumber;
        o["SampleID"] = s.SampleID;
    }
    o["FileCalibration"] = calibration;
    o["Channels"] = channels;
    return o;
}

} // namespace

int RunImportCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("import");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Reads a spectrum file (ZEMA, Vintrava, HELIOMAT7xx, SPE, N42, CSV) and imports it\n"
            "into a measured sample as \"Sample\" -> \"Import\" does. Prints the layout's\n"
            "name and the number of channels, or with --json what the reader returned."));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the imported sample to this file."),
                                    QStringLiteral("OUT.vtb"));
    const QCommandLineOption into(
        QStringLiteral("into"),
        QStringLiteral("Import into this sample (default: an empty sample, as the main window "
                       "holds before any sample)."),
        QStringLiteral("SAMPLE.vtb"));
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Print the reader's result as one JSON object instead of text."));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({output, into, json, decimalPoint});
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("The spectrum text file."));
    char separator = '.';
    QString file;
    if (const int code =
            ParseOneFileCommand(parser, command, args, decimalPoint,
                                QStringLiteral("spectrum text file"), separator, file, out, err);
        code >= 0) {
        return code;
    }

    TWorkstation session;
    if (parser.isSet(into)) {
        QString error;
        if (!ReadSampleFile(parser.value(into), session.State.MeasuredSample, error)) {
            err << error << Qt::endl;
            return FileNotUsed;
        }
    }
    TTextSpectrum read;
    const TCommandResult result = session.ImportSpectrum(file, separator, &read);
    if (result.Status == CommandNotRun) {
        err << file << ": not a ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or CSV spectrum file, or it "
            << "cannot be read" << Qt::endl;
        return FileNotUsed;
    }
    if (!result.Ok()) {
        err << result.MessageText() << Qt::endl;
        return FileNotUsed;
    }
    if (!result.Messages.isEmpty()) {
        err << result.MessageText() << Qt::endl; // what the import kept or left out
    }
    if (parser.isSet(output)) {
        QString error;
        if (!WriteSampleFile(parser.value(output), session.State.MeasuredSample, error)) {
            err << error << Qt::endl;
            return ExitCode::WriteFailed;
        }
    }
    if (parser.isSet(json)) {
        out << QJsonDocument(TextSpectrumJson(read)).toJson(QJsonDocument::Compact) << '\n';
    } else {
        out << TextLayoutName(read.Layout) << ' ' << read.Spectrum.Size << '\n';
    }
    out.flush();
    return ExitCode::Ok;
}

int RunExportCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("export");
    QCommandLineParser parser;
    SetUpParser(parser, QStringLiteral(
                            "Writes a sample file's spectrum as \"Sample\" -> \"Export\" does: an\n"
                            "SPA, ASCII SPE, N42-2012 or CSV file, as the output's extension\n"
                            "(.SPA, .spe, .n42, .csv) or --format names; SPA for any other\n"
                            "extension."));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The spectrum file to write."),
                                    QStringLiteral("OUT.SPA"));
    const QCommandLineOption format(
        QStringLiteral("format"),
        QStringLiteral("The format to write whatever the output's extension: spa, spe, n42 "
                       "or csv."),
        QStringLiteral("FORMAT"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({output, format, decimalPoint});
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"), QStringLiteral("The sample file."));
    char separator = '.';
    QString file;
    if (const int code =
            ParseOneFileCommand(parser, command, args, decimalPoint, QStringLiteral("sample file"),
                                separator, file, out, err);
        code >= 0) {
        return code;
    }
    if (!parser.isSet(output)) {
        return UsageError(parser, command, QStringLiteral("no output file given (-o OUT.SPA)"),
                          err);
    }
    // An output whose extension names no format is an SPA file, as it always was.
    std::optional<TExportFormat> chosen =
        ExportFormatOfExtension(parser.value(output)).value_or(TExportFormat::Spa);
    if (parser.isSet(format)) {
        chosen = ExportFormatOfName(parser.value(format));
        if (!chosen) {
            return UsageError(parser, command,
                              QStringLiteral("unknown format \"%1\" (spa, spe, n42 or csv)")
                                  .arg(parser.value(format)),
                              err);
        }
    }

    TWorkstation session;
    QString error;
    if (!ReadSampleFile(file, session.State.MeasuredSample, error)) {
        err << error << Qt::endl;
        return FileNotUsed;
    }
    const TCommandResult result =
        session.ExportSpectrumAs(parser.value(output), separator, *chosen);
    if (result.Status == CommandNotRun) {
        err << file << ": the sample is not valid; nothing was exported" << Qt::endl;
        return FileNotUsed;
    }
    if (!result.Ok()) {
        err << result.MessageText() << Qt::endl;
        return FileNotUsed;
    }
    // Notes on a calibration that is left out or written only roughly.
    WriteMessages(result, err, "note: ");
    return ExitCode::Ok;
}
