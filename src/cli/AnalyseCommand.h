#pragma once

#include <QStringList>
#include <QTextStream>

// `zkcli analyse SAMPLE.vtb [options]`; `args` are the words after "analyse".
int RunAnalyseCommand(const QStringList& args, QTextStream& out, QTextStream& err);
