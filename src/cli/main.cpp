// zkcli: the program's analysis, files and instrument link from the command line.
#include "cli/AnalyseCommand.h"
#include "cli/CalibrateCommand.h"
#include "cli/CliSupport.h"
#include "cli/InstrumentCommand.h"
#include "cli/LibraryCommand.h"
#include "cli/PrintCommand.h"
#include "cli/TextFileCommands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <map>
#include <memory>

namespace {

const char* const Help =
    "Usage: zkcli <command> [options]\n"
    "\n"
    "Commands:\n"
    "  analyse SAMPLE.vtb...       analyse sample files and print the report (or CSV, JSON)\n"
    "  locate FILE --roi F:E       locate the peak in a ROI as the calibration tool does\n"
    "  calibrate energy SAMPLE.vtb --points P.txt\n"
    "                              fit the energy and peak-width calibration\n"
    "  calibrate efficiency SAMPLE.vtb --activity A\n"
    "                              calibrate the efficiency on a reference source\n"
    "  import FILE                 import a spectrum file (ZEMA, Vintrava, HELIOMAT7xx, SPE,\n"
    "                              N42, CSV)\n"
    "  export SAMPLE.vtb -o FILE   write a sample's spectrum as SPA, SPE, N42 or CSV\n"
    "  library FILE.txt            list the entries of a nuclide library file\n"
    "  instrument --port PORT ...  work with the instrument on a serial port\n"
    "  print SAMPLE.vtb -o OUT.pdf print a sample's protocol or label into a PDF file\n"
    "\n"
    "Run `zkcli <command> --help` for the options of a command.\n"
    "Results go to standard output; errors, warnings and the instrument's\n"
    "messages go to standard error.\n"
    "\n";

} // namespace

int main(int argc, char* argv[]) {
    // Printing lays out text and needs the fonts of a GUI application; it draws
    // into a PDF only, so no display is needed.
    const bool printing = argc > 1 && QByteArray(argv[1]) == "print";
    if (printing && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::unique_ptr<QCoreApplication> app =
        printing ? std::make_unique<QGuiApplication>(argc, argv)
                 : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("zkcli");
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h") {
        (args.isEmpty() ? err : out) << Help << ExitCodeHelp;
        return args.isEmpty() ? ExitCode::Usage : ExitCode::Ok;
    }
    const QString command = args.takeFirst();
    const std::map<QString, std::function<int(const QStringList&, QTextStream&, QTextStream&)>>
        commands = {
            {"analyse", RunAnalyseCommand},
            {"calibrate", RunCalibrateCommand},
            {"instrument", [](const QStringList& a, QTextStream& o,
                              QTextStream& e) { return RunInstrumentCommand(a, o, e); }},
            {"export", RunExportCommand},
            {"import", RunImportCommand},
            {"library", RunLibraryCommand},
            {"locate", RunLocateCommand},
            {"print", RunPrintCommand},
        };
    const auto it = commands.find(command);
    if (it == commands.end()) {
        err << "zkcli: unknown command " << command << "\n\n" << Help << ExitCodeHelp;
        return ExitCode::Usage;
    }
    const int status = it->second(args, out, err);
    out.flush();
    err.flush();
    return status;
}
