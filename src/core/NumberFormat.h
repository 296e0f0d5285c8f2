// The one place where numbers become text and text becomes numbers.
//
// Every function takes the decimal separator as a parameter; the program
// passes the user's locale's (LocaleDecimalSeparator), tests pass odd ones.
// Ties round to the even neighbour everywhere, both in Round and in the
// decimal rounding of the formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// NaN gives 0; values beyond the 64-bit range saturate.
std::int64_t Round(double x);

// Fixed (precision p, d decimals): the value rounded once, to at most p
// significant digits and at most d decimals, written without exponent or
// thousands separators with exactly d decimals; digits beyond the p-th
// significant one are zeros (12.345, p 3, d 3 -> "12.300"). When the rounded
// integer part has more than p digits the value is written in the general
// exponent form instead ("1.23E5"). p is clamped to 1..18, d to 0..18.
// NaN and infinities give "NAN", "INF" and "-INF".
std::string FormatFixed(double value, int precision, int decimals, char decimalSeparator);

// General form: the shortest text with at most `significantDigits` (1..18)
// significant digits; fixed notation unless the magnitude is below 0.00001 or
// the integer part has more than `significantDigits` digits, then
// "d.dddE-n" / "d.dddEn" (no plus sign, no leading zeros in the exponent).
// A Single passed here is widened exactly: 1.1f gives "1.10000002384186".
std::string FormatGeneral(double value, char decimalSeparator, int significantDigits = 15);

// Scientific form of the calibration memo: five significant digits,
// "E", the exponent's sign (always) and the exponent without leading zeros:
// 0.26128 -> "2.6128E-1", 1 -> "1.0000E+0".
std::string FormatScientific(double value, char decimalSeparator);

// Reads a decimal number written with the given separator: optional blanks,
// sign, digits with an optional fraction, optional exponent (e or E), optional
// blanks. Returns false, leaving `value` unchanged, for anything else.
bool TryParseNumber(std::string_view text, char decimalSeparator, double& value);

// TryParseNumber, or `fallback` when the text is not a number.
double ParseNumberOr(std::string_view text, char decimalSeparator, double fallback);

// Reads a whole decimal number: optional leading blanks, sign, digits, nothing
// after. Returns false, leaving `value` unchanged, for anything else
// (including a number with decimals and values outside the 64-bit range).
bool TryParseInteger(std::string_view text, std::int64_t& value);

// The decimal separator of the user's locale (a '.' when it is not one byte).
char LocaleDecimalSeparator();
