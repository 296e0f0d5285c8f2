// The "library" subcommand: lists the entries of a nuclide library file.
#pragma once

#include <QStringList>
#include <QTextStream>

// `args` are the words after "library": FILE.txt [--decimal-point C] or
// --help. Writes one tab-separated line per accepted entry (name, energy in
// keV, emission probability in %, limit in Bq/kg or -1) to `out`; a file
// that yields no entries gives a warning on `err`. Returns 0 on success, 66
// when the file cannot be read, 64 for wrong arguments (with the reason and
// the help on `err`).
int RunLibraryCommand(const QStringList& args, QTextStream& out, QTextStream& err);
