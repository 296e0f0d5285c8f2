// Subtraction of a background measurement, scaled by the ratio of the
// counting times, from a working copy of the measured sample.
#pragma once

#include "core/sample_types.h"

// True when the background can be subtracted from the sample: equal spectrum
// Size and Offset, Size at most 4096, and both counting times non-zero. The
// calibrations are not compared.
bool CanSubtractBackground(const TSampleFile& sample, const TSampleFile& background);

// When CanSubtractBackground: each channel of the sample := channel -
// r * background channel, with r = sample time / background time (net values
// may be negative), and the background's peak list := the sample's, so the
// background plot marks the same lines. Otherwise neither record changes.
void SubtractBackground(TSampleFile& sample, TSampleFile& background);

// The working copy of the measured sample that the analysis run, the solver
// commands, the clipped setup and the printing evaluate. When the
// "Background Subtraction" box is checked and the background is valid, the
// background is subtracted from the copy. `subtracted` tells the peak
// evaluation whether the copy's spectrum is net: true only when the
// subtraction was carried out, so an incompatible background never makes a
// gross spectrum count as net.
TSampleFile PrepareWorkingCopy(const TSampleFile& measured, TSampleFile& background,
                               bool subtractionChecked, bool& subtracted);
