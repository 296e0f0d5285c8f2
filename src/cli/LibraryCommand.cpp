#include "cli/LibraryCommand.h"

#include "cli/CliSupport.h"
#include "library/NuclideLibrary.h"

int RunLibraryCommand(const QStringList& args, QTextStream& out, QTextStream& err) {
    const QString command = QStringLiteral("library");
    QCommandLineParser parser;
    SetUpParser(
        parser,
        QStringLiteral(
            "Lists the lines of a nuclide library (tab-separated text: name, energy in keV,\n"
            "emission probability in %, optional activity limit in Bq/kg), one per line:\n"
            "name, energy, probability and limit (-1 for none), separated by tabs.\n"
            "Names are cut to 5 characters and energies rounded to whole keV; lines that\n"
            "cannot be read are skipped, and at most 200 entries are listed."));
    const QCommandLineOption decimalPoint = MakeDecimalPointOption();
    parser.addOption(decimalPoint);
    parser.addPositionalArgument(QStringLiteral("FILE.txt"), QStringLiteral("The library file."));
    char separator = '.';
    QString file;
    if (const int code =
            ParseOneFileCommand(parser, command, args, decimalPoint, QStringLiteral("library file"),
                                separator, file, out, err);
        code >= 0) {
        return code;
    }
    TNuclideList library;
    const QString error = ReadNuclideLibraryFile(file, separator, library);
    if (!error.isEmpty()) {
        err << error << "\n";
        err.flush();
        return ExitCode::InputFailed;
    }
    if (library.Size == 0) {
        err << "warning: no entries read from " << file << "; is the decimal separator '"
            << (separator == '.' ? ',' : '.') << "'? (--decimal-point)\n";
    }
    for (int i = 0; i < library.Size; ++i) {
        out << LibraryListingLine(library.Peak[i], separator) << "\n";
    }
    out.flush();
    err.flush();
    return ExitCode::Ok;
}
