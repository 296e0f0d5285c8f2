#include "cli/LibraryCommand.h"

#include "core/NumberFormat.h"
#include "library/NuclideLibrary.h"

namespace {

const char* const Usage =
    "Usage: library FILE.txt [--decimal-point C]\n"
    "Lists the lines of a nuclide library (tab-separated text: name, energy in keV,\n"
    "emission probability in %, optional activity limit in Bq/kg), one per line:\n"
    "name, energy, probability and limit (-1 for none), separated by tabs.\n"
    "Names are cut to 5 characters and energies rounded to whole keV; lines that\n"
    "cannot be read are skipped, and at most 200 entries are listed.\n"
    "  --decimal-point C  decimal separator of the numbers in the file and in the\n"
    "                     listing (default: the locale's)\n"
    "  --help             this text\n";

int Fail(QTextStream& err, const QString& reason) {
    err << reason << "\n" << Usage;
    err.flush();
    return 2;
}

} // namespace

int RunLibraryCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    QString path;
    char separator = LocaleDecimalSeparator();
    for (int i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            out << Usage;
            out.flush();
            return 0;
        }
        if (arg == "--decimal-point") {
            if (i + 1 >= args.size() || args[i + 1].size() != 1 ||
                args[i + 1][0].unicode() > 0x7F) {
                return Fail(err, "--decimal-point needs one character");
            }
            separator = static_cast<char>(args[++i][0].unicode());
        } else if (arg.startsWith("--")) {
            return Fail(err, "Unknown option " + arg);
        } else if (path.isEmpty()) {
            path = arg;
        } else {
            return Fail(err, "Only one library file can be listed");
        }
    }
    if (path.isEmpty()) {
        return Fail(err, "No library file given");
    }
    TNuclideList library;
    const QString error = ReadNuclideLibraryFile(path, separator, library);
    if (!error.isEmpty()) {
        err << error << "\n";
        err.flush();
        return 1;
    }
    for (int i = 0; i < library.Size; ++i) {
        out << LibraryListingLine(library.Peak[i], separator) << "\n";
    }
    out.flush();
    return 0;
}
