// What the entry points do with a record once a reader has accepted it: the
// analysis run that the main window applies to it, so values that pass a
// reader but break a consumer are found too. (The solvers are left out: they
// take about fifteen times as long as the reading and the analysis run.) A consumer that
// breaks its own limits aborts, which the fuzzer reports as a finding.
#pragma once

#include "analysis/UncertaintySettings.h"
#include "core/sample_types.h"

// A small valid sample: 1024 channels, 1 channel per keV, a Cs-137 peak at
// 662 keV, and a peak list of lines inside and outside the spectrum.
TSampleFile MakeFuzzBaseSample();

// Runs the analysis run on `measured` twice: plain, and with the base sample
// as background subtracted, detailed results and the first peak selected.
void AnalyseFuzzedSample(const TSampleFile& measured,
                         const TUncertaintySettings& uncertainties = {});

// Aborts when `condition` is false: a broken limit of a consumer.
void RequireFuzz(bool condition);
