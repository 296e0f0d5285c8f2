// `zkcli import` and `zkcli export`: spectrum text files as "Sample" ->
// "Import" and "Export" read and write them.
#pragma once

#include <QStringList>
#include <QTextStream>

// `zkcli import FILE [-o OUT.vtb] [--into SAMPLE.vtb] [--json] [--decimal-point C]`;
// `args` are the words after "import".
int RunImportCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// `zkcli export SAMPLE.vtb -o OUT.SPA [--decimal-point C]`.
int RunExportCommand(const QStringList& args, QTextStream& out, QTextStream& err);
