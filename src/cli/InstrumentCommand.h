// zkcli instrument: the instrument operations of the main window from the
// command line, run through the same operation functions.
#pragma once

#include <QStringList>
#include <QTextStream>

// `args` are the words after "instrument": --port PORT <subcommand> ...
// Prints the operation's message and returns its status code (0 success,
// 1 to 6 and 255 as the operations give them); 2 also for a usage error,
// which is reported on `err` with the usage text.
int RunInstrumentCommand(const QStringList& args, QTextStream& out, QTextStream& err);
