// Spectrum helpers of the calibration tool: the largest count, sums and
// quantiles of the counts, the peak position and width from the quantiles,
// the Gaussian density drawn over the peak, the copy of a region of interest
// (ROI) and its straight baseline.
//
// A spectrum's Size may be anything (-1 before a spectrum is loaded, or a
// value read from a hostile file); every helper reads only the channels
// 0 .. min(Size, 4097) - 1 and never outside the 4097-entry channel array.
// Sums are 64-bit, so no count total overflows.
#pragma once

#include "core/SpectrumTextFile.h"

#include <cstdint>

struct TChannelMaximum {
    std::int32_t Index = -1; // first channel holding the largest count; -1 when none is positive
    std::int32_t Value = 0;
};

struct TPeakLocation {
    double Mean = 0;  // channels from the first channel of the spectrum
    double Sigma = 0; // channels
};

// The largest count among the channels in use and its first index; a
// spectrum without a positive count gives index -1 and value 0.
TChannelMaximum FindMaximum(const TCalSpectrum& spectrum);

// The sum of the channels in use.
std::int64_t SumCounts(const TCalSpectrum& spectrum);

// The position (channel i covering [i, i+1)) where the cumulative counts
// reach the fraction p of the total, interpolated linearly inside the
// channel; i + 0.5 when that channel's count is not positive; 0 when the
// total times p is not positive.
double CountQuantile(const TCalSpectrum& spectrum, double p);

// Mean = the 0.5 quantile, Sigma = half the distance between the 0.159 and
// the 0.841 quantiles.
TPeakLocation PeakMeanSigma(const TCalSpectrum& spectrum);

// The normal density with the tool's constant 2.506628 for the square root
// of 2π; 0 when sigma is not positive.
double GaussDensity(double mean, double sigma, double x);

// Copies the channels first .. end-1 of `source` to `dest` from index 0:
// dest.Size = end - first, dest.Offset = source.Offset + first, ADC
// resolution and reference voltage copied, LifeTime left as it was.
// Channels of `source` outside 0 .. 4096 (a ROI starting at -1, say) are
// read as 0. The copy holds at most 4097 channels: a longer range is cut
// there, and an empty or reversed range gives Size 0. An Offset beyond the
// 32-bit range saturates.
void CopyRoiChannels(std::int32_t first, std::int32_t end, const TCalSpectrum& source,
                     TCalSpectrum& dest);

// `net` = `roi` less the straight line from its first to its last count,
// each baseline value rounded half-even, so the first and last net counts
// are 0. A ROI of two channels or fewer leaves `net` as it was. Size,
// Offset, ADC resolution and reference voltage are copied; LifeTime is
// left. A difference beyond the 32-bit range saturates.
void SubtractRoiBaseline(const TCalSpectrum& roi, TCalSpectrum& net);

// A 64-bit or double value as a channel count: rounded half-even and
// saturated to the 32-bit range (NaN gives 0).
std::int32_t ToCount(double value);
std::int32_t ToCount(std::int64_t value);
