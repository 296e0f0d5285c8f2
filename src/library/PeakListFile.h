// Peak list files (".gpl"): one TPeakList record, 417 bytes, little-endian,
// without header. Entries from index Size on are not significant but are
// kept byte for byte, so a list read and written again is unchanged.
#pragma once

#include "core/sample_types.h"

#include <QByteArray>
#include <QString>

inline constexpr int PeakListFileSize = static_cast<int>(sizeof(TPeakList));

// Decodes the first 417 bytes of `bytes` into `list`. Returns an empty text on
// success, otherwise the reason (fewer than 417 bytes, or a Size above 16);
// `list` is then left unchanged. Bytes beyond the record are ignored.
QString DecodePeakList(const QByteArray& bytes, TPeakList& list);

// The 417 bytes of the record, insignificant slots included.
QByteArray EncodePeakList(const TPeakList& list);

// Reads a peak list file. Returns an empty text on success, otherwise a
// message naming the file and what was wrong; `list` is then unchanged.
QString ReadPeakListFile(const QString& path, TPeakList& list);

// Writes the 417 bytes atomically (a failed save leaves any previous file as
// it was). Returns an empty text on success, otherwise a message naming the
// file and the reason.
QString WritePeakListFile(const QString& path, const TPeakList& list);
