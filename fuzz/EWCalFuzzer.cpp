// Energy and peak-width calibration files. An accepted calibration replaces
// that of a small valid sample, which then goes through the analysis run.
#include "FuzzUse.h"
#include "core/SampleFiles.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TEnergyCalibration ecal{};
    TPeakWidthCalibration wcal{};
    QString error;
    if (!DecodeEWCalFile(bytes, QStringLiteral("fuzz.ewcal"), ecal, wcal, error)) {
        RequireFuzz(!error.isEmpty());
        return 0;
    }
    TSampleFile sample = MakeFuzzBaseSample();
    sample.Calibration.ECal = ecal;
    sample.Calibration.WCal = wcal;
    AnalyseFuzzedSample(sample);
    sample.CalibrationType = 1; // the width as a function of the energy
    AnalyseFuzzedSample(sample);
    return 0;
}
