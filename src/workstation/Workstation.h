// The workstation session: the analysis state, the uncertainty settings and
// the instrument link of one run of the program, with every command of the
// program as an operation on them.
//
// An operation takes plain inputs (a path, a port name, a peak list), changes
// the state only when it succeeds as a whole, and returns a TCommandResult:
// its status, the messages to show in order, and what the screen must follow
// (caption, comment, a new analysis or a refilled peak selection). The main
// window asks its questions first (file dialogs, confirmations), calls the
// operation and shows the result; the command-line tool and the tests call
// the operations directly.
//
// The rules that several commands share live here once: a new sample or
// calibration makes both solver results not valid; the origin texts; the
// background compatibility check of "Background Subtraction"; adding back the
// background that the instrument subtracted.
#pragma once

#include "analysis/AnalysisRun.h"
#include "analysis/DoubletSolver.h"
#include "analysis/TrapezoidSolver.h"
#include "analysis/UncertaintySettings.h"
#include "core/SpectrumExportFiles.h"
#include "core/SpectrumTextFile.h"
#include "core/sample_types.h"
#include "instrument/InstrumentCommands.h"
#include "instrument/InstrumentOperations.h"
#include "instrument/SerialPort.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the screen does after an operation.
enum class TRefresh {
    None,
    Analysis,     // run the analysis again
    PeakSelection // refill the peak selection list from the measured sample's list, then analyse
};

// A spectrum text file as "Import" read it: the layout, and the spectrum and
// calibration of a fresh, all-zero record with what the file set.
struct TTextSpectrum {
    TTextLayout Layout = TTextLayout::Unrecognised;
    TCalSpectrum Spectrum{0, 0, 0, 0, {}, 0, 0, {}, {}, -1, -1};
    TFileCalibration Calibration{};
};

struct TCommandResult {
    // 0 success; the instrument status codes 1..6; 255 when the operation
    // did not run (nothing to work on, cancelled); 1 for a failed file read
    // or write.
    int Status = 0;
    QStringList Messages;           // shown one after the other, in order
    std::optional<QString> Caption; // the main window's new caption
    std::optional<QString> Comment; // the comment edit's new text
    TRefresh Refresh = TRefresh::None;
    bool SubtractionChecked = false; // the operation checked "Background Subtraction"

    bool Ok() const { return Status == 0; }
    // The messages joined by line ends; empty when there are none.
    QString MessageText() const { return Messages.join(QLatin1Char('\n')); }
};

// The statuses of TCommandResult besides the instrument's own.
inline constexpr int CommandFailed = 1;   // a file could not be read or written
inline constexpr int CommandNotRun = 255; // cancelled, or nothing to work on

class TWorkstation {
public:
    explicit TWorkstation(TInstrumentLink link = TInstrumentLink());

    TAnalysisState State;
    TUncertaintySettings Uncertainties;
    // "Background Subtraction": whether the analysis and the solvers work on
    // the background-subtracted sample.
    bool BackgroundSubtraction = false;

    const TInstrumentLink& Link() const { return InstrumentLink; }
    TInstrumentLink& Link() { return InstrumentLink; }

    // Called with true before a blocking exchange with the instrument and
    // with false after it, before any message is shown.
    std::function<void(bool)> BusyChanged;

    // The analysis run of the current state.
    TAnalysisRun Analyse(const TAnalysisOptions& options);

    // --- Sample and calibration files ---------------------------------------
    // "Sample" -> "Open" of a ".vtb" file. A failed read keeps the previous
    // sample and shows "Could not open " + path; caption, solver validity and
    // the peak selection follow in every case.
    TCommandResult OpenSample(const QString& path);
    // "Sample" -> "Save". On failure the caption and the sample origin stay
    // and the write error (naming the file) is shown.
    TCommandResult SaveSample(const QString& path);
    TCommandResult OpenEWCal(const QString& path);
    TCommandResult SaveEWCal(const QString& path);
    TCommandResult OpenRCal(const QString& path);
    TCommandResult SaveRCal(const QString& path);

    // --- Spectrum text files -------------------------------------------------
    // "Sample" -> "Import": reads the file (numbers with `decimalSeparator`)
    // into a fresh record and makes it the measured sample, with the
    // layout's calibration, caption "Imported from " + the full path, the
    // calibration origins and a new analysis. An unrecognised file gives
    // CommandNotRun without a message; a conversion error, a spectrum of more
    // than 4096 channels or a ZEMA file without millivolts per channel (ADC
    // resolution or reference voltage 0) gives CommandFailed with the
    // message. In those cases nothing changes. `read`, when given, receives
    // what the reader returned.
    TCommandResult ImportSpectrum(const QString& path, char decimalSeparator,
                                  TTextSpectrum* read = nullptr);
    // "Sample" -> "Export": the measured sample as an SPA file, written
    // atomically. A sample that is not valid gives CommandNotRun and writes
    // nothing; one whose Size exceeds 4096 or a failed write gives
    // CommandFailed with the message.
    TCommandResult ExportSpectrum(const QString& path, char decimalSeparator);
    // The same in `format`: SPA exactly as ExportSpectrum; SPE and N42-2012
    // with the energy of the channel as a least-squares quadratic (a cubic
    // when the quadratic strays more than 0.05 channel) over the spectrum's
    // channels, left out when the sample's calibration cannot be inverted
    // there; CSV with the counts only.
    TCommandResult ExportSpectrumAs(const QString& path, char decimalSeparator,
                                    TExportFormat format);

    // --- Main window commands -----------------------------------------------
    // "Use as background": the whole measured sample, valid or not.
    TCommandResult UseAsBackground();
    // The "Background Subtraction" check box has become `checked`: checking it
    // with a valid background shows the compatibility message, if any.
    TCommandResult SetBackgroundSubtraction(bool checked);
    // The comment edit changed (converted and cut to 255 characters).
    void SetComment(const QString& text);
    // The measured sample's peak list and its origin are replaced (the peak
    // list editor confirmed, a list file was chosen); both solver results are
    // no longer valid.
    TCommandResult ReplacePeakList(const TPeakList& list, const QString& origin);

    // --- Instrument ---------------------------------------------------------
    // "Sample" -> "Read": the current sample and, when the instrument
    // subtracts its background, the stored background (added back, scaled by
    // the measuring times). The state changes only when every exchange
    // succeeded; "Background Subtraction" is checked in every case.
    TCommandResult ReadCurrentSample(const QString& port);
    // "Read background sample": the stored background; "Done!" on success.
    TCommandResult ReadBackgroundSample(const QString& port);
    // "Read Memory": every stored sample into <dir>/<base>_SN<serial>_ID<id>_<i><ext>,
    // named from `chosenPath` (the file name the user chose).
    TCommandResult DownloadMemory(const QString& port, const QString& chosenPath,
                                  TDownloadProgress& progress);
    TCommandResult ClearMemory(const QString& port);
    TCommandResult ResetSampleID(const QString& port);
    // "Spectrometer Configuration", the read before the dialog: on failure
    // the result carries the status message.
    TCommandResult ReadSpecConfiguration(const QString& port, TSpecConfig& config,
                                         TPeakList& peakList);
    // ... and the write after the dialog was confirmed.
    TCommandResult WriteSpecConfiguration(const QString& port, const TSpecConfig& config);
    // "About": the instrument's information as the message.
    TCommandResult ReadInstrumentInfo(const QString& port, TInstrumentInfo* info = nullptr);
    TCommandResult TransmitPeakList(const QString& port);
    TCommandResult TransmitCalibration(const QString& port);
    TCommandResult TransmitEfficiency(const QString& port);

    // --- Solvers and the clipped analysis setup ------------------------------
    // "Tools" -> "Solve Doublet": with a view, the solver shows its window and
    // keeps the results only when the user accepts; without, it keeps them.
    TCommandResult SolveDoublets(TDoubletView* view);
    // "Tools" -> "Trapezoid" with the peaks chosen in the selection window;
    // std::nullopt when the window was dismissed (the results are then not
    // valid and the selection stays).
    TCommandResult SolveTrapezoid(const std::optional<TBoolArray>& selection);
    // "Tools" -> "Clip analysis setup", after the user agreed.
    TCommandResult ClipAnalysisSetup();
    // "Tools" -> "Use clipped analysis setup".
    TCommandResult UseClippedAnalysisSetup(TDoubletView* doubletView);

    // --- Energy and peak-width calibration tool ------------------------------
    // "Calibration" -> "Energy / Peak Width" -> "Calibrate", after the tool
    // closed: `calibrated` is the copy of the measured sample whose energy and
    // peak-width calibration the user confirmed with OK, std::nullopt when
    // the tool was closed otherwise. A confirmed copy gives the measured
    // sample its ECal, WCal and CalibrationType (nothing else). Whatever the
    // tool returned, the calibration origin becomes "edited by user", both
    // solver results are no longer valid and the peak selection is refilled.
    TCommandResult TakeToolCalibration(const std::optional<TSampleFile>& calibrated);

    // --- Efficiency calibration ----------------------------------------------
    // "Calibration" -> "Efficiency" -> "Calibrate", after the window closed:
    // `calibrated` is the working sample the user applied (its peak list and
    // results are the calibration lines, with the corrected interval, weight
    // and efficiency curve), std::nullopt when the window was closed
    // otherwise. An applied sample replaces the measured sample whole.
    // Applied or not, the efficiency origin becomes "edited by user", both
    // solver results are no longer valid and the peak selection is refilled.
    TCommandResult TakeEfficiencyCalibration(const std::optional<TSampleFile>& calibrated);

private:
    TSampleFile WorkingCopy();
    // Why the measured sample cannot be exported (not valid, a size beyond
    // the channels a sample holds); std::nullopt when it can.
    std::optional<TCommandResult> RefuseExport() const;
    void InvalidateSolverResults();
    void SetSampleOrigins(const QString& origin);
    // Runs `exchange` with BusyChanged(true/false) around it.
    template <typename F> auto Exchange(F exchange);

    TInstrumentLink InstrumentLink;
};

// Steps 3 to 5 of "Import": fills `sample` from what the reader returned
// (spectrum, parameters, the layout's calibration; Valid := 1). Returns an
// empty text on success; otherwise the reason, with `sample` unchanged.
// `name` names the file in the reason. SPE and CSV spectra also set the
// comment; `note` (when given) receives what the import left as it was or
// left out, empty when nothing.
QString ApplyTextSpectrum(const TTextSpectrum& read, const QString& name, TSampleFile& sample,
                          QString* note = nullptr);

// "read from instrument SN:" + the serial number.
QString InstrumentOrigin(std::uint16_t serialNumber);

// Adds the background back to a net spectrum that the instrument sent,
// scaled by the ratio of the measuring times, when both spectra match (same
// size and offset, both times above 0); otherwise leaves it unchanged.
void AddBackgroundBack(TSampleFile& measured, const TSampleFile& background);
