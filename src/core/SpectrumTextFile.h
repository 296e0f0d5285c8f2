// Spectrum text files of other instrument families: reading the ZEMA,
// Vintrava and HELIOMAT7xx layouts into the calibration tool's integer
// spectrum, and writing a sample as an SPA file (the HELIOMAT7xx layout).
#pragma once

#include "core/sample_types.h"

#include <QString>

#include <array>
#include <cstdint>

// 4097 counts, indices 0 to 4096.
inline constexpr int CalChannels = 4097;
using TChannelArray = std::array<std::int32_t, CalChannels>;

// The calibration tool's working spectrum (in memory only).
struct TCalSpectrum {
    std::int32_t Size = -1;         // channels in use; -1 before any spectrum is loaded
    std::int32_t Offset = 0;        // channel number of Channels[0]
    std::int32_t AdcResolution = 0; // ADC channels over the reference voltage
    double RefVoltage = 0;          // millivolts
    TChannelArray Channels{};
    std::int32_t LifeTime = 0;
};

// The energy calibration found in a file: four coefficients, constant first.
using TFileCalibration = std::array<double, 4>;

enum class TTextLayout : std::uint8_t {
    Zema = 0,
    Vintrava = 1,
    Heliomat = 2,
    Unrecognised = 255,
};

// The layout's name as the calibration tool's caption shows it: "ZEMA",
// "Vintrava", "HELIOMAT7xx"; empty for Unrecognised.
QString TextLayoutName(TTextLayout layout);

// Reads the spectrum text file `path`, numbers with `decimalSeparator`.
// Fields the file does not provide keep the values they had on entry. A file
// that cannot be opened or matches no layout gives Unrecognised and changes
// nothing. A header value that must be a number and is not throws
// EConversionError naming the file and the line; `spectrum` and
// `calibration` may then be partly overwritten. Never stores outside the
// 4097 channels.
TTextLayout ReadSpectrumTextFile(const QString& path, char decimalSeparator,
                                 TCalSpectrum& spectrum, TFileCalibration& calibration);
