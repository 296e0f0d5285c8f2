// Atomic replacement of a file's contents, shared by every save of the
// program's own files (samples, calibrations, peak lists, settings).
#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` by `bytes`: they go to a temporary file beside
// it, which is flushed, checked for its full length and only then renamed over
// the old file. A symbolic link to a regular file is followed, and its target
// replaced. Returns true on success. On any failure (no space left, a file
// size limit, no permission, `path` naming a directory, a device or a pipe)
// returns false with `error` = Cannot write <what> "<path>": <reason>; the
// file that was there before is left as it was and no temporary file remains.
// `what` names the kind of file for the user, such as "sample file".
bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error,
                         const QString& what = QStringLiteral("file"));
