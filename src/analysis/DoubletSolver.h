// The doublet solver: splits the joint net area of two overlapping lines.
//
// Pairs of peak-list lines whose +-2 sigma ranges overlap are found, the joint
// net area of each pair above a straight baseline is measured, and it is split
// between the two lines by fitting the sum of two Gaussians of calibrated
// positions and widths in steps of 1 %. The baseline windows lie between 3 and
// 4 standard deviations outside the pair, and the layout is slid by up to
// half a standard deviation of the first line.
#pragma once

#include "core/Prompt.h"
#include "core/sample_types.h"

#include <QStringList>

#include <cstdint>

// Two peak-list lines as they stand in the list.
struct TDoubletPair {
    TPeakEntry PeakA{};
    TPeakEntry PeakB{};
};

// At most 16 * 15 / 2 = 120 pairs can arise from one list.
struct TDoubletList {
    std::int32_t Size = 0;
    TDoubletPair Doublets[256]{};
};

// The doublet solver window as the solver sees it.
class TDoubletView {
public:
    virtual ~TDoubletView() = default;

    // Hands over what the window shows and draws from: one line per pair, two
    // lines per solved pair, the pairs, the analysed sample and the results.
    virtual void SetDoublets(const QStringList& pairLines, const QStringList& resultLines,
                             const TDoubletList& pairs, const TSampleFile& sample,
                             const TDoubletResultList& results) = 0;

    // Shows the window modally; true when the user keeps the results.
    virtual bool ShowModal() = 0;
};

// Finds the overlapping pairs of `peakList` (lines whose channel or width is
// outside a spectrum of `channels` channels take part in none). Pair (i, j)
// is listed when an edge of j's +-2 sigma range lies strictly inside i's, and
// is not listed again the other way round.
void FindDoublets(const TPeakList& peakList, const TEnergyCalibration& ecal,
                  const TPeakWidthCalibration& wcal, int channels, TDoubletList& pairs);

// Indices of the two lines in `peakList` (same 16 name bytes and energy; the
// last match wins), -1 when absent. Returns true when either was found.
bool LocateDoubletPeaks(const TPeakEntry& first, const TPeakEntry& second,
                        const TPeakList& peakList, int& firstIndex, int& secondIndex);

// Solves the pair of lines at `energyA` and `energyB` keV in `spectrum` and
// writes `solution`. Returns true, writing nothing, when the pair is refused:
// a channel or width outside the spectrum; a background window that would
// reach outside the spectrum at some shift or hold no channel (widths below
// about one channel); or rounded peaks that no longer overlap.
bool SolveDoublet(int energyA, int energyB, const TEnergyCalibration& ecal,
                  const TPeakWidthCalibration& wcal, const TSpectrum& spectrum,
                  TDoubletSolution& solution);

// Splits the joint net area of `corrected` over first..last between a lower
// and an upper Gaussian (centres in channels, widths in channels) in 1 %
// steps, the upper share from 0 to 99 %. Returns the residual of the best
// split. When the joint area is not positive both areas are 0 and the
// residual is that of the empty model (the sum of squares of `corrected`).
double SplitDoubletArea(int centreLower, int centreUpper, int first, int last,
                        const TSpectrum& corrected, double sigmaLower, double sigmaUpper,
                        double& areaLower, double& areaUpper);

// Uncertainties of the two shares of a joint area with absolute uncertainty
// u, at coverage factor k.
void SplitUncertainties(double areaA, double areaB, double u, double k, double& uncertaintyA,
                        double& uncertaintyB);

// Size 0 and entries 0..15 not solved, Activity 0, Error -1, Area 0.
// Valid is left as it is.
void ClearDoubletResults(TDoubletResultList& results);

// Runs the solver on a working copy of a sample. The view (when given) is
// filled in every mode; mode 1 shows it and keeps the results only when the
// user accepts. Without any pair the results are not valid and "No doublets
// identified" is shown through `prompt`. When an activity cannot be computed
// (time, efficiency, probability or weight not positive) it is stored as 0.
void RunDoubletSolver(std::uint8_t mode, TSampleFile sample, TDoubletResultList& results,
                      TDoubletView* view, TPrompt& prompt);

// What the window's plot shows for the pair list line `line`.
struct TDoubletPlotChoice {
    enum TKind { Nothing, Message, Plot } Kind = Nothing;
    int Entry = -1; // the result entry to draw for Plot
};
TDoubletPlotChoice ChooseDoubletPlot(const TDoubletList& pairs, int line, const TPeakList& peakList,
                                     const TDoubletResultList& results);
