// The trapezoid solver: a second measurement of a peak's net area.
//
// A peak region of +-2.56 standard deviations around the calibrated position
// is counted above a straight baseline through the means of two short
// windows beside it. The layout is slid by up to half a standard deviation,
// and the position whose Gaussian (scaled to the net area) fits the
// baseline-corrected spectrum best is kept. The net area is then tested
// against its decision threshold.
#pragma once

#include "core/sample_types.h"

#include <QList>
#include <QStringList>

#include <cstdint>

// Asks the user which peaks the solver treats (the selection window).
class TTrapezoidSelector {
public:
    virtual ~TTrapezoidSelector() = default;

    // Shows one unchecked line per peak. Returns true when the user applied
    // the selection; `checked` then holds one flag per line.
    virtual bool SelectPeaks(const QStringList& lines, QList<bool>& checked) = 0;
};

// Sum of the channel values first..last inclusive, accumulated in double.
// 0 when last < first. Channels outside 0 .. min(Size, 4096) - 1 are not read.
double ChannelSum(int first, int last, const TSpectrum& spectrum);

// Decision threshold, detection limit and uncertainty of a net area, for a
// region of n channels with background windows of nLeft and nRight channels;
// `background` is the counts under the baseline, `area` the area whose
// counting uncertainty is wanted (both raised to 0 when negative). Computed
// in extended precision. With n or nLeft + nRight not positive the three
// results are +infinity (nothing can be significant).
void NetAreaLimits(int n, int nLeft, int nRight, double background, double area, double kThreshold,
                   double kLimit, double kUncertainty, double& threshold, double& detectionLimit,
                   double& uncertainty);

// Places the trapezoid of the line at `energyKeV` and writes `geometry`.
// Returns true, writing nothing, when the peak cannot be placed: channel or
// width outside the spectrum, a width below 1 channel after rounding (the
// right window would be empty), or windows that reach outside the spectrum
// at some shift.
bool FitTrapezoid(int energyKeV, const TEnergyCalibration& ecal, const TPeakWidthCalibration& wcal,
                  TTrapezoidGeometry& geometry, const TSpectrum& spectrum);

// Size 0 and entries 0..15 not significant, Activity 0, Error -1, Area 0.
// Valid and the geometries are left as they are.
void ClearTrapezoidResults(TTrapezoidResultList& results);

// The lines of the selection window: name + "(" + energy + "keV)", one per
// peak of the list.
QStringList TrapezoidSelectionLines(const TPeakList& peakList);

// Runs the solver on a working copy of a sample. Mode 1 asks `selector` for
// the peaks (none given counts as dismissed); a dismissed selection leaves
// `selection` unchanged and `results` cleared with Valid false. Any other
// mode treats the peaks flagged in `selection`. A selected peak that cannot be
// placed keeps a cleared entry (not significant, Activity 0, Error -1, Area 0)
// and a zeroed geometry. When the activity cannot be computed (time,
// efficiency, probability or weight not positive), Activity is 0.
void RunTrapezoidSolver(std::uint8_t mode, TSampleFile sample, TTrapezoidResultList& results,
                        TBoolArray& selection, TTrapezoidSelector* selector);
