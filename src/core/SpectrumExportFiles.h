// The exchange formats "Sample" -> "Export" writes besides the SPA file:
// ASCII SPE, N42-2012 XML and two-column CSV.
#pragma once

#include "core/Prompt.h"
#include "core/SpectrumTextFile.h"
#include "core/sample_types.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

enum class TExportFormat : std::uint8_t {
    Spa = 0,
    Spe = 1,
    N42 = 2,
    Csv = 3,
};

// What a spectrum file carries besides the sample record: the energy (keV)
// of array index i as c[0] + c[1]*i + c[2]*i^2 + c[3]*i^3, and the
// measurement's start. Either may be missing; a writer then leaves its
// section out.
struct TExportExtras {
    std::optional<TFileCalibration> EnergyOfChannel;
    // "yyyy-MM-ddTHH:mm:ss" with optional fraction and offset, as
    // MeasurementStartText accepts it; empty when unknown.
    std::string Start;
};

// The format a file name's extension names, compared without case: ".spa",
// ".spe", ".n42", ".csv". Anything else gives std::nullopt.
std::optional<TExportFormat> ExportFormatOfExtension(const QString& path);

// The format named by --format: "spa", "spe", "n42", "csv" (without case).
std::optional<TExportFormat> ExportFormatOfName(const QString& name);

// The dialog of "Sample" -> "Export": the SPA filter first (and its default
// extension), then SPE, N42 and CSV. The chosen name's extension decides
// the format.
TFileDialogOptions SpectrumExportDialog();

// The ASCII SPE file of `sample`, lines ending in CR LF: $SPEC_ID (the
// comment, line breaks as blanks), $SPEC_REM (serial number, sample ID, weight, volume), $DATE_MEA
// when the start is known, $MEAS_TIM (the sample interval as live and real
// time), $DATA (channels 0 to Size - 1, at most 4096, counts rounded half to
// even), and when the calibration is known $ENER_FIT (its straight line) and
// $MCA_CAL (all its coefficients up to the last one that is not zero, at
// least two), then $ENDRECORD.
QByteArray SpeFileText(const TSampleFile& sample, const TExportExtras& extras);

// The N42-2012 document of `sample` (namespace
// http://physics.nist.gov/N42/2011/N42): the instrument with its serial
// number, one detector, the energy calibration when known, and one
// foreground RadMeasurement with the start (when known), real and live time
// (both the sample interval) and the counts of channels 0 to Size - 1.
QByteArray N42FileText(const TSampleFile& sample, const TExportExtras& extras);

// Two-column CSV, lines ending in CR LF: comment lines "# live time (s),T",
// "# start,S" (when known), "# energy (keV) of channel,c0,c1,..." (when
// known, as for $MCA_CAL), "# serial number,N", "# sample ID,N" and
// "# description,TEXT" (when the comment is not empty), the header
// "channel,counts", then one line per channel (0 to Size - 1, at most 4096)
// with the rounded count. Spreadsheets show the comment lines as rows of
// their own; our reader takes live time, start, calibration and description
// from them.
QByteArray CsvSpectrumText(const TSampleFile& sample, const TExportExtras& extras);
