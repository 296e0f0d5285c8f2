#pragma once

#include <QStringList>
#include <QTextStream>

// `zkcli locate FILE --roi FIRST:END [--json] [--decimal-point C]`: the peak
// that the calibration tool locates in a ROI of a sample or spectrum text
// file; `args` are the words after "locate".
int RunLocateCommand(const QStringList& args, QTextStream& out, QTextStream& err);

// `zkcli calibrate energy SAMPLE.vtb --points POINTS.txt [--spectrum FILE]
// [-o OUT.vtb] [--decimal-point C]`: the calibration tool's regressions over
// the given points; `args` are the words after "calibrate". With
// "efficiency" as the first word it runs RunCalibrateEfficiencyCommand.
int RunCalibrateCommand(const QStringList& args, QTextStream& out, QTextStream& err);
