#include "cli/AnalysisSetup.h"

#include "cli/CliSupport.h"
#include "core/FileDialogs.h"
#include "library/PeakListFile.h"

#include <QFileInfo>

#include <optional>

TAnalysisSetupOptions MakeAnalysisSetupOptions() {
    return {
        QCommandLineOption(QStringLiteral("background"),
                           QStringLiteral("Use this sample as the background sample."),
                           QStringLiteral("BG.vtb")),
        QCommandLineOption(QStringLiteral("subtract"),
                           QStringLiteral("Check \"Background Subtraction\".")),
        QCommandLineOption(
            QStringLiteral("uncertainties"),
            QStringLiteral("Uncertainty settings (default: UncertaintySettings.usf in the working "
                           "directory)."),
            QStringLiteral("F.usf"), QStringLiteral("UncertaintySettings.usf")),
        QCommandLineOption(
            QStringLiteral("peaklist"),
            QStringLiteral("Replace the sample's peak list first, as the peak list editor's \"Use "
                           "Peak List\" does."),
            QStringLiteral("LIST.gpl")),
        QCommandLineOption(QStringLiteral("doublets"),
                           QStringLiteral("Solve doublets before the run.")),
        QCommandLineOption(
            QStringLiteral("trapezoid"),
            QStringLiteral("Measure all or the given peaks (indices from 0) by the trapezoid "
                           "method before the run."),
            QStringLiteral("all|I,J,..")),
    };
}

void WriteMessages(const TCommandResult& result, QTextStream& err, const char* prefix) {
    for (const QString& message : result.Messages) {
        err << prefix << message << Qt::endl;
    }
}

bool OpenSampleFile(TWorkstation& session, const QString& path, QTextStream& err) {
    if (!QFileInfo::exists(path)) {
        err << "Could not open " << path << ": no such file" << Qt::endl;
        return false;
    }
    if (!HasExactExtension(path, ".vtb")) {
        err << path << ": not a sample file (the name must end in .vtb)" << Qt::endl;
        return false;
    }
    const TCommandResult result = session.OpenSample(path);
    WriteMessages(result, err);
    return result.Ok();
}

int OpenAnalysisSamples(TWorkstation& session, const QCommandLineParser& parser,
                        const TAnalysisSetupOptions& options, const QString& file,
                        QTextStream& err) {
    if (parser.isSet(options.Background)) {
        if (!OpenSampleFile(session, parser.value(options.Background), err)) {
            return ExitCode::InputFailed;
        }
        session.UseAsBackground();
        session.State.MeasuredSample = TSampleFile{};
    }
    if (!OpenSampleFile(session, file, err)) {
        return ExitCode::InputFailed;
    }
    TAnalysisState& state = session.State;
    if (parser.isSet(options.Background)) {
        const QString message =
            BackgroundCompatibilityMessage(state.MeasuredSample, state.BackgroundSample);
        if (!message.isEmpty()) {
            err << "warning: " << message << Qt::endl;
        }
    }
    // The box's own message was given above for --background.
    session.SetBackgroundSubtraction(parser.isSet(options.Subtract));

    if (parser.isSet(options.PeakList)) {
        const QString path = parser.value(options.PeakList);
        TPeakList list = state.MeasuredSample.PeakList;
        const QString error = ReadPeakListFile(path, list);
        if (!error.isEmpty()) {
            err << error << Qt::endl;
            return ExitCode::InputFailed;
        }
        session.ReplacePeakList(list, FileNameOnly(path));
    }
    return -1;
}

int SolveAnalysis(TWorkstation& session, const QCommandLineParser& parser,
                  const TAnalysisSetupOptions& options, const QString& command, QTextStream& err,
                  QStringList* notesGiven) {
    const int peaks = UsablePeaks(session.State.MeasuredSample.PeakList);
    std::optional<TBoolArray> selection;
    if (parser.isSet(options.Trapezoid)) {
        selection = TBoolArray{};
        for (const QString& part : parser.value(options.Trapezoid).split(',')) {
            bool ok = false;
            const int index = part.toInt(&ok);
            if (part == "all") {
                for (int i = 0; i < peaks; ++i) {
                    (*selection)[i] = true;
                }
            } else if (ok && index >= 0 && index < peaks) {
                (*selection)[index] = true;
            } else {
                return UsageError(parser, command,
                                  QStringLiteral("--trapezoid takes all or peak indices 0 to %1, "
                                                 "not %2")
                                      .arg(peaks - 1)
                                      .arg(part),
                                  err);
            }
        }
    }
    if (parser.isSet(options.Doublets)) {
        WriteMessages(session.SolveDoublets(nullptr), err, "note: ");
    }
    if (selection) {
        session.SolveTrapezoid(selection);
    }

    const QString uncertaintyPath = parser.value(options.Uncertainties);
    QString loadError;
    const TUncertaintyLoadStatus loaded =
        LoadUncertaintySettings(session.Uncertainties, loadError, uncertaintyPath);
    QString note;
    if (loaded == TUncertaintyLoadStatus::NotFound) {
        note =
            QStringLiteral("note: no uncertainty settings in %1; total uncertainties are left out")
                .arg(uncertaintyPath);
    } else if (loaded != TUncertaintyLoadStatus::Loaded) {
        note = QStringLiteral("note: %1; total uncertainties are left out").arg(loadError);
    }
    if (!note.isEmpty() && (notesGiven == nullptr || !notesGiven->contains(note))) {
        err << note << Qt::endl;
        if (notesGiven != nullptr) {
            *notesGiven << note;
        }
    }
    return -1;
}
