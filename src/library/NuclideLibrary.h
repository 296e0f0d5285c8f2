// The nuclide library: a tab-separated text file of candidate lines from
// which peak lists are built.
//
// One line per candidate: name, energy in keV, emission probability in
// percent and an optional activity limit in Bq/kg, separated by tabs; no
// header. Text is Windows-1252; lines end with LF or CR LF.
#pragma once

#include "core/sample_types.h"

#include <QString>

#include <string_view>

inline constexpr int MaxLibraryEntries = 200;
inline constexpr int LibraryNameLength = 5;

// The loaded library: entries 0 .. Size - 1 of Peak are in use.
struct TNuclideList {
    int Size = 0;
    TPeakEntry Peak[MaxLibraryEntries + 1]{};
};

// Parses one text line (without its line end) into `entry`.
// The name is cut to 5 characters, the energy rounded (halves to even) to
// whole keV, the probability and limit kept as Single; a missing fourth field
// gives the limit -1, and a fourth field that is not a number reads as -1.
// Returns false, leaving `entry` unchanged, when the line is skipped: fewer
// than three fields, an empty name (also one starting with a zero byte), an
// energy that is not a number or does not round to 0 .. 65535 keV, or a
// probability that is not a number or exactly -1.
bool ParseLibraryLine(std::string_view line, char decimalSeparator, TPeakEntry& entry);

// Parses a whole library text into `list` (replacing its contents): at most
// 200 accepted entries; lines after the 200th accepted one are not read.
// Every carriage return is dropped, so LF and CR LF line ends both work.
void ParseNuclideLibrary(std::string_view text, char decimalSeparator, TNuclideList& list);

// Reads a library file into `list`. Returns an empty text on success, or the
// reason the file could not be opened; `list` is then left unchanged.
QString ReadNuclideLibraryFile(const QString& path, char decimalSeparator, TNuclideList& list);

// How an entry is listed: name (up to its first zero byte) + " - (" + energy
// + "keV)", e.g. "Cs137 - (662keV)".
QString PeakEntryText(const TPeakEntry& entry);

// One tab-separated listing line: name, energy (keV), probability (%) and
// limit (Bq/kg, -1 for none), the Singles in their shortest form of at most 7
// significant digits: "Cs137\t662\t85.1\t600".
QString LibraryListingLine(const TPeakEntry& entry, char decimalSeparator);
