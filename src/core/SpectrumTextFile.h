// Spectrum text files of other instrument families: reading the ZEMA,
// Vintrava and HELIOMAT7xx layouts into the calibration tool's integer
// spectrum, and writing a sample as an SPA file (the HELIOMAT7xx layout).
#pragma once

#include "core/Prompt.h"
#include "core/sample_types.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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
    // SPE, CSV and N42 files: the number of channels beyond the array whose
    // counts were not stored, the file's description for the comment (with
    // the measurement's start, see DescriptionWithStart) and the start alone
    // (see MeasurementStartText; empty when the file gives none).
    std::int32_t Dropped = 0;
    std::string Description;
    std::string Start;
    // The instrument's serial number and the sample ID that an N42 or CSV
    // file names (0 to 65535); -1 when it names none.
    std::int32_t SerialNumber = -1;
    std::int32_t SampleID = -1;
};

// A measurement's start as the exchange files carry it and the comment keeps
// it: "yyyy-MM-ddTHH:mm:ss", optionally with a fraction of a second and an
// offset ("Z", "+01:00"), a wall-clock time as the file gave it. Returns the
// text trimmed when it is such a date and time that exists, else empty.
std::string MeasurementStartText(std::string_view text);

// "description, started START" (or either alone), the description cut so
// that the whole fits the MaxCommentLength bytes of a sample's comment and
// the start is kept.
std::string DescriptionWithStart(std::string_view description, std::string_view start);

// The start that DescriptionWithStart put into a comment: the date and time
// after its last "started ", empty when there is none.
std::string MeasurementStartOfComment(std::string_view comment);

// The energy calibration found in a file: four coefficients, constant first.
// ZEMA and HELIOMAT7xx files give millivolts or channels of the energy; SPE
// files give the energy in keV of the channel number, all zero when the file
// has none.
using TFileCalibration = std::array<double, 4>;

enum class TTextLayout : std::uint8_t {
    Zema = 0,
    Vintrava = 1,
    Heliomat = 2,
    Spe = 3,
    Csv = 4,
    N42 = 5,
    Unrecognised = 255,
};

// SPE, CSV and N42: the exchange layouts, whose files name their own
// description, start and (N42, CSV) instrument, and whose calibration gives
// the energy of the channel.
bool IsExchangeLayout(TTextLayout layout);

// True when every coefficient is zero: the file gives no calibration.
bool IsAllZero(const TFileCalibration& calibration);

// The layout's name as the calibration tool's caption shows it: "ZEMA",
// "Vintrava", "HELIOMAT7xx", "SPE", "CSV", "N42"; empty for Unrecognised.
QString TextLayoutName(TTextLayout layout);

// Reads the spectrum text file `path`, numbers with `decimalSeparator`.
// Fields the file does not provide keep the values they had on entry. A file
// that cannot be opened, is not a regular file or matches no layout gives
// Unrecognised and changes nothing. A header value that must be a number and
// is not throws EConversionError naming the file and the line; so do a
// HELIOMAT7xx SIZE outside 0 to 4096, a ZEMA data line with more than 4097
// counts, and a spectrum that runs on beyond the first MaxSpectrumTextBytes
// of the file. After an error `spectrum` and `calibration` are unchanged.
//
// Line numbers and values follow the three layouts; counts that are not
// 32-bit integers read as 0, header values that are not (or lie outside the
// 32-bit range) are conversion errors. Vintrava count lines beyond the 4097
// entries are dropped. HELIOMAT7xx groups of 2 or 4 lines (2048 or 4096 ADC
// channels) fill the 1024 channels from index 0; single lines fill from
// index 1. The HELIOMAT7xx calibration puts E_min at channel 0:
// calibration[0] = -E_min * calibration[1].
//
// SPE files start with a "$KEY:" line. The count of channel c of "$DATA:"'s
// range "first last" goes to index c; the channels are the count values
// read (a range that disagrees with them is followed by the values), and
// channels from 4096 on are counted in Dropped. Counts must be integers
// from 0 to 2^31 - 1. "$MEAS_TIM:" gives the live time (rounded), "$MCA_CAL:"
// (or, when it is missing or all zero, "$ENER_FIT:") the calibration,
// "$SPEC_ID:" and "$DATE_MEA:" ("MM/dd/yyyy HH:mm:ss", the start) the
// description; a date in another form goes into the description as it is.
// CSV files have lines "channel,counts", the first line may be a header;
// channel numbers from 0, counts as for SPE. Lines starting with '#' are
// comments; those the CSV writer makes carry "live time (s)", "start",
// "energy (keV) of channel" (up to four coefficients, constant first),
// "serial number", "sample ID" and "description", each followed by a comma
// and its value (a serial number or sample ID that is not a whole number
// from 0 to 65535 is passed over).
// N42-2012 files (XML) give the first Spectrum of the first RadMeasurement
// of class "Foreground" (else of the first RadMeasurement), its live time,
// the EnergyCalibration it names, the instrument's RadInstrumentIdentifier
// as serial number when it is a whole number from 0 to 65535, and which
// measurement it was, its Remark and its start in the description. Elements nested more than 64
// deep, malformed XML and a file without a spectrum are conversion errors.
TTextLayout ReadSpectrumTextFile(const QString& path, char decimalSeparator, TCalSpectrum& spectrum,
                                 TFileCalibration& calibration);

// The part of a file the reader looks at; every layout ends long before it.
inline constexpr qint64 MaxSpectrumTextBytes = 64LL * 1024 * 1024;

// ReadSpectrumTextFile on bytes already read; `name` names the file in
// messages. With `complete` false the bytes are only the file's beginning,
// and needing a line beyond them throws EConversionError.
TTextLayout DecodeSpectrumText(std::string_view bytes, const QString& name, char decimalSeparator,
                               TCalSpectrum& spectrum, TFileCalibration& calibration,
                               bool complete = true);

// The dialogs of "Sample" -> "Import" and "Export".
TFileDialogOptions SpectrumTextOpenDialog();
TFileDialogOptions SpaSaveDialog();

// The SPA file of `sample`, lines ending in CR LF: the header, one line per
// channel (at most the 4096 the record holds) with the count rounded half to
// even, an empty line and the comment's bytes. `firstEnergy` and
// `lastEnergy` are the rounded energies (keV) of channel 0 and of channel
// Size - 1; std::nullopt writes "E_min\t0" and an "E_max\t" line that ends
// at the tab. Weight and volume are written in general form with
// `decimalSeparator`.
QByteArray SpaFileText(const TSampleFile& sample, std::optional<std::int64_t> firstEnergy,
                       std::optional<std::int64_t> lastEnergy, char decimalSeparator);

// Writes an SPA file atomically. On failure returns false with `error`
// naming the file and the reason; the file that was there is left as it was.
bool WriteSpaFile(const QString& path, const QByteArray& text, QString& error);
