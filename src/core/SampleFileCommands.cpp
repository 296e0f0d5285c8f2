#include "core/SampleFileCommands.h"

#include "core/SampleFiles.h"

#include <QDir>
#include <QFileInfo>

const QString SampleFileFilter = QStringLiteral("Zel-Korda sample files (*.vtb)|*.vtb");
const QString EWCalFileFilter =
    QStringLiteral("Zel-Korda energy/peakwidth calibrations (*.ewcal)|*.ewcal");
const QString RCalFileFilter = QStringLiteral("Zel-Korda efficiency calibrations (*.rcal)|*.rcal");

namespace {

QString FullPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

void InvalidateSolverResults(TAnalysisState& state) {
    state.DoubletResults.Valid = false;
    state.TrapezoidResults.Valid = false;
}

QString AskSaveName(TPrompt& prompt, const QString& filter, const QString& ext,
                    const QString& proposed) {
    const QString name = prompt.SaveFileName({filter, ext, proposed});
    if (name.isEmpty() || !ConfirmOverwrite(prompt, name)) {
        return {};
    }
    return name;
}

} // namespace

bool HasExactExtension(const QString& path, const QString& ext) {
    const QString name = FileNameOnly(path);
    const qsizetype dot = name.lastIndexOf('.');
    return dot >= 0 && name.mid(dot) == ext;
}

QString FileNameOnly(const QString& path) {
    return QFileInfo(path).fileName();
}

bool ConfirmOverwrite(TPrompt& prompt, const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    return prompt.Confirm(QStringLiteral("Save file"),
                          QStringLiteral("File already exists, overwrite?"));
}

void OpenClick(TCommandHost& host) {
    const QString name = host.Prompt().OpenFileName({SampleFileFilter, {}, {}});
    if (name.isEmpty() || !HasExactExtension(name, QStringLiteral(".vtb"))) {
        return;
    }
    TAnalysisState& state = host.State();
    QString error;
    if (ReadSampleFile(name, state.MeasuredSample, error)) {
        const QString file = FileNameOnly(name);
        state.EWCalOrigin = state.EfficiencyOrigin = state.PeakListOrigin = state.SampleOrigin =
            file;
        host.ShowComment(CommentToText(state.MeasuredSample));
    } else {
        host.Prompt().ShowMessage(QStringLiteral("Could not open ") + FullPath(name));
    }
    host.SetCaption(FullPath(name));
    InvalidateSolverResults(state);
    host.RefreshPeakSelection(state.MeasuredSample.PeakList);
}

void SaveClick(TCommandHost& host) {
    const QString name = AskSaveName(host.Prompt(), SampleFileFilter, QStringLiteral(".vtb"),
                                     QStringLiteral("Zel-Korda data"));
    if (name.isEmpty()) {
        return;
    }
    TAnalysisState& state = host.State();
    QString error;
    WriteSampleFile(name, state.MeasuredSample, error); // a failed save is not reported
    state.SampleOrigin = FileNameOnly(name);
    host.SetCaption(FullPath(name));
}

void OpenEWCalClick(TCommandHost& host) {
    const QString name = host.Prompt().OpenFileName({EWCalFileFilter, {}, {}});
    if (name.isEmpty() || !HasExactExtension(name, QStringLiteral(".ewcal"))) {
        return;
    }
    TAnalysisState& state = host.State();
    TEnergyCalibration ecal{};
    TPeakWidthCalibration wcal{};
    QString error;
    if (!ReadEWCalFile(name, ecal, wcal, error)) {
        host.Prompt().ShowMessage(error);
        return;
    }
    state.EWCalOrigin = FileNameOnly(name);
    state.MeasuredSample.Calibration.ECal = ecal;
    state.MeasuredSample.Calibration.WCal = wcal;
    state.MeasuredSample.CalibrationType = 0;
    InvalidateSolverResults(state);
    host.RefreshPeakSelection(state.MeasuredSample.PeakList);
}

void SaveEWcalClick(TCommandHost& host) {
    const QString name = AskSaveName(host.Prompt(), EWCalFileFilter, QStringLiteral(".ewcal"),
                                     QStringLiteral("Zel-Korda EW_calibration"));
    if (name.isEmpty()) {
        return;
    }
    const TDetectorCalibration& cal = host.State().MeasuredSample.Calibration;
    QString error;
    WriteEWCalFile(name, cal.ECal, cal.WCal, error); // not reported
}

void OpenRCalClick(TCommandHost& host) {
    const QString name = host.Prompt().OpenFileName({RCalFileFilter, {}, {}});
    if (name.isEmpty() || !HasExactExtension(name, QStringLiteral(".rcal"))) {
        return;
    }
    TAnalysisState& state = host.State();
    TEfficiencyCalibration rcal{};
    QString error;
    if (!ReadRCalFile(name, rcal, error)) {
        host.Prompt().ShowMessage(error);
        return;
    }
    state.EfficiencyOrigin = FileNameOnly(name);
    state.MeasuredSample.Calibration.RCal = rcal;
    InvalidateSolverResults(state);
    host.AnalyseSample();
}

void SaveRCalClick(TCommandHost& host) {
    const QString name = AskSaveName(host.Prompt(), RCalFileFilter, QStringLiteral(".rcal"),
                                     QStringLiteral("Zel-Korda R_calibration"));
    if (name.isEmpty()) {
        return;
    }
    QString error;
    WriteRCalFile(name, host.State().MeasuredSample.Calibration.RCal, error); // not reported
}
