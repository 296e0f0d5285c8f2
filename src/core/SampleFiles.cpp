#include "core/SampleFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

template <typename T> void CopyOut(const QByteArray& bytes, qsizetype offset, T& value) {
    std::memcpy(&value, bytes.constData() + offset, sizeof(T));
}

QString ShortFileMessage(const QString& name, qsizetype have, int need) {
    return QStringLiteral("Read beyond end of file: %1 holds %2 of %3 bytes")
        .arg(name)
        .arg(have)
        .arg(need);
}

} // namespace

bool ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Could not open %1: %2").arg(path, file.errorString());
        return false;
    }
    bytes = file.read(maxBytes);
    return true;
}

bool DecodeShortLayout(const QByteArray& bytes, TSampleFile& sample) {
    if (bytes.size() < ShortLayoutRecordSize) {
        return false;
    }
    TSampleFile s = sample;
    std::uint16_t size = 0;
    std::uint16_t offset = 0;
    CopyOut(bytes, 19, size);
    CopyOut(bytes, 21, offset);
    if (size > ShortLayoutChannels) {
        return false;
    }
    CopyOut(bytes, 0, s.Sample.Parameter);
    s.Sample.Spectrum.Size = size;
    s.Sample.Spectrum.Offset = offset;
    for (int i = 0; i < size; ++i) {
        float v = 0;
        CopyOut(bytes, 23 + 4 * i, v);
        s.Sample.Spectrum.Channel[i] = v;
    }
    CopyOut(bytes, 2071, s.Calibration);
    CopyOut(bytes, 2115, s.PeakList);
    CopyOut(bytes, 2532, s.Results);
    CopyOut(bytes, 2725, s.CalibrationType);
    s.Valid = 1;
    s.Comment[0] = 0;
    sample = s;
    return true;
}

bool DecodeSampleFile(const QByteArray& bytes, const QString& name, TSampleFile& sample,
                      QString& error) {
    if (bytes.size() == ShortSampleFileSize) {
        if (!DecodeShortLayout(bytes, sample)) {
            error = QStringLiteral("%1 is not a valid short sample file").arg(name);
            return false;
        }
        return true;
    }
    if (bytes.size() < SampleFileSize) {
        error = ShortFileMessage(name, bytes.size(), SampleFileSize);
        return false;
    }
    CopyOut(bytes, 0, sample);
    return true;
}

bool ReadSampleFile(const QString& path, TSampleFile& sample, QString& error) {
    // At most 17319 bytes are read, so a file of any other length than the
    // short layout's never arrives as 2742 bytes.
    QByteArray bytes;
    if (!ReadFileBytes(path, SampleFileSize, bytes, error)) {
        return false;
    }
    return DecodeSampleFile(bytes, QFileInfo(path).fileName(), sample, error);
}

bool WriteSampleFile(const QString& path, const TSampleFile& sample, QString& error) {
    return WriteFileAtomically(path,
                               QByteArray(reinterpret_cast<const char*>(&sample), sizeof sample),
                               error, QStringLiteral("sample file"));
}

bool DecodeEWCalFile(const QByteArray& bytes, const QString& name, TEnergyCalibration& ecal,
                     TPeakWidthCalibration& wcal, QString& error) {
    if (bytes.size() < EWCalFileSize) {
        error = ShortFileMessage(name, bytes.size(), EWCalFileSize);
        return false;
    }
    CopyOut(bytes, 0, ecal);
    CopyOut(bytes, 16, wcal);
    return true;
}

bool ReadEWCalFile(const QString& path, TEnergyCalibration& ecal, TPeakWidthCalibration& wcal,
                   QString& error) {
    QByteArray bytes;
    if (!ReadFileBytes(path, EWCalFileSize, bytes, error)) {
        return false;
    }
    return DecodeEWCalFile(bytes, QFileInfo(path).fileName(), ecal, wcal, error);
}

bool WriteEWCalFile(const QString& path, const TEnergyCalibration& ecal,
                    const TPeakWidthCalibration& wcal, QString& error) {
    QByteArray bytes(reinterpret_cast<const char*>(&ecal), sizeof ecal);
    bytes.append(reinterpret_cast<const char*>(&wcal), sizeof wcal);
    return WriteFileAtomically(path, bytes, error, QStringLiteral("calibration file"));
}

bool DecodeRCalFile(const QByteArray& bytes, const QString& name, TEfficiencyCalibration& rcal,
                    QString& error) {
    if (bytes.size() < RCalFileSize) {
        error = ShortFileMessage(name, bytes.size(), RCalFileSize);
        return false;
    }
    CopyOut(bytes, 0, rcal);
    return true;
}

bool ReadRCalFile(const QString& path, TEfficiencyCalibration& rcal, QString& error) {
    QByteArray bytes;
    if (!ReadFileBytes(path, RCalFileSize, bytes, error)) {
        return false;
    }
    return DecodeRCalFile(bytes, QFileInfo(path).fileName(), rcal, error);
}

bool WriteRCalFile(const QString& path, const TEfficiencyCalibration& rcal, QString& error) {
    return WriteFileAtomically(path, QByteArray(reinterpret_cast<const char*>(&rcal), sizeof rcal),
                               error, QStringLiteral("efficiency calibration file"));
}
