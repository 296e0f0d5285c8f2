// Evaluation of one line of a sample's peak list in a region of interest
// (ROI) around the channel where the energy calibration expects it, and the
// activity concentration (Bq/kg) of a number of counts.
//
// The ROI is cut out of the spectrum (in bins of half a peak width when peaks
// are wider than 2 channels), smoothed and differentiated with 7-point
// Savitzky-Golay filters; the peak is located by the sign of its second
// derivative, its width measured between the inflection points and compared
// with the width calibration, and its net area tested against the fluctuation
// of the background under it.
#pragma once

#include "core/Single.h"
#include "core/sample_types.h"

#include <array>
#include <cstdint>

inline constexpr int RoiPoints = 24;
using TRoiArray = std::array<double, RoiPoints>;

// Evaluation codes.
inline constexpr std::uint8_t RoiPeakFound = 0;      // activity with uncertainty
inline constexpr std::uint8_t RoiOutside = 1;        // the ROI does not fit in the spectrum
inline constexpr std::uint8_t RoiNoMaximum = 2;      // second derivative not negative at the middle
inline constexpr std::uint8_t RoiNoInflection = 3;   // negative stretch reaches an end of the ROI
inline constexpr std::uint8_t RoiWrongWidth = 4;     // measured / expected width outside [0.8, 1.3]
inline constexpr std::uint8_t RoiNotSignificant = 5; // area not above the decision threshold
inline constexpr std::uint8_t RoiNotEvaluable = 100; // index, energy, width or activity unusable

struct TRoiEvaluation {
    std::uint8_t Code = RoiNotEvaluable;
    TRoiArray SecondDerivative{}, Smoothed{}, Extract{};
    double SigmaFound = 0;    // measured width in ROI points (0 when not measured)
    double ExpectedWidth = 0; // width expected from the calibration, in ROI points
    double CentreOffset = 0;  // expected peak position within the extract, in ROI points
    int Count = 0;            // points in use; 0 when the ROI does not fit
    bool HasRoi = false;      // false when the evaluation stopped before extracting
};

// Evaluates line `index` of the sample's peak list in its spectrum (already
// background-subtracted when `backgroundSubtracted`; the background spectrum
// then enters the uncertainty, and its counting time scales it).
// Writes sample.Results.Result[index] and nothing else of the sample:
// code 0 (activity, 196 * sigma(area) / area, area); codes 1..5 a detection
// limit (activity of the limit, -1, 0); code 100 (0, 0, 0). An index outside
// 0..15 or beyond the peak list, a spectrum Size above 4096, an energy or
// width outside the spectrum, or an activity that cannot be computed give
// code 100; an index outside 0..15 writes nothing.
TRoiEvaluation EvaluatePeak(TSampleFile& sample, const TSample& background, int index,
                            bool backgroundSubtracted);

// Cuts the ROI of +-4 widths plus 3 points on each side around `channel`
// (channel numbers; channel c is entry c - Offset of the spectrum). Widths up
// to 2 channels give single channels (expectedWidth = width), wider ones bins
// of width/2 channels that preserve counts (expectedWidth = 2), one bin per
// start x = lo, lo + step, ... (accumulated) while x < hi, at most 24; parts
// of a bin beyond the spectrum's channels count as 0. When the ROI
// does not lie inside the spectrum's channels, or width is negative or NaN,
// count is 0 and `extract` is left untouched. Returns the point spacing in
// channels.
double ExtractRoi(const TSpectrum& spectrum, double channel, double width, TRoiArray& extract,
                  int& count, double& expectedWidth, double& centreOffset);

enum class TRoiKernel { Smoothing, SecondDerivative };

// 7-point Savitzky-Golay filter of the first `count` values (clamped to
// 0..24): points 3..count-4 filtered, the three points at each end zero,
// entries from `count` on left untouched.
void FilterRoi(TRoiKernel kernel, const TRoiArray& values, int count, TRoiArray& filtered);

// Locates the peak in the middle of the extract and measures it. Status 0 to
// 5 as for EvaluatePeak. `area` is the net area (status 0) or the detection
// limit in counts (statuses 2 to 5; 0 for status 1); sigmaArea is one standard
// deviation of the area, -1 for a detection limit. sigmaFound is written only
// once the inflection points were found (statuses 0, 4, 5).
std::uint8_t AnalysePeak(const TRoiArray& extract, int count, bool backgroundSubtracted,
                         const TRoiArray& backgroundExtract, double ratio, double expectedWidth,
                         double& sigmaFound, std::int64_t& sigmaArea, std::int64_t& area);

// Standard deviation of the background counts under the window of +-2
// half-widths around `centre` (ROI points), estimated from the smoothed
// extract at the window's ends and the window's number of points. A window
// inside the extract reads its ends as they are (0 on the three zeroed points
// at either end of the filtered extract); the ends of a window reaching
// outside the extract are read at the nearest smoothed point (3 or count - 4). An
// extract of fewer than 7 points gives 0; a non-finite centre or half-width
// gives NaN (which AnalysePeak treats as not significant).
double BackgroundSigma(int count, const TRoiArray& extract, bool backgroundSubtracted, double ratio,
                       const TRoiArray& backgroundExtract, double halfWidth, double centre);

// Activity concentration (Bq/kg) of `counts` in line `index` of the sample's
// peak list, from its counting time and weight. Returns true (activity
// unchanged) when it cannot be computed: index outside the peak list,
// efficiency, emission probability, counting time or weight not positive, or
// a result that is not finite.
bool PeakActivity(const TSampleFile& sample, int index, std::int64_t counts, double& activity);

// The same for a given line, counting time (s), efficiency calibration and
// weight (kg).
bool ActivityOfCounts(const TPeakEntry& peak, std::int64_t timeSeconds,
                      const TEfficiencyCalibration& rcal, std::int64_t counts, double weightKg,
                      double& activity);
