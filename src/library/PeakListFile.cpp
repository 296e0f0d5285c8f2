#include "library/PeakListFile.h"

#include "core/AtomicWrite.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

QString DecodePeakList(const QByteArray& bytes, TPeakList& list) {
    if (bytes.size() < PeakListFileSize) {
        return QString("too short: %1 of %2 bytes").arg(bytes.size()).arg(PeakListFileSize);
    }
    TPeakList parsed{};
    std::memcpy(&parsed, bytes.constData(), sizeof(parsed));
    if (parsed.Size > MaxPeaks) {
        return QString("%1 entries in use, at most %2 are allowed").arg(parsed.Size).arg(MaxPeaks);
    }
    list = parsed;
    return {};
}

QByteArray EncodePeakList(const TPeakList& list) {
    return QByteArray(reinterpret_cast<const char*>(&list), PeakListFileSize);
}

QString ReadPeakListFile(const QString& path, TPeakList& list) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString("Cannot open peak list file \"%1\": %2").arg(path, file.errorString());
    }
    const QByteArray bytes = file.read(PeakListFileSize);
    const QString problem = DecodePeakList(bytes, list);
    if (!problem.isEmpty()) {
        return QString("\"%1\" is not a valid peak list file: %2").arg(path, problem);
    }
    return {};
}

QString WritePeakListFile(const QString& path, const TPeakList& list) {
    QString error;
    if (!WriteFileAtomically(path, EncodePeakList(list), error, QStringLiteral("peak list file"))) {
        return error;
    }
    return {};
}
