// The analysis run: turns the analysis state into what the user sees — the
// sample description, one coloured report line per peak, what each of the
// three plot boxes draws, and the origins list — and stores the chosen result
// of every peak in the measured sample's Results.
//
// The main window, printing and the command-line tool all call AnalyseSample,
// so the same state gives the same lines, colours and numbers everywhere.
#pragma once

#include "analysis/RoiEvaluation.h"
#include "analysis/UncertaintySettings.h"
#include "core/sample_types.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

enum class TReportColour { Black, Blue, Red };

struct TReportLine {
    QString Text;
    TReportColour Colour = TReportColour::Black;
};

// What one plot box draws. `Nothing` leaves the box empty.
enum class TPlotKind { Nothing, Message, Spectrum, Roi, Trapezoid, Doublet };

// Which record a spectrum plot shows.
enum class TPlotSource { WorkingCopy, Background };

struct TPlot {
    TPlotKind Kind = TPlotKind::Nothing;
    QString Message;                               // Message
    TPlotSource Source = TPlotSource::WorkingCopy; // Spectrum
    int Selected = 0;                              // Spectrum
    int MarkerMode = 0;                            // Spectrum
    bool LogView = false;                          // Spectrum
    TRoiEvaluation Roi{};                          // Roi
    TPeakEntry Peak{};                             // Roi
    TTrapezoidResult Trapezoid{};                  // Trapezoid (drawn on the working copy)
    TDoubletResult Doublet{};                      // Doublet (drawn on the working copy)
};

// Where a peak's stated result came from.
enum class TResultSource { Roi, Doublet, Trapezoid };

struct TPeakReport {
    int Index = 0;
    TResultSource Source = TResultSource::Roi;
    std::optional<std::uint8_t> Code;       // evaluation code; none for solver results
    TPeakResult Result{};                   // as stored in MeasuredSample.Results
    std::optional<double> TotalUncertainty; // percent; none without valid settings or result
    TReportColour Colour = TReportColour::Black;
    std::optional<int> Line; // index into Lines; none when the run writes no line
};

struct TAnalysisOptions {
    bool BackgroundSubtraction = false; // "Background Subtraction" checked
    bool DetailedResults = false;       // "Detailed Results" checked
    bool LogView = false;               // "Log. View" checked
    int Selected = -1;                  // selected entry of the peak selection list
    char DecimalSeparator = '.';
};

struct TAnalysisRun {
    bool SampleValid = false; // false: description and report are left as they were
    QString Description;
    std::vector<TReportLine> Lines;
    std::vector<TPeakReport> Peaks;
    TPlot SpectrumPlot, BackgroundPlot, RoiPlot;
    QStringList Origins;
    bool Subtracted = false;
    TSampleFile WorkingCopy{}; // the analysed copy (background subtracted when Subtracted)
    TSampleFile Background{};  // the background sample as drawn
};

// Runs the analysis on `state`. Writes MeasuredSample.Results for every peak
// of the list (and, through the background subtraction, copies the peak list
// into BackgroundSample); nothing else of the state changes.
TAnalysisRun AnalyseSample(TAnalysisState& state, const TAnalysisOptions& options,
                           const TUncertaintySettings& uncertainties);

// The four lines of the origins list.
QStringList ShowOrigins(const TAnalysisState& state);

// The sample description line.
QString SampleDescription(const TSampleParameter& parameter, char decimalSeparator);

// The message that checking "Background Subtraction" shows for this pair of
// samples, or an empty text when they fit (or the background is not valid).
QString BackgroundCompatibilityMessage(const TSampleFile& measured, const TSampleFile& background);
