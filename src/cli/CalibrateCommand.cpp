#include "cli/CalibrateCommand.h"

#include "calibration/CalibrationTool.h"
#include "cli/CliSupport.h"
#include "cli/EfficiencyCommand.h"
#include "core/Ansi.h"
#include "core/Errors.h"
#include "core/FileDialogs.h"
#include "core/SampleFiles.h"
#include "core/SpectrumTextFile.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

// Points files are small; anything beyond this is not one.
constexpr qint64 MaxPointsFileBytes = 16LL * 1024 * 1024;

// A sample's spectrum as the tool takes it when opened from the main window.
bool LoadSample(const QString& path, TCalibrationTool& tool, TSampleFile& sample,
                QTextStream& err) {
    QString error;
    if (!ReadSampleFile(path, sample, error)) {
        err << error << Qt::endl;
        return false;
    }
    tool.LoadSampleSpectrum(sample);
    return true;
}

// A spectrum text file as the tool's open-spectrum button reads it.
bool LoadTextSpectrum(const QString& path, TCalibrationTool& tool, QTextStream& err) {
    if (!QFileInfo::exists(path)) {
        err << "Could not open " << path << ": no such file" << Qt::endl;
        return false;
    }
    TFileCalibration calibration{};
    TTextLayout layout = TTextLayout::Unrecognised;
    try {
        layout = ReadSpectrumTextFile(path, tool.DecimalSeparator, tool.Spectrum, calibration);
    } catch (const EConversionError& e) {
        err << e.what() << Qt::endl;
        return false;
    }
    if (layout == TTextLayout::Unrecognised) {
        err << path
            << ": not a spectrum file of the ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or CSV layout"
            << Qt::endl;
        return false;
    }
    tool.TakeTextSpectrum(layout);
    return true;
}

// "FIRST:END" with 0 <= FIRST < END <= 4097.
bool ParseRoi(const QString& text, std::int32_t& first, std::int32_t& end) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 2) {
        return false;
    }
    bool okFirst = false;
    bool okEnd = false;
    const int a = parts[0].toInt(&okFirst);
    const int b = parts[1].toInt(&okEnd);
    if (!okFirst || !okEnd || a < 0 || a >= b || b > CalChannels) {
        return false;
    }
    first = a;
    end = b;
    return true;
}

// The grid rows of a points file: one point per line, four tab-separated
// cells. Empty lines are skipped; any other line without exactly four
// cells is an error naming the line.
bool ReadPoints(const QString& path, std::vector<TCalPoint>& points, QTextStream& err) {
    QByteArray bytes;
    QString error;
    if (!ReadFileBytes(path, MaxPointsFileBytes + 1, bytes, error)) {
        err << error << Qt::endl;
        return false;
    }
    if (bytes.size() > MaxPointsFileBytes) {
        err << path << ": too large for a points file" << Qt::endl;
        return false;
    }
    QString text = AnsiToText(std::string_view(bytes.constData(), bytes.size()));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) {
            continue;
        }
        const QStringList cells = lines[i].split(QLatin1Char('\t'));
        if (cells.size() != 4) {
            err << path << " line " << (i + 1)
                << ": expected four tab-separated cells (name, energy, position, sigma), found "
                << cells.size() << Qt::endl;
            return false;
        }
        points.push_back({cells[0], cells[1], cells[2], cells[3]});
    }
    return true;
}

} // namespace

int RunLocateCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("locate");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral("Loads a spectrum as the energy calibration tool does (a .vtb sample file,\n"
                       "any other file as a ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or CSV\n"
                       "spectrum file), sets the\n"
                       "ROI to the channel indices FIRST to END-1 and prints the located peak as\n"
                       "the tool's three edits show it."));
    const QCommandLineOption roi(
        QStringLiteral("roi"),
        QStringLiteral("The ROI: first channel index and end index (exclusive), 0 <= FIRST < "
                       "END <= 4097."),
        QStringLiteral("FIRST:END"));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of text."));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({roi, json, decimalPoint});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A sample file (.vtb) or a spectrum text file."));
    char separator = '.';
    QString file;
    if (const int code =
            ParseOneFileCommand(parser, command, args, decimalPoint,
                                QStringLiteral("spectrum file"), separator, file, out, err);
        code >= 0) {
        return code;
    }
    std::int32_t first = 0;
    std::int32_t end = 0;
    if (!parser.isSet(roi)) {
        return UsageError(parser, command, QStringLiteral("--roi FIRST:END is required"), err);
    }
    if (!ParseRoi(parser.value(roi), first, end)) {
        return UsageError(parser, command,
                          QStringLiteral("--roi takes FIRST:END with 0 <= FIRST < END <= 4097, "
                                         "not %1")
                              .arg(parser.value(roi)),
                          err);
    }

    TCalibrationTool tool(separator);
    const QString& path = file;
    TSampleFile sample{};
    const bool loaded = HasExactExtension(path, QStringLiteral(".vtb"))
                            ? LoadSample(path, tool, sample, err)
                            : LoadTextSpectrum(path, tool, err);
    if (!loaded) {
        return ExitCode::InputFailed;
    }
    tool.Marker1 = first;
    tool.Marker2 = end;
    tool.UpdateRoi();

    const std::optional<QString> fwhm = tool.FwhmText();
    if (!parser.isSet(json)) {
        out << "Position (Channel): " << tool.PositionText() << '\n';
        out << "Sigma (Channels): " << tool.SigmaText() << '\n';
        out << "FWHM [%]: " << fwhm.value_or(QString()) << '\n';
        out.flush();
        return ExitCode::Ok;
    }
    // QJsonDocument writes each double in its shortest form that reads back
    // to the same value.
    QJsonObject root;
    root["Position"] = tool.Position();
    root["Mean"] = tool.Mean;
    root["Sigma"] = tool.Sigma;
    root["FWHM"] =
        fwhm ? QJsonValue(tool.Sigma * 235.5 / tool.Position()) : QJsonValue(QJsonValue::Null);
    root["RoiOffset"] = tool.Roi.Offset;
    root["RoiSize"] = tool.Roi.Size;
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    out.flush();
    return ExitCode::Ok;
}

int RunCalibrateCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    if (!args.isEmpty() && args[0] == QLatin1String("efficiency")) {
        return RunCalibrateEfficiencyCommand(args.mid(1), out, err);
    }
    const QString command = QStringLiteral("calibrate");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Runs the energy and peak-width calibration tool on a sample: the points come\n"
            "from POINTS.txt (one per line: name, energy, position, sigma, tab-separated,\n"
            "numbers with the decimal separator), the six regressions are fitted and the\n"
            "results memo is printed, one line per memo line. With -o the sample is written\n"
            "with its energy and peak-width calibration replaced as the tool's OK does.\n"
            "Fewer than two points, or a fit that fails: the message on standard error\n"
            "and exit code 1."));
    const QCommandLineOption pointsOption(QStringLiteral("points"),
                                          QStringLiteral("The calibration points."),
                                          QStringLiteral("POINTS.txt"));
    const QCommandLineOption spectrumOption(
        QStringLiteral("spectrum"),
        QStringLiteral("Take the spectrum from this ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or "
                       "CSV spectrum file instead of the sample."),
        QStringLiteral("TEXTFILE"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the calibrated sample to this file."),
                                    QStringLiteral("OUT.vtb"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOptions({pointsOption, spectrumOption, output, decimalPoint});
    parser.addPositionalArgument(
        QStringLiteral("energy"),
        QStringLiteral("The calibration to make (energy and peak width)."));
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"), QStringLiteral("The sample file."));
    const int parsed = ParseArguments(parser, command, args, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    char separator = '.';
    if (const int code = ReadDecimalPoint(parser, command, decimalPoint, separator, err);
        code >= 0) {
        return code;
    }
    const QStringList words = parser.positionalArguments();
    if (words.isEmpty() || words[0] != QLatin1String("energy")) {
        return UsageError(parser, command,
                          QStringLiteral("the calibrations made here are: energy, efficiency"),
                          err);
    }
    if (words.size() != 2) {
        return UsageError(parser, command,
                          words.size() < 2 ? QStringLiteral("no sample file given")
                                           : QStringLiteral("more than one sample given"),
                          err);
    }
    if (!parser.isSet(pointsOption)) {
        return UsageError(parser, command, QStringLiteral("--points POINTS.txt is required"), err);
    }

    TCalibrationTool tool(separator);
    TSampleFile sample{};
    if (!LoadSample(words[1], tool, sample, err)) {
        return ExitCode::InputFailed;
    }
    if (parser.isSet(spectrumOption) &&
        !LoadTextSpectrum(parser.value(spectrumOption), tool, err)) {
        return ExitCode::InputFailed;
    }
    std::vector<TCalPoint> points;
    if (!ReadPoints(parser.value(pointsOption), points, err)) {
        return ExitCode::InputFailed;
    }
    if (points.size() < 2) {
        err << "At least two calibration points are needed; " << parser.value(pointsOption)
            << " holds " << points.size() << Qt::endl;
        return 1;
    }
    tool.HeaderShown = true;
    tool.Points = std::move(points);
    try {
        tool.RecomputeRegressions();
    } catch (const std::exception& e) {
        err << e.what() << Qt::endl;
        return 1;
    }
    for (const QString& line : tool.Memo) {
        out << line << '\n';
    }
    out.flush();
    if (parser.isSet(output)) {
        tool.ApplyTo(sample);
        QString error;
        if (!WriteSampleFile(parser.value(output), sample, error)) {
            err << error << Qt::endl;
            return ExitCode::WriteFailed;
        }
    }
    return ExitCode::Ok;
}
