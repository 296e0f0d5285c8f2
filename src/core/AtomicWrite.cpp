#include "core/AtomicWrite.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString& error,
                         const QString& what) {
    const auto fail = [&](const QString& reason) {
        error = QStringLiteral("Cannot write %1 \"%2\": %3")
                    .arg(what, QDir::toNativeSeparators(path), reason);
        return false;
    };
    // The rename at the end would put a regular file in place of a device
    // node, a pipe or a directory; such targets are refused up front.
    const QFileInfo target(path);
    if (target.exists() && !target.isFile()) {
        return fail(target.isDir() ? QStringLiteral("it is a directory")
                                   : QStringLiteral("it is not a regular file"));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(file.errorString());
    }
    // Small records stay in the device's write buffer until a flush, and a
    // failing flush inside commit() would still rename the short temporary
    // file over the old one; so flush and check the length before committing.
    // A short write leaves Qt without a reason of its own ("Unknown error");
    // the system's is then in errno, which only a failing call sets.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason =
            errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (file.size() != bytes.size()) {
        file.cancelWriting();
        return fail(
            QStringLiteral("only %1 of %2 bytes were written").arg(file.size()).arg(bytes.size()));
    }
    if (!file.commit()) {
        return fail(file.errorString());
    }
    return true;
}
