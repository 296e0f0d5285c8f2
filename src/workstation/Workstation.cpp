#include "workstation/Workstation.h"

#include "analysis/BackgroundSubtraction.h"
#include "core/FileDialogs.h"
#include "core/SampleFiles.h"

#include <algorithm>

namespace {

TCommandResult Refreshed(TRefresh refresh) {
    TCommandResult result;
    result.Refresh = refresh;
    return result;
}

TCommandResult Failed(const QString& message) {
    TCommandResult result;
    result.Status = CommandFailed;
    result.Messages << message;
    return result;
}

} // namespace

QString InstrumentOrigin(std::uint16_t serialNumber) {
    return QStringLiteral("read from instrument SN:") + QString::number(serialNumber);
}

void AddBackgroundBack(TSampleFile& measured, const TSampleFile& background) {
    const std::uint16_t measuredSize = measured.Sample.Spectrum.Size;
    const std::uint16_t measuredOffset = measured.Sample.Spectrum.Offset;
    const std::uint16_t backgroundSize = background.Sample.Spectrum.Size;
    const std::uint16_t backgroundOffset = background.Sample.Spectrum.Offset;
    const std::uint32_t measuredTime = measured.Sample.Parameter.SampleInterval;
    const std::uint32_t backgroundTime = background.Sample.Parameter.SampleInterval;
    if (measuredSize != backgroundSize || measuredOffset != backgroundOffset || measuredTime == 0 ||
        backgroundTime == 0) {
        return;
    }
    const double ratio = static_cast<double>(measuredTime) / static_cast<double>(backgroundTime);
    const int channels = std::min<int>(measuredSize, MaxChannels);
    for (int i = 0; i < channels; ++i) {
        const double sum = static_cast<double>(measured.Sample.Spectrum.Channel[i]) +
                           ratio * static_cast<double>(background.Sample.Spectrum.Channel[i]);
        measured.Sample.Spectrum.Channel[i] = ToSingle(sum);
    }
}

TWorkstation::TWorkstation(TInstrumentLink link) : InstrumentLink(std::move(link)) {}

TAnalysisRun TWorkstation::Analyse(const TAnalysisOptions& options) {
    TAnalysisOptions o = options;
    o.BackgroundSubtraction = BackgroundSubtraction;
    return AnalyseSample(State, o, Uncertainties);
}

TSampleFile TWorkstation::WorkingCopy() {
    bool subtracted = false;
    return PrepareWorkingCopy(State.MeasuredSample, State.BackgroundSample, BackgroundSubtraction,
                              subtracted);
}

void TWorkstation::InvalidateSolverResults() {
    State.DoubletResults.Valid = false;
    State.TrapezoidResults.Valid = false;
}

void TWorkstation::SetSampleOrigins(const QString& origin) {
    State.EWCalOrigin = origin;
    State.EfficiencyOrigin = origin;
    State.PeakListOrigin = origin;
    State.SampleOrigin = origin;
}

// --- Files ------------------------------------------------------------------

TCommandResult TWorkstation::OpenSample(const QString& path) {
    TCommandResult result = Refreshed(TRefresh::PeakSelection);
    QString error;
    TSampleFile sample = State.MeasuredSample;
    if (ReadSampleFile(path, sample, error)) {
        State.MeasuredSample = sample;
        SetSampleOrigins(FileNameOnly(path));
        result.Comment = CommentToText(State.MeasuredSample);
    } else {
        result.Status = CommandFailed;
        result.Messages << QStringLiteral("Could not open ") + NativePath(path);
    }
    result.Caption = NativePath(path);
    InvalidateSolverResults();
    return result;
}

TCommandResult TWorkstation::SaveSample(const QString& path) {
    QString error;
    if (!WriteSampleFile(path, State.MeasuredSample, error)) {
        return Failed(error);
    }
    State.SampleOrigin = FileNameOnly(path);
    TCommandResult result;
    result.Caption = NativePath(path);
    return result;
}

TCommandResult TWorkstation::OpenEWCal(const QString& path) {
    TEnergyCalibration ecal{};
    TPeakWidthCalibration wcal{};
    QString error;
    if (!ReadEWCalFile(path, ecal, wcal, error)) {
        return Failed(error);
    }
    State.EWCalOrigin = FileNameOnly(path);
    State.MeasuredSample.Calibration.ECal = ecal;
    State.MeasuredSample.Calibration.WCal = wcal;
    State.MeasuredSample.CalibrationType = 0;
    InvalidateSolverResults();
    return Refreshed(TRefresh::PeakSelection);
}

TCommandResult TWorkstation::SaveEWCal(const QString& path) {
    const TDetectorCalibration& cal = State.MeasuredSample.Calibration;
    QString error;
    if (!WriteEWCalFile(path, cal.ECal, cal.WCal, error)) {
        return Failed(error);
    }
    return {};
}

TCommandResult TWorkstation::OpenRCal(const QString& path) {
    TEfficiencyCalibration rcal{};
    QString error;
    if (!ReadRCalFile(path, rcal, error)) {
        return Failed(error);
    }
    State.EfficiencyOrigin = FileNameOnly(path);
    State.MeasuredSample.Calibration.RCal = rcal;
    InvalidateSolverResults();
    return Refreshed(TRefresh::Analysis);
}

TCommandResult TWorkstation::SaveRCal(const QString& path) {
    QString error;
    if (!WriteRCalFile(path, State.MeasuredSample.Calibration.RCal, error)) {
        return Failed(error);
    }
    return {};
}

// --- Main window commands -----------------------------------------------------

TCommandResult TWorkstation::UseAsBackground() {
    State.BackgroundSample = State.MeasuredSample;
    State.BackgroundOrigin = State.SampleOrigin;
    return Refreshed(TRefresh::Analysis);
}

TCommandResult TWorkstation::SetBackgroundSubtraction(bool checked) {
    BackgroundSubtraction = checked;
    TCommandResult result = Refreshed(TRefresh::Analysis);
    if (checked) {
        const QString message =
            BackgroundCompatibilityMessage(State.MeasuredSample, State.BackgroundSample);
        if (!message.isEmpty()) {
            result.Messages << message;
        }
    }
    return result;
}

void TWorkstation::SetComment(const QString& text) {
    TextToComment(State.MeasuredSample, text);
}

TCommandResult TWorkstation::ReplacePeakList(const TPeakList& list, const QString& origin) {
    State.MeasuredSample.PeakList = list;
    State.PeakListOrigin = origin;
    InvalidateSolverResults();
    return Refreshed(TRefresh::PeakSelection);
}

// --- Solvers and the clipped setup -------------------------------------------

namespace {

// Collects the solver's messages for the result instead of showing them.
class TMessageCollector : public TPrompt {
public:
    QStringList Messages;
    void ShowMessage(const QString& text) override { Messages << text; }
    bool Confirm(const QString&, const QString&) override { return false; }
    QString OpenFileName(const TFileDialogOptions&) override { return {}; }
    QString SaveFileName(const TFileDialogOptions&) override { return {}; }
    bool InputText(const QString&, const QString&, QString&) override { return false; }
};

} // namespace

TCommandResult TWorkstation::SolveDoublets(TDoubletView* view) {
    if (!IsTrue(State.MeasuredSample.Valid)) {
        TCommandResult result;
        result.Status = CommandNotRun;
        return result;
    }
    TMessageCollector messages;
    RunDoubletSolver(view != nullptr ? 1 : 0, WorkingCopy(), State.DoubletResults, view, messages);
    TCommandResult result = Refreshed(TRefresh::Analysis);
    result.Messages = messages.Messages;
    return result;
}

TCommandResult TWorkstation::SolveTrapezoid(const std::optional<TBoolArray>& selection) {
    if (!IsTrue(State.MeasuredSample.Valid)) {
        TCommandResult result;
        result.Status = CommandNotRun;
        return result;
    }
    if (selection) {
        const int peaks = UsablePeaks(State.MeasuredSample.PeakList);
        for (int i = 0; i < peaks; ++i) {
            State.TrapezoidSelection[i] = (*selection)[i];
        }
        RunTrapezoidSolver(0, WorkingCopy(), State.TrapezoidResults, State.TrapezoidSelection,
                           nullptr);
    } else {
        // A dismissed selection: results cleared and not valid.
        RunTrapezoidSolver(1, WorkingCopy(), State.TrapezoidResults, State.TrapezoidSelection,
                           nullptr);
    }
    return Refreshed(TRefresh::Analysis);
}

TCommandResult TWorkstation::ClipAnalysisSetup() {
    TPostAnalysis& post = State.PostAnalysis;
    post.Calibration = State.MeasuredSample.Calibration;
    post.PeakList = State.MeasuredSample.PeakList;
    post.EWCalOrigin = State.EWCalOrigin;
    post.EfficiencyOrigin = State.EfficiencyOrigin;
    post.PeakListOrigin = State.PeakListOrigin;
    post.SolveDoublets = State.DoubletResults.Valid;
    post.SolveTrapezoid = State.TrapezoidResults.Valid;
    post.TrapezoidSelection = State.TrapezoidSelection;
    return {};
}

TCommandResult TWorkstation::UseClippedAnalysisSetup(TDoubletView* doubletView) {
    const TPostAnalysis& post = State.PostAnalysis;
    if (post.EWCalOrigin.isEmpty() || post.EfficiencyOrigin.isEmpty() ||
        post.PeakListOrigin.isEmpty()) {
        TCommandResult result;
        result.Status = CommandNotRun;
        result.Messages << QStringLiteral("Currently no analysis setup clipped!");
        return result;
    }
    State.MeasuredSample.Calibration = post.Calibration;
    State.MeasuredSample.PeakList = post.PeakList;
    State.EWCalOrigin = post.EWCalOrigin;
    State.EfficiencyOrigin = post.EfficiencyOrigin;
    State.PeakListOrigin = post.PeakListOrigin;
    if (!IsTrue(State.MeasuredSample.Valid)) {
        return {};
    }
    const TSampleFile copy = WorkingCopy();
    TMessageCollector messages;
    if (post.SolveDoublets) {
        RunDoubletSolver(0, copy, State.DoubletResults, doubletView, messages);
    }
    if (post.SolveTrapezoid) {
        TBoolArray selection = post.TrapezoidSelection;
        RunTrapezoidSolver(0, copy, State.TrapezoidResults, selection, nullptr);
    }
    TCommandResult result = Refreshed(TRefresh::PeakSelection);
    result.Messages = messages.Messages;
    return result;
}
