// Small sample records built in code for the tests.
#pragma once

#include "core/sample_types.h"

#include <cmath>
#include <numbers>

// A valid sample of `size` channels: a flat 100 counts per channel with a
// Gaussian peak of 10000 counts and sigma 4 channels at `centre`; channel =
// energy in keV, a width calibration of 4 channels, efficiency 5 %,
// 3600 s, 1 kg. The peak list is empty.
inline TSampleFile GaussianPeakSample(int size, double centre) {
    TSampleFile s{};
    s.Valid = 1;
    s.Sample.Parameter.SampleInterval = 3600;
    s.Sample.Parameter.Weight = 1;
    s.Sample.Spectrum.Size = static_cast<std::uint16_t>(size);
    for (int i = 0; i < size; ++i) {
        const double z = (i + 0.5 - centre) / 4.0;
        const double g = 10000.0 / (4 * std::sqrt(2 * std::numbers::pi)) * std::exp(-0.5 * z * z);
        s.Sample.Spectrum.Channel[i] = static_cast<float>(100 + g);
    }
    s.Calibration.ECal = {0, 1, 0, 0};
    s.Calibration.WCal = {4, 0, 0};
    s.Calibration.RCal = {0.05f, 0, 0, 0};
    return s;
}

// Appends a line to the sample's peak list.
inline void AddPeak(TSampleFile& s, const char* name, int energy, float probability,
                    float limit = -1) {
    TPeakEntry p{};
    SetPeakName(p, name);
    p.Energy = static_cast<std::uint16_t>(energy);
    p.Probability = probability;
    p.Limit = limit;
    s.PeakList.Peak[s.PeakList.Size++] = p;
}
