#include "cli/AnalyseCommand.h"

#include "cli/AnalysisSetup.h"
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
    const TAnalysisSetupOptions setup = MakeAnalysisSetupOptions();
    const QCommandLineOption detailed(
        QStringLiteral("detailed"),
        QStringLiteral("Check \"Detailed Results\" (diagnostic lines too)."));
    const QCommandLineOption select(QStringLiteral("select"),
                                    QStringLiteral("The selected peak, from 0 (default: 0)."),
                                    QStringLiteral("N"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("Print one JSON object instead of text."));
    parser.addOptions({setup.Background, setup.Subtract, detailed, setup.Uncertainties, select,
                       decimalPoint, setup.PeakList, setup.Doublets, setup.Trapezoid, json});
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
    if (const int code = OpenAnalysisSamples(session, parser, setup, file, err); code >= 0) {
        return code;
    }
    TAnalysisState& state = session.State;
    const int peaks = UsablePeaks(state.MeasuredSample.PeakList);
    if (parser.isSet(select) && (selected < 0 || selected >= peaks)) {
        return UsageError(
            parser, command,
            peaks == 0 ? QStringLiteral("--select: the peak list is empty")
                       : QStringLiteral("--select takes a peak index from 0 to %1").arg(peaks - 1),
            err);
    }
    if (const int code = SolveAnalysis(session, parser, setup, command, err); code >= 0) {
        return code;
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
