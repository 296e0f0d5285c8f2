// Efficiency calibration files. An accepted calibration replaces that of a
// small valid sample, which then goes through the analysis run.
#include "FuzzUse.h"
#include "core/SampleFiles.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TEfficiencyCalibration rcal{};
    QString error;
    if (!DecodeRCalFile(bytes, QStringLiteral("fuzz.rcal"), rcal, error)) {
        RequireFuzz(!error.isEmpty());
        return 0;
    }
    TSampleFile sample = MakeFuzzBaseSample();
    sample.Calibration.RCal = rcal;
    AnalyseFuzzedSample(sample);
    return 0;
}
