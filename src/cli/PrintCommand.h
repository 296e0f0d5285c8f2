#pragma once

#include <QStringList>
#include <QTextStream>

// `zkcli print SAMPLE.vtb... -o OUT [options]`; `args` are the words after
// "print". Needs a QGuiApplication (the page's fonts).
int RunPrintCommand(const QStringList& args, QTextStream& out, QTextStream& err);
