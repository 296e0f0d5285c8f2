// The efficiency calibration without its window: the working sample, the
// calibration points split at Ecut, the fits, the texts of the four
// coefficient edits and of the point grid, the selection of lines and the
// write-back to the caller's sample.
//
// TEfficiencyForm holds one TEfficiencyCalibrator for the whole program run.
// The window asks the opening questions, shows the texts kept here and
// forwards every edit; zkcli and the tests call the same operations.
//
// Opening, as the window's GetEfficiencyCurveFromSpectrum does it:
//   Open(sample);
//   QString answer;                         // shared by the three prompts
//   if (IntervalMissing()) { ask IntervalPrompt with `answer` (a cancel
//       keeps the shown text); warning = AnswerInterval(answer); }
//   if (WeightMissing())   { ask WeightPrompt ...;   warning = AnswerWeight(answer); }
//   ask ActivityPrompt ...; warning = AnswerActivity(answer);
//   each non-empty warning is shown at once with the caption WarningCaption.
// AnswerActivity takes the calibration lines, splits the points, fills the
// grid and shows the coefficients; the window then shows the texts.
#pragma once

#include "core/sample_types.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

inline constexpr int MaxCalPoints = 33;

// Points of one part of the curve (in memory only).
struct TCalPoints {
    int CalPointCount = 0;
    std::array<double, MaxCalPoints> Xi{}; // line energies in keV
    std::array<double, MaxCalPoints> Yi{}; // efficiencies
};

// Caption and prompt text of one input prompt.
struct TInputPromptText {
    QString Caption;
    QString Label;
};

// The four coefficient edits, in the order ShowCoefficients writes them.
enum TCoefficientEdit { AEdit = 0, BEdit, EcutEdit, MEdit, CoefficientEditCount };

inline constexpr int CalGridColumns = 5;

// One point of the curve as the plot marks it.
struct TCurvePoint {
    double Energy = 0;     // keV
    double Efficiency = 0; // the point's efficiency
    bool PowerPart = true; // above Ecut (power law) or at/below it (line)
    double Deviation = 0;  // (Yi − EfficiencyAt(Xi)) × 100 ÷ Yi, may be NaN/inf
    QString DeviationText; // fixed (3, 2) followed by "%"
};

// Answers for OpenWithAnswers: std::nullopt is a cancelled prompt, which
// counts as entering the text it shows. An answer for a prompt that is not
// asked (interval or weight already valid) is ignored.
struct TEfficiencyAnswers {
    std::optional<QString> Interval;
    std::optional<QString> Weight;
    std::optional<QString> Activity;
};

class TEfficiencyCalibrator {
public:
    explicit TEfficiencyCalibrator(char decimalSeparator = '.');

    char DecimalSeparator;

    TSampleFile CalSample{};        // working copy of the sample being calibrated
    TCalPoints CalPoints;           // energies above Ecut (power law)
    TCalPoints LinCalPoints;        // energies at or below Ecut (straight line)
    float ReferenceActivity = 1000; // Bq/kg, as answered at opening

    // The texts the four coefficient edits show (AEdit .. MEdit).
    std::array<QString, CoefficientEditCount> EditTexts;
    // The grid below its header: one row per calibration line, five cells.
    std::vector<std::array<QString, CalGridColumns>> GridRows;

    // --- Opening ------------------------------------------------------------
    static const QString WarningCaption; // "Warning"
    static TInputPromptText IntervalPrompt();
    static TInputPromptText WeightPrompt();
    static TInputPromptText ActivityPrompt();

    // CalSample := sample (all of it); nothing else changes yet.
    void Open(const TSampleFile& sample);
    bool IntervalMissing() const; // SampleInterval is 0
    bool WeightMissing() const;   // Weight ≤ 0 (or not a number)
    // Each reads the answer as a whole number and returns the warning to
    // show, or an empty text. An interval that is not a positive whole
    // number that fits the record becomes 3600 s; a weight not above 0
    // becomes 1 kg; an activity not above 0 becomes 1000 Bq/kg.
    QString AnswerInterval(const QString& text);
    QString AnswerWeight(const QString& text);
    // Also takes the calibration lines from the sample passed to Open (its
    // lines with a positive area), then SplitCalPoints, FillPointGrid and
    // ShowCoefficients.
    QString AnswerActivity(const QString& text);

    // The whole opening with the answers given; returns the warnings in the
    // order they are shown. Used by zkcli and tests.
    QStringList OpenWithAnswers(const TSampleFile& sample, const TEfficiencyAnswers& answers);

    // --- Points and fit -----------------------------------------------------
    // Splits the lines with Area > 0, Activity > 0 and Probability > 0 at
    // Ecut. A line with a probability of 0 or below is skipped like one
    // without counts: its efficiency would be a division by zero. So is a
    // line whose efficiency is not a positive finite number.
    void SplitCalPoints();
    // The efficiency of line i (as SplitCalPoints computes it).
    double PointEfficiency(int line) const;
    // CALIBRATE: split, fit the power law (more than one point above Ecut)
    // and the anchored line (at least one point at or below Ecut), then
    // ShowCoefficients. A failing fit throws EMathError; the coefficients
    // that step would have written keep their values, and the edits are
    // brought up to date with the values in force before the error leaves.
    // Returns the conversion errors of ShowCoefficients (normally none).
    QStringList FitEfficiency();

    // --- Coefficient edits --------------------------------------------------
    // Writes A0, B0, Ecut, m fixed (6, 6) into the edit texts; each text that
    // changes goes through SetEditText, so the values in force become the
    // values as shown. Returns the conversion errors met (normally none).
    QStringList ShowCoefficients();
    // The change handler of one coefficient edit: keeps the text, reads it
    // as a number and stores it (as a Single) into the coefficient. Text that
    // is not a number leaves the coefficient unchanged and returns the
    // conversion error message to show; otherwise returns an empty text.
    QString SetEditText(TCoefficientEdit edit, const QString& text);

    // --- Grid ---------------------------------------------------------------
    static QStringList GridHeader(); // the five header texts
    void FillPointGrid();            // GridRows from CalSample
    // A cell edit (row counts from 0 below the header): ReadPointGrid, then
    // SplitCalPoints; no fit. A row or column outside the grid is ignored.
    void SetCell(int row, int column, const QString& text);
    // Reads every grid row back into line i of CalSample (see the
    // implementation for the rule on unreadable cells).
    void ReadPointGrid();

    // --- SELECT -------------------------------------------------------------
    // After the peak list editor returned `newList` for CalSample.PeakList:
    // keeps the results of lines that are SamePeakEntry as an old one, gives
    // new lines activity 1 and counts 1000, then FillPointGrid and
    // SplitCalPoints.
    void TakeSelectedLines(const TPeakList& newList);
    static bool SamePeakEntry(const TPeakEntry& a, const TPeakEntry& b);

    // --- Curve --------------------------------------------------------------
    // The points of both parts with their deviation, power-law part first.
    std::vector<TCurvePoint> CurvePoints() const;

    // --- APPLY --------------------------------------------------------------
    // sample := CalSample; then m and Ecut read from their edit texts (0 and
    // 50 when the text is not a number).
    void ApplyTo(TSampleFile& sample) const;

private:
    TSampleFile Source{}; // the sample passed to Open
};
