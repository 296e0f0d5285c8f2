// How `zkcli analyse` turns its options into an analysis state, shared by
// every command that works on the same state (printing, for one).
#pragma once

#include "workstation/Workstation.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QTextStream>

// --background, --subtract, --uncertainties, --peaklist, --doublets and
// --trapezoid, with the help texts of `zkcli analyse`.
struct TAnalysisSetupOptions {
    QCommandLineOption Background, Subtract, Uncertainties, PeakList, Doublets, Trapezoid;
};
TAnalysisSetupOptions MakeAnalysisSetupOptions();

// Writes the messages of an operation to `err`, each after `prefix`.
void WriteMessages(const TCommandResult& result, QTextStream& err, const char* prefix = "");

// "Sample" -> "Open" of one file; false (with the reason on `err`) when it
// does not exist, is not a ".vtb" file or cannot be read.
bool OpenSampleFile(TWorkstation& session, const QString& path, QTextStream& err);

// First step: opens the background (--background) and then `file` as the
// measured sample, sets "Background Subtraction" (--subtract; an unfitting
// background is named on `err` as a warning) and replaces the peak list
// (--peaklist). Returns -1 to go on, or ExitCode::InputFailed after naming
// the file that could not be used.
int OpenAnalysisSamples(TWorkstation& session, const QCommandLineParser& parser,
                        const TAnalysisSetupOptions& options, const QString& file,
                        QTextStream& err);

// Second step: solves the doublets (--doublets) and the trapezoid peaks
// (--trapezoid all|I,J,...) and loads the uncertainty settings
// (--uncertainties; missing or unreadable settings leave the total
// uncertainties out, with a note; when `notesGiven` is given, a note already
// in it is not written again, so a run over several files gives it once). Returns -1 to go on, or
// ExitCode::Usage after reporting a bad
// --trapezoid list.
int SolveAnalysis(TWorkstation& session, const QCommandLineParser& parser,
                  const TAnalysisSetupOptions& options, const QString& command, QTextStream& err,
                  QStringList* notesGiven = nullptr);
