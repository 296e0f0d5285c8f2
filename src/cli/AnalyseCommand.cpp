#include "cli/AnalyseCommand.h"

#include "cli/CliSupport.h"
#include "core/FileDialogs.h"
#include "core/NumberFormat.h"
#include "library/PeakListFile.h"
#include "workstation/Workstation.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace {

// Shortest text that reads back to the same single-precision value.
QJsonValue SingleValue(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QJsonValue(QString::fromLatin1(buf, r.ptr - buf).toDouble());
}

const char* SourceName(TResultSource s) {
    switch (s) {
    case TResultSource::Doublet:
        return "doublet";
    case TResultSource::Trapezoid:
        return "trapezoid";
    default:
        return "roi";
    }
}

const char* ColourName(TReportColour c) {
    switch (c) {
    case TReportColour::Blue:
        return "blue";
    case TReportColour::Red:
        return "red";
    default:
        return "black";
    }
}

// Writes the messages of an operation to standard error.
void PrintMessages(const TCommandResult& result, QTextStream& err, const char* prefix = "") {
    for (const QString& message : result.Messages) {
        err << prefix << message << Qt::endl;
    }
}

// "Sample" -> "Open" of one file; false (with the reason on `err`) when it
// cannot be read.
bool OpenSampleFile(TWorkstation& session, const QString& path, QTextStream& err) {
    if (!QFileInfo::exists(path)) {
        err << "Could not open " << path << ": no such file" << Qt::endl;
        return false;
    }
    if (!HasExactExtension(path, ".vtb")) {
        err << path << ": not a sample file (the name must end in .vtb)" << Qt::endl;
        return false;
    }
    const TCommandResult result = session.OpenSample(path);
    PrintMessages(result, err);
    return result.Ok();
}

} // namespace

int RunAnalyseCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("analyse");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Opens a sample file as \"Sample\" -> \"Open\" does (the 2742-byte short layout\n"
            "included), runs the analysis of the main window and prints the sample\n"
            "description and the report lines, one per line."));
    const QCommandLineOption background(QStringLiteral("background"),
                                        QStringLiteral("Use this sample as the background sample."),
                                        QStringLiteral("BG.vtb"));
    const QCommandLineOption subtract(QStringLiteral("subtract"),
                                      QStringLiteral("Check \"Background Subtraction\"."));
    const QCommandLineOption detailed(
        QStringLiteral("detailed"),
        QStringLiteral("Check \"Detailed Results\" (diagnostic lines too)."));
    const QCommandLineOption uncertainties(
        QStringLiteral("uncertainties"),
        QStringLiteral("Uncertainty settings (default: UncertaintySettings.usf in the working "
                       "directory)."),
        QStringLiteral("F.usf"), QStringLiteral("UncertaintySettings.usf"));
    const QCommandLineOption select(QStringLiteral("select"),
                                    QStringLiteral("The selected peak, from 0 (default: 0)."),
                                    QStringLiteral("N"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    const QCommandLineOption peakList(
        QStringLiteral("peaklist"),
        QStringLiteral("Replace the sample's peak list first, as the peak list editor's \"Use "
                       "Peak List\" does."),
        QStringLiteral("LIST.gpl"));
    const QCommandLineOption doublets(QStringLiteral("doublets"),
                                      QStringLiteral("Solve doublets before the run."));
    const QCommandLineOption trapezoid(
        QStringLiteral("trapezoid"),
        QStringLiteral("Measure all or the given peaks (indices from 0) by the trapezoid method "
                       "before the run."),
        QStringLiteral("all|I,J,.."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of text."));
    parser.addOptions({background, subtract, detailed, uncertainties, select, decimalPoint,
                       peakList, doublets, trapezoid, json});
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"), QStringLiteral("The sample file."));
    const int parsed = ParseArguments(parser, command, args, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    TAnalysisOptions options;
    if (const int code =
            ReadDecimalPoint(parser, command, decimalPoint, options.DecimalSeparator, err);
        code >= 0) {
        return code;
    }
    QString file;
    if (const int code = ReadOneFile(parser, command, QStringLiteral("sample file"), file, err);
        code >= 0) {
        return code;
    }
    int selected = 0;
    if (parser.isSet(select)) {
        bool ok = false;
        selected = parser.value(select).toInt(&ok);
        if (!ok) {
            return UsageError(parser, command, QStringLiteral("--select needs a peak index"), err);
        }
    }
    options.DetailedResults = parser.isSet(detailed);

    TWorkstation session;
    if (parser.isSet(background)) {
        if (!OpenSampleFile(session, parser.value(background), err)) {
            return ExitCode::InputFailed;
        }
        session.UseAsBackground();
        session.State.MeasuredSample = TSampleFile{};
    }
    if (!OpenSampleFile(session, file, err)) {
        return ExitCode::InputFailed;
    }
    TAnalysisState& state = session.State;
    if (parser.isSet(background)) {
        const QString message =
            BackgroundCompatibilityMessage(state.MeasuredSample, state.BackgroundSample);
        if (!message.isEmpty()) {
            err << "warning: " << message << Qt::endl;
        }
    }
    // The box's own message was given above for --background.
    session.SetBackgroundSubtraction(parser.isSet(subtract));

    if (parser.isSet(peakList)) {
        const QString path = parser.value(peakList);
        TPeakList list = state.MeasuredSample.PeakList;
        const QString error = ReadPeakListFile(path, list);
        if (!error.isEmpty()) {
            err << error << Qt::endl;
            return ExitCode::InputFailed;
        }
        session.ReplacePeakList(list, FileNameOnly(path));
    }
    const int peaks = UsablePeaks(state.MeasuredSample.PeakList);
    if (parser.isSet(select) && (selected < 0 || selected >= peaks)) {
        return UsageError(
            parser, command,
            peaks == 0 ? QStringLiteral("--select: the peak list is empty")
                       : QStringLiteral("--select takes a peak index from 0 to %1").arg(peaks - 1),
            err);
    }
    std::optional<TBoolArray> selection;
    if (parser.isSet(trapezoid)) {
        selection = TBoolArray{};
        for (const QString& part : parser.value(trapezoid).split(',')) {
            bool ok = false;
            const int index = part.toInt(&ok);
            if (part == "all") {
                for (int i = 0; i < peaks; ++i) {
                    (*selection)[i] = true;
                }
            } else if (ok && index >= 0 && index < peaks) {
                (*selection)[index] = true;
            } else {
                return UsageError(parser, command,
                                  QStringLiteral("--trapezoid takes all or peak indices 0 to %1, "
                                                 "not %2")
                                      .arg(peaks - 1)
                                      .arg(part),
                                  err);
            }
        }
    }
    if (parser.isSet(doublets)) {
        PrintMessages(session.SolveDoublets(nullptr), err, "note: ");
    }
    if (selection) {
        session.SolveTrapezoid(selection);
    }

    const QString uncertaintyPath = parser.value(uncertainties);
    QString loadError;
    const TUncertaintyLoadStatus loaded =
        LoadUncertaintySettings(session.Uncertainties, loadError, uncertaintyPath);
    if (loaded == TUncertaintyLoadStatus::NotFound) {
        err << "note: no uncertainty settings in " << uncertaintyPath
            << "; total uncertainties are left out" << Qt::endl;
    } else if (loaded != TUncertaintyLoadStatus::Loaded) {
        err << "note: " << loadError << "; total uncertainties are left out" << Qt::endl;
    }

    options.Selected = peaks > 0 ? selected : -1;
    const TAnalysisRun run = session.Analyse(options);

    if (!parser.isSet(json)) {
        out << run.Description << '\n';
        for (const TReportLine& line : run.Lines) {
            out << line.Text << '\n';
        }
        out.flush();
        return ExitCode::Ok;
    }
    QJsonArray peakArray;
    for (const TPeakReport& p : run.Peaks) {
        const TPeakEntry& entry = run.WorkingCopy.PeakList.Peak[p.Index];
        QJsonObject o;
        o["index"] = p.Index;
        o["name"] = PeakNameToText(entry);
        o["energy"] = entry.Energy;
        o["source"] = SourceName(p.Source);
        o["code"] = p.Code ? QJsonValue(int(*p.Code)) : QJsonValue(QJsonValue::Null);
        o["activity"] = SingleValue(p.Result.Activity);
        o["error"] = SingleValue(p.Result.Error);
        o["area"] = SingleValue(p.Result.Area);
        o["totalUncertainty"] =
            p.TotalUncertainty ? QJsonValue(*p.TotalUncertainty) : QJsonValue(QJsonValue::Null);
        o["colour"] = ColourName(p.Colour);
        o["line"] = p.Line ? QJsonValue(run.Lines[*p.Line].Text) : QJsonValue(QJsonValue::Null);
        peakArray.append(o);
    }
    QJsonObject root;
    root["description"] = run.Description;
    root["origins"] = QJsonArray::fromStringList(run.Origins);
    root["peaks"] = peakArray;
    out << QJsonDocument(root).toJson(QJsonDocument::Indented);
    out.flush();
    return ExitCode::Ok;
}
