// The laboratory's uncertainty figures, their settings file and the total
// uncertainty and activity statements built from them.
//
// The settings file holds exactly one TUncertainties record (32 bytes, four
// little-endian IEEE-754 doubles, no header) and is opened relative to the
// current working directory at each load and save.
#pragma once

#include "core/sample_types.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <type_traits>

#pragma pack(push, 1)

struct TUncertainties {
    double uScale;      // relative standard uncertainty of the scale, fraction (0.01 = 1 %)
    double uEfficiency; // relative standard uncertainty of the efficiency calibration, fraction
    double uCurve;      // maximum deviation of the efficiency curve, fraction
    double uFactor;     // extension (coverage) factor, e.g. 2
};

#pragma pack(pop)

static_assert(sizeof(TUncertainties) == 32);
static_assert(offsetof(TUncertainties, uScale) == 0);
static_assert(offsetof(TUncertainties, uEfficiency) == 8);
static_assert(offsetof(TUncertainties, uCurve) == 16);
static_assert(offsetof(TUncertainties, uFactor) == 24);
static_assert(std::is_trivially_copyable_v<TUncertainties>);

// The figures in force. Every consumer tests UncertaintySetupValid first.
struct TUncertaintySettings {
    TUncertainties UncertaintySetup{};
    bool UncertaintySetupValid = false;
};

inline constexpr char UncertaintyFileName[] = "UncertaintySettings.usf";

inline constexpr char NoUncertaintySettingsMessage[] =
    "No valid uncertainty settings found! Use menu option \"Calibration -> Define "
    "uncertainties\" for correct definition.";

enum class TUncertaintyLoadStatus {
    Loaded,   // settings valid
    NotFound, // the file cannot be opened
    ReadError // the file is shorter than 32 bytes or cannot be read
};

// Decodes the first 32 bytes of a settings file's contents (anything after
// them is ignored). False, leaving `values` unchanged, for fewer bytes.
bool DecodeUncertainties(const QByteArray& bytes, TUncertainties& values);

// Reads the first 32 bytes of the settings file (anything after them is
// ignored). Loaded: both fields of `settings` set, valid. Otherwise
// UncertaintySetupValid := false and UncertaintySetup is left unchanged; for
// ReadError `error` names the file and what was wrong.
TUncertaintyLoadStatus LoadUncertaintySettings(TUncertaintySettings& settings, QString& error,
                                               const QString& path = UncertaintyFileName);

// Replaces the settings file by the 32-byte record, atomically: a failed save
// leaves any previous file as it was. Returns false with `error` naming the
// file and the reason.
bool SaveUncertaintySettings(const TUncertainties& values, QString& error,
                             const QString& path = UncertaintyFileName);

// Total expanded relative uncertainty in percent, for a counting uncertainty
// in percent at one standard deviation:
// (uFactor * sqrt((x/100)^2 + uScale^2 + uEfficiency^2) + uCurve) * 100,
// in extended precision. Returns false with total 0 without valid settings.
bool GetTotalUncertainty(const TUncertaintySettings& settings, double countingPercent,
                         double& total);

// The activity text of a peak result for the printed protocol (label false)
// or label (label true); the result's Area is not used. A is the activity
// with one decimal:
// - Error <= 0: "< A Bq/kg" when A > 0, otherwise "Invalid parameters";
// - label: "A Bq/kg";
// - protocol with valid settings: "A Bq/kg +/- u %" with the total
//   uncertainty u rounded to a whole number, or "A Bq/kg +/- < 1 %";
// - protocol without valid settings: the counting uncertainty (Error) in
//   parentheses, as the report writes it: "A Bq/kg +/- (e) %" or
//   "A Bq/kg +/- (< 1) %".
QString FormatActivityStatement(const TUncertaintySettings& settings, bool label,
                                const TPeakResult& result, char decimalSeparator);

// The dialog's edit texts: the three fractions in percent, the factor as is.
struct TUncertaintyTexts {
    QString Scale, Efficiency, Curve, Factor;
};

// Each value fixed with 3 significant digits and 3 decimals (5 % -> "5.000").
TUncertaintyTexts UncertaintiesToTexts(const TUncertainties& values, char decimalSeparator);

// Reads the texts back (percent / 100 for the fractions); text that is not a
// number reads as 0. No range check: negative values are kept.
TUncertainties TextsToUncertainties(const TUncertaintyTexts& texts, char decimalSeparator);

// True when any of the four values is 0.
bool HasZeroUncertainty(const TUncertainties& values);
