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

// The analysis of one sample file, as the main window shows it.
struct TFileRun {
    QString File;
    TSampleParameter Parameter{};
    TAnalysisRun Run;
};

QJsonObject RunToJson(const TAnalysisRun& run) {
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
    return root;
}

// Shortest text that reads back to the same value, always with a point.
template <typename T> QString NumberText(T v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return QString::fromLatin1(buf, r.ptr - buf);
}

// A CSV field: quoted, with doubled quotes, when it holds a separator, a
// quote or a line break.
QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

const char* const CsvHeader =
    "file,serial_number,sample_id,sample_interval_s,weight_kg,nuclide,energy_keV,source,"
    "evaluation_code,activity_Bq_per_kg,counting_uncertainty_percent,"
    "total_uncertainty_percent,detection_limit,net_area,limit_Bq_per_kg";

// One row per peak of the run. A detection limit (error -1) gives its
// activity as the limit, 1 in detection_limit and no counting uncertainty;
// absent values (evaluation code of solver results, total uncertainty, a
// peak without limit) are empty fields.
void WriteCsvRows(const TFileRun& f, QTextStream& out) {
    const QString prefix = CsvField(f.File) + ',' + QString::number(f.Parameter.SerialNumber) +
                           ',' + QString::number(f.Parameter.SampleID) + ',' +
                           QString::number(f.Parameter.SampleInterval) + ',' +
                           NumberText(float(f.Parameter.Weight)) + ',';
    for (const TPeakReport& p : f.Run.Peaks) {
        const TPeakEntry& entry = f.Run.WorkingCopy.PeakList.Peak[p.Index];
        const bool limit = p.Result.Error == -1.0f;
        const float peakLimit = entry.Limit;
        QStringList row;
        row << CsvField(PeakNameToText(entry)) << QString::number(entry.Energy)
            << QString::fromLatin1(SourceName(p.Source))
            << (p.Code ? QString::number(int(*p.Code)) : QString()) << NumberText(p.Result.Activity)
            << (limit ? QString() : NumberText(p.Result.Error))
            << (p.TotalUncertainty ? NumberText(*p.TotalUncertainty) : QString())
            << QString::fromLatin1(limit ? "1" : "0") << NumberText(p.Result.Area)
            << (peakLimit > 0 ? NumberText(peakLimit) : QString());
        out << prefix << row.join(QLatin1Char(',')) << '\n';
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
            "description and the report lines, one per line. Several files are each\n"
            "analysed as if opened alone, with the same options; a file that cannot be\n"
            "used is reported on standard error, the others are still analysed and the\n"
            "run ends with exit code 1."));
    const TAnalysisSetupOptions setup = MakeAnalysisSetupOptions();
    const QCommandLineOption detailed(
        QStringLiteral("detailed"),
        QStringLiteral("Check \"Detailed Results\" (diagnostic lines too)."));
    const QCommandLineOption select(QStringLiteral("select"),
                                    QStringLiteral("The selected peak, from 0 (default: 0)."),
                                    QStringLiteral("N"));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    const QCommandLineOption json(
        QStringLiteral("json"),
        QStringLiteral("Print one JSON object instead of text (an array of them for several "
                       "files)."));
    const QCommandLineOption csv(
        QStringLiteral("csv"),
        QStringLiteral("Print a CSV table instead of text: a header line, then one row per "
                       "peak per file (decimal point always '.')."));
    parser.addOptions({setup.Background, setup.Subtract, detailed, setup.Uncertainties, select,
                       decimalPoint, setup.PeakList, setup.Doublets, setup.Trapezoid, json, csv});
    parser.addPositionalArgument(QStringLiteral("SAMPLE.vtb"),
                                 QStringLiteral("The sample files, one or more."),
                                 QStringLiteral("SAMPLE.vtb..."));
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
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty()) {
        return UsageError(parser, command, QStringLiteral("no sample file given"), err);
    }
    if (parser.isSet(json) && parser.isSet(csv)) {
        return UsageError(parser, command, QStringLiteral("--json and --csv exclude each other"),
                          err);
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
    const bool several = files.size() > 1;
    QStringList notesGiven;

    // Analyses one file in a session of its own; returns -1 with `result`
    // filled, or the exit code of a lone run.
    auto analyseFile = [&](const QString& file, TFileRun& result) -> int {
        TWorkstation session;
        if (const int code = OpenAnalysisSamples(session, parser, setup, file, err); code >= 0) {
            return code;
        }
        TAnalysisState& state = session.State;
        const int peaks = UsablePeaks(state.MeasuredSample.PeakList);
        if (parser.isSet(select) && (selected < 0 || selected >= peaks)) {
            const QString reason =
                peaks == 0
                    ? QStringLiteral("--select: the peak list is empty")
                    : QStringLiteral("--select takes a peak index from 0 to %1").arg(peaks - 1);
            if (several) {
                err << file << ": " << reason << Qt::endl;
                return ExitCode::Usage;
            }
            return UsageError(parser, command, reason, err);
        }
        if (const int code = SolveAnalysis(session, parser, setup, command, err, &notesGiven);
            code >= 0) {
            return code;
        }
        TAnalysisOptions fileOptions = options;
        fileOptions.Selected = peaks > 0 ? selected : -1;
        result.File = file;
        result.Parameter = state.MeasuredSample.Sample.Parameter;
        result.Run = session.Analyse(fileOptions);
        return -1;
    };

    if (!several) {
        TFileRun one;
        if (const int code = analyseFile(files[0], one); code >= 0) {
            return code;
        }
        if (parser.isSet(json)) {
            out << QJsonDocument(RunToJson(one.Run)).toJson(QJsonDocument::Indented);
        } else if (parser.isSet(csv)) {
            out << CsvHeader << '\n';
            WriteCsvRows(one, out);
        } else {
            out << one.Run.Description << '\n';
            for (const TReportLine& line : one.Run.Lines) {
                out << line.Text << '\n';
            }
        }
        out.flush();
        return ExitCode::Ok;
    }

    // Several files: text and CSV go out as each file is done, JSON at the end.
    bool failed = false;
    QJsonArray array;
    if (parser.isSet(csv)) {
        out << CsvHeader << '\n';
    }
    for (const QString& file : files) {
        TFileRun one;
        if (analyseFile(file, one) >= 0) {
            err << file << ": not analysed" << Qt::endl;
            failed = true;
            continue;
        }
        if (parser.isSet(json)) {
            QJsonObject o = RunToJson(one.Run);
            o["file"] = file;
            array.append(o);
        } else if (parser.isSet(csv)) {
            WriteCsvRows(one, out);
        } else {
            out << "== " << file << '\n' << one.Run.Description << '\n';
            for (const TReportLine& line : one.Run.Lines) {
                out << line.Text << '\n';
            }
        }
    }
    if (parser.isSet(json)) {
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    }
    out.flush();
    return failed ? ExitCode::SomeFilesFailed : ExitCode::Ok;
}
