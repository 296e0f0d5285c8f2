#include "cli/AnalyseCommand.h"

#include "analysis/AnalysisRun.h"
#include "analysis/UncertaintySettings.h"
#include "cli/ConsoleHost.h"
#include "core/NumberFormat.h"
#include "core/SampleFileCommands.h"

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
