// Random sample records for robustness tests: some are raw random bytes
// (NaN and huge floats, sizes far beyond the arrays), some are plausible
// records with one hostile field, so that the deeper paths run too. Kept apart
// from SampleFixtures.h: these records are meant to be invalid.
#pragma once

#include "core/sample_types.h"

#include <cstring>
#include <limits>
#include <random>

class THostileRecords {
public:
    explicit THostileRecords(unsigned seed) : Random(seed) {}

    TSampleFile Next() {
        TSampleFile s{};
        if (Pick(4) == 0) {
            auto* bytes = reinterpret_cast<unsigned char*>(&s);
            for (std::size_t i = 0; i < sizeof s; ++i) {
                bytes[i] = static_cast<unsigned char>(Pick(256));
            }
            s.Valid = 1;
            return s;
        }
        s.Valid = 1;
        s.Sample.Parameter.SampleInterval = static_cast<std::uint32_t>(Pick(3) == 0 ? 0 : 3600);
        s.Sample.Parameter.Weight = Pick(5) == 0 ? 0.0f : 0.5f;
        const int sizes[] = {0, 1, 7, 100, 512, 1024, 4096, 4097, 65535};
        s.Sample.Spectrum.Size = static_cast<std::uint16_t>(sizes[Pick(9)]);
        s.Sample.Spectrum.Offset = static_cast<std::uint16_t>(Pick(4) == 0 ? Pick(5000) : 0);
        for (int i = 0; i < MaxChannels; ++i) {
            s.Sample.Spectrum.Channel[i] = static_cast<float>(Pick(1000));
        }
        s.Calibration.ECal = {Value(0, 50), Value(0, 4), Value(-1e-4, 1e-4), Value(-1e-8, 1e-8)};
        s.Calibration.WCal = {Value(-1, 10), Value(-0.01, 0.05), Value(-1e-5, 1e-5)};
        s.Calibration.RCal = {Value(-1, 20), Value(-1.5, 0.5), Value(0, 700), Value(-0.001, 0.001)};
        s.CalibrationType = static_cast<std::uint8_t>(Pick(3));
        s.PeakList.Size = static_cast<std::uint8_t>(Pick(6) == 0 ? 200 : Pick(17));
        for (int i = 0; i < MaxPeaks; ++i) {
            TPeakEntry p{};
            std::memcpy(p.Name, "Line with a long name", 16);
            p.Energy = static_cast<std::uint16_t>(Pick(4) == 0 ? Pick(65536) : Pick(3000));
            p.Probability = Value(-5, 100);
            p.Limit = Value(-1, 100);
            s.PeakList.Peak[i] = p;
        }
        s.Results.Size = static_cast<std::uint8_t>(Pick(256));
        s.Comment[0] = static_cast<std::uint8_t>(Pick(256));
        return s;
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(Random); }

    // Mostly a value in [lo, hi]; sometimes zero, NaN, an infinity or a huge value.
    float Value(double lo, double hi) {
        switch (Pick(12)) {
        case 0:
            return 0;
        case 1:
            return std::numeric_limits<float>::quiet_NaN();
        case 2:
            return std::numeric_limits<float>::infinity();
        case 3:
            return -3e38f;
        default:
            return static_cast<float>(std::uniform_real_distribution<double>(lo, hi)(Random));
        }
    }

    std::mt19937 Random;
};
