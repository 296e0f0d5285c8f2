#include "cli/AnalyseCommand.h"

#include "analysis/AnalysisRun.h"
#include "analysis/BackgroundSubtraction.h"
#include "analysis/DoubletSolver.h"
#include "analysis/TrapezoidSolver.h"
#include "analysis/UncertaintySettings.h"
#include "cli/ConsoleHost.h"
#include "core/NumberFormat.h"
#include "core/SampleFileCommands.h"
#include "library/PeakListFile.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>

namespace {

const char* Help =
    "Usage: zkcli analyse SAMPLE.vtb [options]\n"
    "\n"
    "Opens a sample file as \"Sample\" -> \"Open\" does (the 2742-byte short layout\n"
    "included), runs the analysis and prints the sample description and the report\n"
    "lines, one per line.\n"
    "\n"
    "Options:\n"
    "  --background BG.vtb     use this sample as the background sample\n"
    "  --subtract              check \"Background Subtraction\"\n"
    "  --detailed              check \"Detailed Results\" (diagnostic lines too)\n"
    "  --uncertainties F.usf   uncertainty settings (default: UncertaintySettings.usf\n"
    "                          in the working directory)\n"
    "  --select N              the selected peak (default: the first)\n"
    "  --decimal-point C       decimal separator (default: the locale's)\n"
    "  --peaklist LIST.gpl     replace the sample's peak list first, as the peak\n"
    "                          list editor's \"Use Peak List\" does\n"
    "  --doublets              solve doublets (without the window) before the run\n"
    "  --trapezoid all|I,J,..  measure all or the given peaks (indices from 0) by\n"
    "                          the trapezoid method before the run\n"
    "  --json                  print one JSON object instead of text\n"
    "  --help                  this text\n";

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

bool OpenSample(TConsoleHost& host, const QString& path, QTextStream& err) {
    if (!QFileInfo::exists(path)) {
        err << "Could not open " << path << ": no such file" << Qt::endl;
        return false;
    }
    if (!HasExactExtension(path, ".vtb")) {
        err << path << ": not a sample file (the name must end in .vtb)" << Qt::endl;
        return false;
    }
    host.Prompts.Messages.clear();
    host.Prompts.FileNames = {path};
    OpenClick(host); // prints "Could not open ..." itself
    return host.Prompts.Messages.isEmpty();
}

} // namespace

int RunAnalyseCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString samplePath, backgroundPath, uncertaintyPath = "UncertaintySettings.usf";
    QString peakListPath, trapezoidPeaks;
    bool doublets = false;
    bool json = false;
    TAnalysisOptions options;
    options.DecimalSeparator = LocaleDecimalSeparator();
    int selected = 0;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& target) {
            if (i + 1 >= args.size()) {
                err << "zkcli analyse: " << a << " needs a value" << Qt::endl;
                return false;
            }
            target = args[++i];
            return true;
        };
        QString v;
        if (a == "--help" || a == "-h") {
            out << Help;
            return 0;
        } else if (a == "--background") {
            if (!value(backgroundPath)) {
                return 2;
            }
        } else if (a == "--uncertainties") {
            if (!value(uncertaintyPath)) {
                return 2;
            }
        } else if (a == "--peaklist") {
            if (!value(peakListPath)) {
                return 2;
            }
        } else if (a == "--trapezoid") {
            if (!value(trapezoidPeaks)) {
                return 2;
            }
        } else if (a == "--doublets") {
            doublets = true;
        } else if (a == "--subtract") {
            options.BackgroundSubtraction = true;
        } else if (a == "--detailed") {
            options.DetailedResults = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--select") {
            bool ok = false;
            if (!value(v) || (selected = v.toInt(&ok), !ok)) {
                err << "zkcli analyse: --select needs a peak index" << Qt::endl;
                return 2;
            }
        } else if (a == "--decimal-point") {
            if (!value(v) || v.size() != 1 || v[0].unicode() >= 0x80) {
                err << "zkcli analyse: --decimal-point needs one character" << Qt::endl;
                return 2;
            }
            options.DecimalSeparator = char(v[0].unicode());
        } else if (a.startsWith("-")) {
            err << "zkcli analyse: unknown option " << a << "\n\n" << Help;
            return 2;
        } else if (samplePath.isEmpty()) {
            samplePath = a;
        } else {
            err << "zkcli analyse: more than one sample given" << Qt::endl;
            return 2;
        }
    }
    if (samplePath.isEmpty()) {
        err << Help;
        return 2;
    }

    TConsoleHost host(err);
    if (!backgroundPath.isEmpty()) {
        if (!OpenSample(host, backgroundPath, err)) {
            return 1;
        }
        host.Analysis.BackgroundSample = host.Analysis.MeasuredSample; // "Use as background"
        host.Analysis.BackgroundOrigin = host.Analysis.SampleOrigin;
        host.Analysis.MeasuredSample = TSampleFile{};
    }
    if (!OpenSample(host, samplePath, err)) {
        return 1;
    }

    TAnalysisState& state = host.Analysis;
    if (!peakListPath.isEmpty()) {
        TPeakList list = state.MeasuredSample.PeakList;
        const QString error = ReadPeakListFile(peakListPath, list);
        if (!error.isEmpty()) {
            err << error << Qt::endl;
            return 1;
        }
        state.MeasuredSample.PeakList = list;
        state.PeakListOrigin = FileNameOnly(peakListPath);
        state.DoubletResults.Valid = false;
        state.TrapezoidResults.Valid = false;
    }
    TBoolArray selection{};
    if (!trapezoidPeaks.isEmpty()) {
        const int count = UsablePeaks(state.MeasuredSample.PeakList);
        for (const QString& part : trapezoidPeaks.split(',')) {
            bool ok = false;
            const int index = part.toInt(&ok);
            if (part == "all") {
                for (int i = 0; i < count; ++i) {
                    selection[i] = true;
                }
            } else if (ok && index >= 0 && index < count) {
                selection[index] = true;
            } else {
                err << "zkcli analyse: --trapezoid takes all or peak indices 0 to " << count - 1
                    << ", not " << part << Qt::endl;
                return 2;
            }
        }
    }
    if (doublets || !trapezoidPeaks.isEmpty()) {
        bool subtracted = false;
        const TSampleFile copy = PrepareWorkingCopy(state.MeasuredSample, state.BackgroundSample,
                                                    options.BackgroundSubtraction, subtracted);
        if (doublets) {
            RunDoubletSolver(0, copy, state.DoubletResults, nullptr, host.Prompts);
        }
        if (!trapezoidPeaks.isEmpty()) {
            RunTrapezoidSolver(0, copy, state.TrapezoidResults, selection, nullptr);
        }
    }

    TUncertaintySettings uncertainties;
    QString loadError;
    const TUncertaintyLoadStatus loaded =
        LoadUncertaintySettings(uncertainties, loadError, uncertaintyPath);
    if (loaded == TUncertaintyLoadStatus::NotFound) {
        err << "note: no uncertainty settings in " << uncertaintyPath
            << "; total uncertainties are left out" << Qt::endl;
    } else if (loaded != TUncertaintyLoadStatus::Loaded) {
        err << "note: " << loadError << "; total uncertainties are left out" << Qt::endl;
    }

    const int peaks = UsablePeaks(host.Analysis.MeasuredSample.PeakList);
    options.Selected = peaks > 0 ? selected : -1;
    const TAnalysisRun run = AnalyseSample(host.Analysis, options, uncertainties);

    if (!json) {
        out << run.Description << '\n';
        for (const TReportLine& line : run.Lines) {
            out << line.Text << '\n';
        }
        out.flush();
        return 0;
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
    return 0;
}
