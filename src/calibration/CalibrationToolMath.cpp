#include "calibration/CalibrationToolMath.h"

#include "core/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The channels a spectrum's Size lets the helpers read.
int ChannelsInUse(const TCalSpectrum& spectrum) {
    return std::clamp(spectrum.Size, 0, CalChannels);
}

} // namespace

std::int32_t ToCount(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t ToCount(double value) {
    return ToCount(Round(value));
}

TChannelMaximum FindMaximum(const TCalSpectrum& spectrum) {
    TChannelMaximum result;
    const int n = ChannelsInUse(spectrum);
    for (int i = 0; i < n; ++i) {
        if (spectrum.Channels[i] > result.Value) {
            result.Index = i;
            result.Value = spectrum.Channels[i];
        }
    }
    return result;
}

std::int64_t SumCounts(const TCalSpectrum& spectrum) {
    std::int64_t sum = 0;
    const int n = ChannelsInUse(spectrum);
    for (int i = 0; i < n; ++i) {
        sum += spectrum.Channels[i];
    }
    return sum;
}

double CountQuantile(const TCalSpectrum& spectrum, double p) {
    const double target = static_cast<double>(SumCounts(spectrum)) * p;
    // NaN fails the test as well.
    if (!(target > 0)) {
        return 0;
    }
    const int n = ChannelsInUse(spectrum);
    std::int64_t sum = 0;
    int i = -1;
    while (static_cast<double>(sum) < target && i + 1 < n) {
        ++i;
        sum += spectrum.Channels[i];
    }
    // A fraction above 1 runs past the last channel; the walk stops there.
    if (i < 0) {
        return 0;
    }
    const double c = spectrum.Channels[i];
    const double excess = static_cast<double>(sum) - target;
    return c > 0 ? i + (c - excess) / c : i + 0.5;
}

TPeakLocation PeakMeanSigma(const TCalSpectrum& spectrum) {
    return {CountQuantile(spectrum, 0.5),
            (CountQuantile(spectrum, 0.841) - CountQuantile(spectrum, 0.159)) / 2};
}

double GaussDensity(double mean, double sigma, double x) {
    if (sigma <= 0) {
        return 0;
    }
    return std::exp(-(x - mean) * (x - mean) / (2 * sigma * sigma)) * (1 / sigma) / 2.506628;
}

void CopyRoiChannels(std::int32_t first, std::int32_t end, const TCalSpectrum& source,
                     TCalSpectrum& dest) {
    const std::int64_t length = std::clamp<std::int64_t>(std::int64_t(end) - first, 0, CalChannels);
    for (std::int64_t j = 0; j < length; ++j) {
        const std::int64_t k = first + j;
        dest.Channels[j] = k >= 0 && k < CalChannels ? source.Channels[k] : 0;
    }
    dest.Size = static_cast<std::int32_t>(length);
    dest.Offset = ToCount(std::int64_t(source.Offset) + first);
    dest.AdcResolution = source.AdcResolution;
    dest.RefVoltage = source.RefVoltage;
}

void SubtractRoiBaseline(const TCalSpectrum& roi, TCalSpectrum& net) {
    if (roi.Size <= 2) {
        return;
    }
    const int n = ChannelsInUse(roi);
    const double base = roi.Channels[0];
    const double slope = (double(roi.Channels[n - 1]) - base) / (n - 1);
    for (int i = 0; i < n; ++i) {
        net.Channels[i] = ToCount(std::int64_t(roi.Channels[i]) - Round(i * slope + base));
    }
    net.Size = roi.Size;
    net.Offset = roi.Offset;
    net.AdcResolution = roi.AdcResolution;
    net.RefVoltage = roi.RefVoltage;
}
