// zkcli instrument: the instrument operations of the main window from the
// command line, run through the same workstation operations.
#pragma once

#include "instrument/SerialPort.h"

#include <QStringList>
#include <QTextStream>

// `args` are the words after "instrument": --port PORT <subcommand> ...
// Results go to `out`, the instrument's failure messages and errors to
// `err`. Returns the operation's status (0 success, 1 to 6 and 255 as the
// operations give them), 64 for a usage error (reported on `err` with the
// help) and 66 when an input file cannot be read. `link` reaches the
// instrument (tests pass an in-process simulator).
int RunInstrumentCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                         const TInstrumentLink& link = TInstrumentLink());
