// The energy and peak-width calibration tool without its window: the
// working spectrum, the region of interest (ROI) and the peak located in it,
// the candidate lines, the calibration points, the six regressions with the
// results memo, and the write-back to a sample.
//
// TCalibrationToolForm holds one TCalibrationTool for the whole program run,
// so everything here survives from one opening of the tool to the next. The
// window reads its controls, calls these operations and draws from the
// fields; zkcli and the tests call them directly.
//
// Texts that the window shows and that are translatable (memo lines, the
// "keV)" of candidate lines) are translated here in the context
// "TCalibrationToolForm" (QCoreApplication::translate), so the window, the
// tests and the command line read the same texts; untranslated they read as
// quoted.
#pragma once

#include "core/SpectrumTextFile.h"
#include "core/sample_types.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// Entry j multiplies x to the power j.
using TPolynomCoefficients = std::array<double, 5>;

// One candidate line of the tool.
struct TNuclide {
    QString Name;
    std::int32_t Energy = 0;      // keV
    std::int32_t Probability = 0; // emission probability as read, rounded
};

inline constexpr int MaxCandidateLines = 200; // lines taken from a library file

// One calibration point as the grid shows it: four text cells.
struct TCalPoint {
    QString Name;
    QString Energy;   // integer text
    QString Position; // general form, ROI.Offset + MEAN
    QString Sigma;    // general form, SIGMA
};

// The six regressions, in the order they are run and shown.
enum TRegression { EvsCh = 0, SvsCh, ChvsE, EvsV, VvsE, SvsE, RegressionCount };

enum class TMouseButton { Left, Right, Other };

class TCalibrationTool {
public:
    explicit TCalibrationTool(char decimalSeparator = '.');

    char DecimalSeparator;

    // --- Spectrum and ROI --------------------------------------------------
    TCalSpectrum Spectrum; // SPECTRUM, Size -1 at creation
    std::int32_t Marker1 = -1;
    std::int32_t Marker2 = -1; // exclusive
    double Zoom = 1.0;         // pixels per channel of the spectrum view
    TCalSpectrum Roi;          // Size -1 at creation
    TCalSpectrum NetRoi{0, 0, 0, 0, {}, 0, 0, {}, {}, -1, -1}; // all zero at creation
    double Mean = 1.0;  // peak position in channels from the first ROI channel
    double Sigma = 1.0; // peak width in channels

    // The sample's spectrum, counts rounded half-even; a Size above 4096 is
    // cut to 4096. Then ChooseZoom.
    void LoadSampleSpectrum(const TSampleFile& sample);
    void ChooseZoom();
    // After ReadSpectrumTextFile filled Spectrum: the zoom of the layout.
    // Returns the window caption ("Calibration - ZEMA", ...), translated.
    QString TakeTextSpectrum(TTextLayout layout);

    // The spectrum view's mouse button at pixel x; then UpdateRoi.
    void MouseDown(TMouseButton button, int x);
    // The four ROI buttons; each runs UpdateRoi and returns true when it
    // changed the markers.
    bool ShiftRoiLeft();
    bool ShiftRoiRight();
    bool BiggerRoi();
    bool SmallerRoi();
    // Copies the ROI, subtracts its baseline, locates the peak. A ROI that
    // would reach outside Channels[0 .. 4096] reads the missing channels as
    // nothing (see the implementation's comment for the rule chosen).
    void UpdateRoi();

    // The three edits of the peak view (general form); std::nullopt where
    // the tool shows no number (the FWHM at a position of 0 or below, where
    // a width relative to the position means nothing).
    QString PositionText() const;
    QString SigmaText() const;
    std::optional<QString> FwhmText() const;
    double Position() const { return Roi.Offset + Mean; }

    // --- Candidate lines ---------------------------------------------------
    std::vector<TNuclide> Candidates; // NUCLIDELIST
    QStringList CandidateLines;       // LibListBox: "Cs137 - (662keV)"
    void TakeCandidates(const TPeakList& peakList);
    // A nuclide library text (tab-separated, Windows-1252), read as the
    // tool's open-library button does: at most 200 lines.
    void TakeLibraryText(const QByteArray& text);

    // --- Calibration points and regressions ---------------------------------
    std::vector<TCalPoint> Points; // grid rows 1 ..
    bool HeaderShown = false;      // row 0 carries the header texts
    std::array<TPolynomCoefficients, RegressionCount> Coefficients{};
    std::array<double, RegressionCount> Correlations{};
    bool OkEnabled = false;
    QStringList Memo; // ResultsMemo, one entry per line

    // The grid's header texts, translated: "Name", "Energy", "Position", "Sigma".
    static QStringList GridHeader();
    // The memo of the sample's present calibration (eleven lines).
    QStringList PresentCalibrationMemo(const TSampleFile& sample) const;
    // Adds the located peak as a point for candidate `index` (nothing when
    // it is not a candidate, or when the peak's position is 0 or below and
    // so has no width in keV), then RecomputeRegressions. The header texts
    // are shown in either case.
    void AddPoint(int index);
    // Removes grid row `row` (1 ..), then RecomputeRegressions.
    void RemovePoint(int row);
    void ClearPoints();
    // Reruns the fits from the first nine points and rewrites the memo.
    // Throws EMathError for a singular fit or a point at position 0 or below
    // (its width in keV is undefined), and EConversionError for a cell that
    // is not a number: the memo stays empty, the fits not yet rerun keep
    // their coefficients, and OK is disabled until a recomputation succeeds.
    void RecomputeRegressions();
    // The regression's number of terms for the present points (0 when no fit).
    int Terms(TRegression regression) const;

    // OK: ECal = the channel-versus-energy fit, WCal = the sigma-versus-channel
    // fit (singles), CalibrationType 0.
    void ApplyTo(TSampleFile& sample) const;
};
