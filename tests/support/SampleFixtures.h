// Sample records built in code for the tests. Start from a flat sample, then
// set the measuring time, the calibrations and the channels, and add Gaussian
// lines and peak-list lines. The same arguments always give the same bytes,
// so expected values computed from a builder's numbers stay valid.
#pragma once

#include "core/sample_types.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <stdexcept>

// Counts per channel of a Gaussian line of `area` counts with its centre at
// `centre` and a standard deviation of `sigma`, at position `x` (all three
// in channels).
inline double GaussianCounts(double x, double centre, double sigma, double area) {
    const double z = (x - centre) / sigma;
    return area * std::exp(-0.5 * z * z) / (std::sqrt(2 * std::numbers::pi) * sigma);
}

// A valid sample of `size` channels with `level` counts in each of them (the
// channels beyond `size`, or beyond MaxChannels, stay 0). Everything else is
// zero: no measuring time, weight or calibration, empty lists.
inline TSampleFile FlatSample(int size, float level = 0) {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Spectrum.Size = static_cast<std::uint16_t>(size);
    for (int i = 0; i < std::min(size, MaxChannels); ++i) {
        s.Sample.Spectrum.Channel[i] = level;
    }
    return s;
}

// Sets channel i to value(i) for the first `count` channels; -1 stands for
// the spectrum's size. Never beyond MaxChannels.
template <typename F> void SetChannels(TSampleFile& s, F value, int count = -1) {
    const int n = std::min(count < 0 ? int(s.Sample.Spectrum.Size) : count, MaxChannels);
    for (int i = 0; i < n; ++i) {
        s.Sample.Spectrum.Channel[i] = static_cast<float>(value(i));
    }
}

// Adds a Gaussian line (see GaussianCounts) to the channels in use, each
// channel taking the value at its number.
inline void AddGaussian(TSpectrum& spectrum, double centre, double sigma, double area) {
    for (int ch = 0; ch < std::min(int(spectrum.Size), MaxChannels); ++ch) {
        spectrum.Channel[ch] += static_cast<float>(GaussianCounts(ch, centre, sigma, area));
    }
}

// Measuring time in seconds and sample mass in kg.
inline void SetMeasurement(TSampleFile& s, std::uint32_t seconds, float weight) {
    s.Sample.Parameter.SampleInterval = seconds;
    s.Sample.Parameter.Weight = weight;
}

// Channel = energy in keV.
inline constexpr TEnergyCalibration ChannelIsKeV{0, 1, 0, 0};
// An efficiency of 5 % at every energy.
inline constexpr TEfficiencyCalibration FivePercent{0.05f, 0, 0, 0};

// A peak width of `sigma` channels everywhere.
inline constexpr TPeakWidthCalibration ConstantWidth(double sigma) {
    return {static_cast<float>(sigma), 0, 0};
}

inline void SetCalibration(TSampleFile& s, const TEnergyCalibration& energy,
                           const TPeakWidthCalibration& width = {},
                           const TEfficiencyCalibration& efficiency = {}) {
    s.Calibration.ECal = energy;
    s.Calibration.WCal = width;
    s.Calibration.RCal = efficiency;
}

// A peak-list line; a limit of 0 or below means none.
inline TPeakEntry PeakLine(const QString& name, int energy, float probability = 0,
                           float limit = -1) {
    TPeakEntry p{};
    SetPeakName(p, name);
    p.Energy = static_cast<std::uint16_t>(energy);
    p.Probability = probability;
    p.Limit = limit;
    return p;
}

// Appends a line to a peak list; a full list throws, which fails the test.
inline void AddPeak(TPeakList& list, const TPeakEntry& peak) {
    if (list.Size >= MaxPeaks) {
        throw std::length_error("the peak list holds 16 lines at most");
    }
    list.Peak[list.Size++] = peak;
}

inline void AddPeak(TSampleFile& s, const QString& name, int energy, float probability,
                    float limit = -1) {
    AddPeak(s.PeakList, PeakLine(name, energy, probability, limit));
}

// A valid sample of `size` channels: a flat 100 counts per channel with a
// Gaussian peak of 10000 counts and sigma 4 channels at `centre` (each
// channel taking the value at its middle); channel = energy in keV, a width
// calibration of 4 channels, efficiency 5 %, 3600 s, 1 kg. The peak list is
// empty.
inline TSampleFile GaussianPeakSample(int size, double centre) {
    TSampleFile s = FlatSample(size);
    SetChannels(s, [&](int i) { return 100 + GaussianCounts(i + 0.5, centre, 4, 10000); });
    SetCalibration(s, ChannelIsKeV, ConstantWidth(4), FivePercent);
    SetMeasurement(s, 3600, 1);
    return s;
}

// A sample with a recognisable value in every field: counts i*k+1 in
// `channels` channels, offset 7, two peak-list lines (Cs137 with a limit,
// K40 without) and two results (a value and a detection limit).
inline std::unique_ptr<TSampleFile> MakeTestSample(int channels, std::uint32_t id,
                                                   std::uint32_t seconds = 600, int k = 3) {
    auto s = std::make_unique<TSampleFile>(FlatSample(channels));
    SetChannels(*s, [k](int i) { return i * k + 1; });
    SetMeasurement(*s, seconds, 1.25f);
    s->Sample.Parameter.SampleType = 2;
    s->Sample.Parameter.Volume = 0.5f;
    s->Sample.Parameter.SerialNumber = 1234;
    s->Sample.Parameter.SampleID = id;
    s->Sample.Spectrum.Offset = 7;
    SetCalibration(*s, {1.5f, 0.75f, -0.001f, 2e-7f}, {2.0f, 0.01f, 1e-6f},
                   {17.3f, -0.9f, 150.0f, 0.0002f});
    AddPeak(s->PeakList, PeakLine("Cs137", 662, 85.1f, 600.0f));
    AddPeak(s->PeakList, PeakLine("K40", 1461, 10.66f, -1.0f));
    s->Results.Size = 2;
    s->Results.Result[0] = TPeakResult{12.5f, 8.0f, 900.0f};
    s->Results.Result[1] = TPeakResult{400.0f, -1.0f, 0.0f};
    return s;
}
