// The program's own binary files: sample files (".vtb", one 17319-byte
// TSampleFile, or the older 2742-byte short layout), energy/peak-width
// calibration files (".ewcal", 28 bytes) and efficiency calibration files
// (".rcal", 16 bytes). Raw little-endian records without header.
//
// Readers parse into a local record and assign only when the whole read
// succeeded: a failed read leaves the caller's record untouched. Writers go
// through WriteFileAtomically: a failed save returns false with a message
// naming the file and leaves the earlier file as it was.
#pragma once

#include "core/AtomicWrite.h"
#include "core/sample_types.h"

#include <QByteArray>
#include <QString>

inline constexpr int SampleFileSize = 17319;
inline constexpr int ShortSampleFileSize = 2742;
inline constexpr int ShortLayoutRecordSize = 2726;
inline constexpr int ShortLayoutChannels = 512;
inline constexpr int EWCalFileSize = 28;
inline constexpr int RCalFileSize = 16;

// Decodes the short layout into `sample`: parameters, spectrum size, offset and
// its channels, calibration, peak list, results and calibration type; Valid
// := 1 and an empty comment. Channels from Size on keep their values.
// Returns false, changing nothing, when fewer than 2726 bytes are given or
// the stored Size exceeds the 512 channels the layout holds.
bool DecodeShortLayout(const QByteArray& bytes, TSampleFile& sample);

// Decodes the contents of a sample file: exactly 2742 bytes are the short
// layout; anything else must hold at least 17319 bytes (the first 17319 are
// taken). `name` names the file in messages. On failure returns false with a
// message in `error`; `sample` is unchanged.
bool DecodeSampleFile(const QByteArray& bytes, const QString& name, TSampleFile& sample,
                      QString& error);

// Reads a sample file and decodes it as DecodeSampleFile does.
// On failure returns false with a message in `error`; `sample` is unchanged.
bool ReadSampleFile(const QString& path, TSampleFile& sample, QString& error);

// Writes the 17319 bytes of `sample` atomically.
bool WriteSampleFile(const QString& path, const TSampleFile& sample, QString& error);

// Energy and peak-width calibration file. Decoding takes the first 28 bytes;
// fewer give false with a message naming `name`, and both records unchanged.
bool DecodeEWCalFile(const QByteArray& bytes, const QString& name, TEnergyCalibration& ecal,
                     TPeakWidthCalibration& wcal, QString& error);
bool ReadEWCalFile(const QString& path, TEnergyCalibration& ecal, TPeakWidthCalibration& wcal,
                   QString& error);
bool WriteEWCalFile(const QString& path, const TEnergyCalibration& ecal,
                    const TPeakWidthCalibration& wcal, QString& error);

// Efficiency calibration file. Decoding takes the first 16 bytes; fewer give
// false with a message naming `name`, and `rcal` unchanged.
bool DecodeRCalFile(const QByteArray& bytes, const QString& name, TEfficiencyCalibration& rcal,
                    QString& error);
bool ReadRCalFile(const QString& path, TEfficiencyCalibration& rcal, QString& error);
bool WriteRCalFile(const QString& path, const TEfficiencyCalibration& rcal, QString& error);

// Reads at most `maxBytes` of a file; false with a message when it cannot be opened.
bool ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error);
