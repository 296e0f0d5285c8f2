#include "cli/InstrumentCommand.h"

#include "cli/CliSupport.h"
#include "core/NumberFormat.h"
#include "core/SampleFiles.h"
#include "instrument/SpecConfig.h"
#include "library/PeakListFile.h"
#include "workstation/Workstation.h"

#include <QFileInfo>

namespace {

const QString Command = QStringLiteral("instrument");

const char* const Description =
    "Talks to the spectrometer on the serial port PORT (on Linux a device such as\n"
    "/dev/ttyUSB0, or the link of a running simulator, see `ports`).\n"
    "\n"
    "Subcommands:\n"
    "  ports                          list the serial ports that can be opened\n"
    "  info                           show the instrument's information\n"
    "  read-sample -o FILE.vtb [--background-out BG.vtb]\n"
    "                                 read the current sample (and, when the\n"
    "                                 instrument subtracts its background, the\n"
    "                                 background sample) into sample files\n"
    "  read-background -o FILE.vtb    read the stored background sample\n"
    "  download BASE.vtb              read every stored sample into files\n"
    "                                 BASE_SN<serial>_ID<id>_<i>.vtb\n"
    "  clear-memory --yes             delete all stored samples\n"
    "  reset-id --yes                 set the unique sample ID counter to zero\n"
    "  config [--threshold N] [--time-to-peak N] [--subtract-background on|off]\n"
    "         [--dl-peak N]           print the measuring configuration; with options,\n"
    "                                 change it (whole numbers above 0; --dl-peak is\n"
    "                                 an index into the instrument's peak list, -1 for\n"
    "                                 none) and write it back\n"
    "  send-peaklist FILE.gpl|SAMPLE.vtb      send a peak list\n"
    "  send-calibration FILE.ewcal|SAMPLE.vtb send the energy and peak-width calibration\n"
    "  send-efficiency FILE.rcal|SAMPLE.vtb   send the efficiency calibration";

// The dialogs' messages on standard error; no questions are asked.
class TConsolePrompt : public TPrompt {
public:
    explicit TConsolePrompt(QTextStream& err) : Err(err) {}
    void ShowMessage(const QString& text) override { Err << text << Qt::endl; }
    bool Confirm(const QString&, const QString&) override { return false; }
    QString OpenFileName(const TFileDialogOptions&) override { return {}; }
    QString SaveFileName(const TFileDialogOptions&) override { return {}; }
    bool InputText(const QString&, const QString&, QString&) override { return false; }

private:
    QTextStream& Err;
};

// The configuration dialog without a window: the options replace the texts
// the dialog would show, and the dialog's rules apply as if OK was clicked.
struct TConfigOptions {
    QString Threshold, TimeToPeak, Subtract, DlPeak;
    bool Any() const {
        return !Threshold.isNull() || !TimeToPeak.isNull() || !Subtract.isNull() ||
               !DlPeak.isNull();
    }
};

class TConsoleConfigView : public TSpecConfigView {
public:
    explicit TConsoleConfigView(const TConfigOptions& options) : Options(options) {}

    bool Execute(TSpecConfigFields& fields) override {
        if (!Options.Threshold.isNull()) {
            fields.PeakThreshold = Options.Threshold;
        }
        if (!Options.TimeToPeak.isNull()) {
            fields.TimeToPeak = Options.TimeToPeak;
        }
        if (!Options.Subtract.isNull()) {
            fields.SubtractBackground = Options.Subtract == QLatin1String("on");
        }
        if (!Options.DlPeak.isNull()) {
            fields.PeakIndex = Options.DlPeak.toInt();
        }
        return Options.Any();
    }

private:
    TConfigOptions Options;
};

void PrintConfig(const TPeakList& peakList, const TSpecConfig& config, QTextStream& out) {
    const char sep = LocaleDecimalSeparator();
    const float threshold = config.PeakThreshold;
    const float limit = config.RequestedDL;
    const std::uint16_t timeToPeak = config.TimeToPeak;
    const int mode = config.Mode;
    const int index = config.PeakIndexDL;
    out << "Peak threshold [mV]: " << QString::fromStdString(FormatGeneral(threshold, sep)) << "\n";
    out << "Time to peak [us]: " << timeToPeak << "\n";
    out << "Subtract background: " << ((mode & 1) != 0 ? "on" : "off") << "\n";
    out << "Mode: " << mode << "\n";
    out << "Requested detection limit: " << QString::fromStdString(FormatGeneral(limit, sep))
        << "\n";
    out << "Detection limit peak: " << index << "\n";
    const int peaks = UsablePeaks(peakList);
    for (int i = 0; i < peaks; ++i) {
        const TPeakEntry peak = peakList.Peak[i];
        out << "  " << i << ": " << SpecConfigPeakItem(peak) << "\n";
    }
    out.flush();
}

bool IsSampleFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("vtb"), Qt::CaseInsensitive) == 0;
}

// Loads what a send subcommand transfers into the session's measured sample.
bool LoadForSending(const QString& what, const QString& path, TWorkstation& session,
                    QTextStream& err) {
    TSampleFile& sample = session.State.MeasuredSample;
    QString error;
    if (IsSampleFile(path)) {
        if (!ReadSampleFile(path, sample, error)) {
            err << error << "\n";
            return false;
        }
        return true;
    }
    if (what == QLatin1String("send-peaklist")) {
        TPeakList list{};
        error = ReadPeakListFile(path, list);
        if (!error.isEmpty()) {
            err << error << "\n";
            return false;
        }
        sample.PeakList = list;
    } else if (what == QLatin1String("send-calibration")) {
        TEnergyCalibration ecal{};
        TPeakWidthCalibration wcal{};
        if (!ReadEWCalFile(path, ecal, wcal, error)) {
            err << error << "\n";
            return false;
        }
        sample.Calibration.ECal = ecal;
        sample.Calibration.WCal = wcal;
    } else {
        TEfficiencyCalibration rcal{};
        if (!ReadRCalFile(path, rcal, error)) {
            err << error << "\n";
            return false;
        }
        sample.Calibration.RCal = rcal;
    }
    return true;
}

bool SaveSample(const QString& path, const TSampleFile& sample, QTextStream& err) {
    QString error;
    if (!WriteSampleFile(path, sample, error)) {
        err << error << "\n";
        return false;
    }
    return true;
}

// Success messages are results; failure messages go to standard error.
int Report(const TCommandResult& result, QTextStream& out, QTextStream& err) {
    QTextStream& stream = result.Ok() ? out : err;
    for (const QString& message : result.Messages) {
        stream << message << "\n";
    }
    out.flush();
    err.flush();
    return result.Status;
}

} // namespace

int RunInstrumentCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                         const TInstrumentLink& link) {
    QCommandLineParser parser;
    SetUpParser(parser, QString::fromLatin1(Description));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("The serial port of the instrument."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("read-sample, read-background: the file to "
                                                   "write."),
                                    QStringLiteral("FILE.vtb"));
    const QCommandLineOption backgroundOut(
        QStringLiteral("background-out"),
        QStringLiteral("read-sample: also write the background sample here."),
        QStringLiteral("BG.vtb"));
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("clear-memory, reset-id: confirm."));
    const QCommandLineOption threshold(QStringLiteral("threshold"),
                                       QStringLiteral("config: peak threshold in mV."),
                                       QStringLiteral("N"));
    const QCommandLineOption timeToPeak(QStringLiteral("time-to-peak"),
                                        QStringLiteral("config: time to peak in us."),
                                        QStringLiteral("N"));
    const QCommandLineOption subtractBackground(
        QStringLiteral("subtract-background"),
        QStringLiteral("config: the instrument subtracts its background."),
        QStringLiteral("on|off"));
    const QCommandLineOption dlPeak(QStringLiteral("dl-peak"),
                                    QStringLiteral("config: detection limit peak index, -1 for "
                                                   "none."),
                                    QStringLiteral("N"));
    parser.addOptions(
        {port, output, backgroundOut, yes, threshold, timeToPeak, subtractBackground, dlPeak});
    parser.addPositionalArgument(QStringLiteral("SUBCOMMAND"),
                                 QStringLiteral("What to do (see above)."));
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("download, send-*: the file."),
                                 QStringLiteral("[FILE]"));
    const int parsed = ParseArguments(parser, Command, args, out, err);
    if (parsed >= 0) {
        return parsed;
    }
    QStringList words = parser.positionalArguments();
    if (words.isEmpty()) {
        return UsageError(parser, Command, QStringLiteral("no subcommand"), err);
    }
    const QString subcommand = words.takeFirst();
    const auto usage = [&](const QString& reason) {
        return UsageError(parser, Command, reason, err);
    };
    // Options and file count that a subcommand accepts.
    const auto allowOnly = [&](const QList<QCommandLineOption>& allowed, int fileCount) -> QString {
        for (const QString& name : parser.optionNames()) {
            bool ok = name == QLatin1String("port");
            for (const QCommandLineOption& option : allowed) {
                ok = ok || option.names().contains(name);
            }
            if (!ok) {
                return QStringLiteral("--") + name + QStringLiteral(" does not belong to ") +
                       subcommand;
            }
        }
        if (words.size() != fileCount) {
            return fileCount == 0 ? subcommand + QStringLiteral(" takes no file")
                                  : subcommand + QStringLiteral(" needs one file");
        }
        return {};
    };

    if (subcommand == QLatin1String("ports")) {
        if (const QString problem = allowOnly({}, 0); !problem.isEmpty()) {
            return usage(problem);
        }
        for (const QString& name : ComPortComboBoxDropDown(link)) {
            out << name << "\n";
        }
        out.flush();
        return ExitCode::Ok;
    }
    const QString portName = parser.value(port);
    if (portName.isEmpty()) {
        return usage(QStringLiteral("--port PORT is required"));
    }

    TWorkstation session(link);
    if (subcommand == QLatin1String("info")) {
        if (const QString problem = allowOnly({}, 0); !problem.isEmpty()) {
            return usage(problem);
        }
        return Report(session.ReadInstrumentInfo(portName), out, err);
    }
    if (subcommand == QLatin1String("read-sample")) {
        if (const QString problem = allowOnly({output, backgroundOut}, 0); !problem.isEmpty()) {
            return usage(problem);
        }
        if (!parser.isSet(output)) {
            return usage(QStringLiteral("read-sample needs -o FILE.vtb"));
        }
        const TCommandResult result = session.ReadCurrentSample(portName);
        if (!result.Ok()) {
            return Report(result, out, err);
        }
        const TAnalysisState& state = session.State;
        if (!SaveSample(parser.value(output), state.MeasuredSample, err)) {
            return ExitCode::WriteFailed;
        }
        if (parser.isSet(backgroundOut)) {
            if (IsTrue(state.BackgroundSample.Valid)) {
                if (!SaveSample(parser.value(backgroundOut), state.BackgroundSample, err)) {
                    return ExitCode::WriteFailed;
                }
            } else {
                err << "The instrument does not subtract a background; no background sample "
                       "was read.\n";
            }
        }
        out << "Sample read from instrument SN:"
            << state.MeasuredSample.Sample.Parameter.SerialNumber << "\n";
        out.flush();
        err.flush();
        return ExitCode::Ok;
    }
    if (subcommand == QLatin1String("read-background")) {
        if (const QString problem = allowOnly({output}, 0); !problem.isEmpty()) {
            return usage(problem);
        }
        if (!parser.isSet(output)) {
            return usage(QStringLiteral("read-background needs -o FILE.vtb"));
        }
        const TCommandResult result = session.ReadBackgroundSample(portName);
        if (result.Ok() && !SaveSample(parser.value(output), session.State.BackgroundSample, err)) {
            return ExitCode::WriteFailed;
        }
        return Report(result, out, err);
    }
    if (subcommand == QLatin1String("download")) {
        if (const QString problem = allowOnly({}, 1); !problem.isEmpty()) {
            return usage(problem);
        }
        QString base = words[0];
        if (QFileInfo(base).suffix().isEmpty()) {
            base += QStringLiteral(".vtb");
        }
        TConsoleProgress progress(err);
        return Report(session.DownloadMemory(portName, base, progress), out, err);
    }
    if (subcommand == QLatin1String("clear-memory") || subcommand == QLatin1String("reset-id")) {
        if (const QString problem = allowOnly({yes}, 0); !problem.isEmpty()) {
            return usage(problem);
        }
        if (!parser.isSet(yes)) {
            return usage(subcommand + QStringLiteral(" needs --yes"));
        }
        return Report(subcommand == QLatin1String("clear-memory") ? session.ClearMemory(portName)
                                                                  : session.ResetSampleID(portName),
                      out, err);
    }
    if (subcommand == QLatin1String("config")) {
        if (const QString problem =
                allowOnly({threshold, timeToPeak, subtractBackground, dlPeak}, 0);
            !problem.isEmpty()) {
            return usage(problem);
        }
        TConfigOptions options;
        options.Threshold = parser.isSet(threshold) ? parser.value(threshold) : QString();
        options.TimeToPeak = parser.isSet(timeToPeak) ? parser.value(timeToPeak) : QString();
        if (parser.isSet(subtractBackground)) {
            options.Subtract = parser.value(subtractBackground);
            if (options.Subtract != QLatin1String("on") &&
                options.Subtract != QLatin1String("off")) {
                return usage(QStringLiteral("--subtract-background takes on or off"));
            }
        }
        if (parser.isSet(dlPeak)) {
            bool ok = false;
            parser.value(dlPeak).toInt(&ok);
            if (!ok) {
                return usage(QStringLiteral("--dl-peak takes a whole number"));
            }
            options.DlPeak = parser.value(dlPeak);
        }
        TSpecConfig config{};
        TPeakList peakList{};
        const TCommandResult read = session.ReadSpecConfiguration(portName, config, peakList);
        if (!read.Ok()) {
            return Report(read, out, err);
        }
        PrintConfig(peakList, config, out);
        if (!options.Any()) {
            return ExitCode::Ok; // only printed
        }
        TConsoleConfigView view(options);
        TConsolePrompt prompt(err);
        TSpecConfigFields fields;
        if (!RunSpecConfigDialog(view, prompt, peakList, config, fields,
                                 LocaleDecimalSeparator())) {
            return ExitCode::NotConfirmed;
        }
        return Report(session.WriteSpecConfiguration(portName, config), out, err);
    }
    if (subcommand == QLatin1String("send-peaklist") ||
        subcommand == QLatin1String("send-calibration") ||
        subcommand == QLatin1String("send-efficiency")) {
        if (const QString problem = allowOnly({}, 1); !problem.isEmpty()) {
            return usage(problem);
        }
        if (!LoadForSending(subcommand, words[0], session, err)) {
            return ExitCode::InputFailed;
        }
        if (subcommand == QLatin1String("send-peaklist")) {
            return Report(session.TransmitPeakList(portName), out, err);
        }
        if (subcommand == QLatin1String("send-calibration")) {
            return Report(session.TransmitCalibration(portName), out, err);
        }
        return Report(session.TransmitEfficiency(portName), out, err);
    }
    return usage(QStringLiteral("unknown subcommand ") + subcommand);
}
