// Sample files in both layouts: the reader picks the short layout for exactly
// 2742 bytes and the full record otherwise. The short layout's decoder also
// sees every input long enough for it, whatever its length. An accepted
// sample goes through the analysis run.
#include "FuzzUse.h"
#include "core/SampleFiles.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // A failed read names its reason and leaves the record as it was.
    const TSampleFile before = MakeFuzzBaseSample();
    TSampleFile sample = before;
    QString error;
    if (DecodeSampleFile(bytes, QStringLiteral("fuzz.vtb"), sample, error)) {
        AnalyseFuzzedSample(sample);
    } else {
        RequireFuzz(!error.isEmpty());
        RequireFuzz(std::memcmp(&sample, &before, sizeof sample) == 0);
    }

    TSampleFile shortLayout = MakeFuzzBaseSample();
    if (DecodeShortLayout(bytes, shortLayout)) {
        RequireFuzz(shortLayout.Sample.Spectrum.Size <= ShortLayoutChannels);
        AnalyseFuzzedSample(shortLayout);
    }
    return 0;
}
