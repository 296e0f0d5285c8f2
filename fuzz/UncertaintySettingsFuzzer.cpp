// The uncertainty settings file. Accepted figures are shown in the settings
// dialog's texts, read back, and used for the activity statements of the
// analysis run of a small valid sample.
#include "FuzzUse.h"
#include "analysis/UncertaintySettings.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TUncertaintySettings settings;
    if (!DecodeUncertainties(bytes, settings.UncertaintySetup)) {
        return 0;
    }
    settings.UncertaintySetupValid = true;

    const TUncertaintyTexts texts = UncertaintiesToTexts(settings.UncertaintySetup, '.');
    TextsToUncertainties(texts, '.');
    HasZeroUncertainty(settings.UncertaintySetup);
    for (const float error : {-1.0f, 0.5f, 3.0f, 250.0f}) {
        const TPeakResult result{12.5f, error, 100};
        RequireFuzz(!FormatActivityStatement(settings, false, result, ',').isEmpty());
    }
    AnalyseFuzzedSample(MakeFuzzBaseSample(), settings);
    return 0;
}
