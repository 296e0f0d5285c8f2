#include "cli/InstrumentCommand.h"

#include "cli/ConsoleHost.h"
#include "core/NumberFormat.h"
#include "core/SampleFiles.h"
#include "instrument/InstrumentOperations.h"
#include "library/PeakListFile.h"

#include <QFileInfo>

#include <memory>

namespace {

const char* const Usage =
    "Usage: instrument --port PORT SUBCOMMAND [options]\n"
    "       instrument ports\n"
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
    "  send-efficiency FILE.rcal|SAMPLE.vtb   send the efficiency calibration\n"
    "\n"
    "The exit code is the operation's status: 0 done, 1 port not available,\n"
    "2 time-out, 3 memory access failed, 4 busy, 5 unexpected response,\n"
    "6 a file could not be written, 255 not confirmed or invalid input; 2 also\n"
    "for a usage error.\n";

constexpr int UsageError = 2;

int Fail(QTextStream& err, const QString& reason) {
    err << "instrument: " << reason << "\n\n" << Usage;
    err.flush();
    return UsageError;
}

// Prints the progress of a download, one line per sample.
class TConsoleProgress : public TDownloadProgress {
public:
    explicit TConsoleProgress(QTextStream& out) : Out(out) {}
    void Show() override {}
    void ShowProgress(int received, int total, const QString& fileName) override {
        Out << received << "/" << total << " " << fileName << Qt::endl;
    }
    void Hide() override {}

private:
    QTextStream& Out;
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

class TConsoleConfigView : public TSpecConfigView, public TSpecConfigEditor {
public:
    TConsoleConfigView(const TConfigOptions& options, TPrompt& prompt, QTextStream& out)
        : Options(options), Prompt(prompt), Out(out) {}

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

    bool SpectrometerConfig(const TPeakList& peakList, TSpecConfig& config) override {
        Print(peakList, config);
        return RunSpecConfigDialog(*this, Prompt, peakList, config, Fields,
                                   LocaleDecimalSeparator());
    }

private:
    void Print(const TPeakList& peakList, const TSpecConfig& config) {
        const char sep = LocaleDecimalSeparator();
        const float threshold = config.PeakThreshold;
        const float limit = config.RequestedDL;
        const std::uint16_t timeToPeak = config.TimeToPeak;
        const int mode = config.Mode;
        const int index = config.PeakIndexDL;
        Out << "Peak threshold [mV]: " << QString::fromStdString(FormatGeneral(threshold, sep))
            << "\n";
        Out << "Time to peak [us]: " << timeToPeak << "\n";
        Out << "Subtract background: " << ((mode & 1) != 0 ? "on" : "off") << "\n";
        Out << "Mode: " << mode << "\n";
        Out << "Requested detection limit: " << QString::fromStdString(FormatGeneral(limit, sep))
            << "\n";
        Out << "Detection limit peak: " << index << "\n";
        const int peaks = UsablePeaks(peakList);
        for (int i = 0; i < peaks; ++i) {
            const TPeakEntry peak = peakList.Peak[i];
            Out << "  " << i << ": " << SpecConfigPeakItem(peak) << "\n";
        }
        Out.flush();
    }

    TConfigOptions Options;
    TPrompt& Prompt;
    QTextStream& Out;
    TSpecConfigFields Fields;
};

bool IsSampleFile(const QString& path) {
    return QFileInfo(path).suffix().compare(QLatin1String("vtb"), Qt::CaseInsensitive) == 0;
}

// Loads the record a send command transfers into the host's measured sample.
bool LoadForSending(const QString& what, const QString& path, TConsoleHost& host,
                    QTextStream& err) {
    TSampleFile& sample = host.Analysis.MeasuredSample;
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
        err << "Could not write " << path << ": " << error << "\n";
        return false;
    }
    return true;
}

} // namespace

int RunInstrumentCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString port;
    QString subcommand;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            out << Usage;
            out.flush();
            return 0;
        }
        if (arg == QLatin1String("--port") && subcommand.isEmpty()) {
            if (i + 1 >= args.size()) {
                return Fail(err, QStringLiteral("--port needs a port name"));
            }
            port = args[++i];
        } else if (subcommand.isEmpty()) {
            subcommand = arg;
        } else {
            rest << arg;
        }
    }
    if (subcommand.isEmpty()) {
        return Fail(err, QStringLiteral("no subcommand"));
    }
    const TInstrumentLink link;
    if (subcommand == QLatin1String("ports")) {
        for (const QString& name : ComPortComboBoxDropDown(link)) {
            out << name << "\n";
        }
        out.flush();
        return 0;
    }
    if (port.isEmpty()) {
        return Fail(err, QStringLiteral("--port PORT is required"));
    }

    // Options of the subcommands: "--name value" pairs, flags and one file.
    QMap<QString, QString> options;
    QStringList files;
    const QStringList valued = {
        "-o",       "--background-out", "--threshold", "--time-to-peak", "--subtract-background",
        "--dl-peak"};
    for (int i = 0; i < rest.size(); ++i) {
        const QString& arg = rest[i];
        if (valued.contains(arg)) {
            if (i + 1 >= rest.size()) {
                return Fail(err, arg + QStringLiteral(" needs a value"));
            }
            options.insert(arg, rest[++i]);
        } else if (arg == QLatin1String("--yes")) {
            options.insert(arg, QStringLiteral("1"));
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return Fail(err, QStringLiteral("unknown option ") + arg);
        } else {
            files << arg;
        }
    }
    const auto allowOnly = [&](const QStringList& allowed, int fileCount) -> QString {
        for (auto it = options.cbegin(); it != options.cend(); ++it) {
            if (!allowed.contains(it.key())) {
                return it.key() + QStringLiteral(" does not belong to ") + subcommand;
            }
        }
        if (files.size() != fileCount) {
            return fileCount == 0 ? subcommand + QStringLiteral(" takes no file")
                                  : subcommand + QStringLiteral(" needs one file");
        }
        return {};
    };

    TConsoleHost host(out);
    host.Port = port;
    QString problem;
    int status = 0;
    if (subcommand == QLatin1String("info")) {
        if (!(problem = allowOnly({}, 0)).isEmpty()) {
            return Fail(err, problem);
        }
        status = About1Click(host, link);
    } else if (subcommand == QLatin1String("read-sample")) {
        if (!(problem = allowOnly({"-o", "--background-out"}, 0)).isEmpty() ||
            !options.contains("-o")) {
            return Fail(err, problem.isEmpty() ? QStringLiteral("read-sample needs -o FILE.vtb")
                                               : problem);
        }
        status = ReadSampleClick(host, link);
        if (status == 0) {
            if (!SaveSample(options.value("-o"), host.Analysis.MeasuredSample, err)) {
                return 6;
            }
            if (options.contains("--background-out")) {
                if (IsTrue(host.Analysis.BackgroundSample.Valid)) {
                    if (!SaveSample(options.value("--background-out"),
                                    host.Analysis.BackgroundSample, err)) {
                        return 6;
                    }
                } else {
                    err << "The instrument does not subtract a background; no background sample "
                           "was read.\n";
                }
            }
            out << "Sample read from instrument SN:"
                << host.Analysis.MeasuredSample.Sample.Parameter.SerialNumber << "\n";
        }
    } else if (subcommand == QLatin1String("read-background")) {
        if (!(problem = allowOnly({"-o"}, 0)).isEmpty() || !options.contains("-o")) {
            return Fail(err, problem.isEmpty() ? QStringLiteral("read-background needs -o FILE.vtb")
                                               : problem);
        }
        status = ReadbackgroundsampleClick(host, link);
        if (status == 0 && !SaveSample(options.value("-o"), host.Analysis.BackgroundSample, err)) {
            return 6;
        }
    } else if (subcommand == QLatin1String("download")) {
        if (!(problem = allowOnly({}, 1)).isEmpty()) {
            return Fail(err, problem);
        }
        QString base = files[0];
        if (QFileInfo(base).suffix().isEmpty()) {
            base += QStringLiteral(".vtb");
        }
        host.Prompts.FileNames = {base};
        TConsoleProgress progress(out);
        status = ReadMemoryClick(host, link, progress);
    } else if (subcommand == QLatin1String("clear-memory") ||
               subcommand == QLatin1String("reset-id")) {
        if (!(problem = allowOnly({"--yes"}, 0)).isEmpty() || !options.contains("--yes")) {
            return Fail(err,
                        problem.isEmpty() ? subcommand + QStringLiteral(" needs --yes") : problem);
        }
        host.Prompts.AnswerYes = true;
        status = subcommand == QLatin1String("clear-memory") ? ClearMemoryClick(host, link)
                                                             : ResetSampleIDClick(host, link);
    } else if (subcommand == QLatin1String("config")) {
        if (!(problem = allowOnly(
                  {"--threshold", "--time-to-peak", "--subtract-background", "--dl-peak"}, 0))
                 .isEmpty()) {
            return Fail(err, problem);
        }
        TConfigOptions config;
        config.Threshold = options.value("--threshold", QString());
        config.TimeToPeak = options.value("--time-to-peak", QString());
        if (options.contains("--subtract-background")) {
            config.Subtract = options.value("--subtract-background");
            if (config.Subtract != QLatin1String("on") && config.Subtract != QLatin1String("off")) {
                return Fail(err, QStringLiteral("--subtract-background takes on or off"));
            }
        }
        if (options.contains("--dl-peak")) {
            bool ok = false;
            options.value("--dl-peak").toInt(&ok);
            if (!ok) {
                return Fail(err, QStringLiteral("--dl-peak takes a whole number"));
            }
            config.DlPeak = options.value("--dl-peak");
        }
        TConsoleConfigView view(config, host.Prompts, out);
        status = SpectrometerConfigurationClick(host, link, view);
        if (status == 255 && !config.Any()) {
            status = 0; // only printed
        }
    } else if (subcommand == QLatin1String("send-peaklist") ||
               subcommand == QLatin1String("send-calibration") ||
               subcommand == QLatin1String("send-efficiency")) {
        if (!(problem = allowOnly({}, 1)).isEmpty()) {
            return Fail(err, problem);
        }
        if (!LoadForSending(subcommand, files[0], host, err)) {
            return UsageError;
        }
        if (subcommand == QLatin1String("send-peaklist")) {
            status = TransmitPeakListClick(host, link);
        } else if (subcommand == QLatin1String("send-calibration")) {
            status = TransmitCalibrationClick(host, link);
        } else {
            status = TransmitEfficiencyClick(host, link);
        }
    } else {
        return Fail(err, QStringLiteral("unknown subcommand ") + subcommand);
    }
    out.flush();
    err.flush();
    return status;
}
