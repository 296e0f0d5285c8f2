#pragma once

#include <QStringList>
#include <QTextStream>

// `zkcli calibrate efficiency SAMPLE.vtb --activity TEXT [options]`: the
// efficiency calibration of an analysed reference measurement; `args` are
// the words after "efficiency".
int RunCalibrateEfficiencyCommand(const QStringList& args, QTextStream& out, QTextStream& err);
