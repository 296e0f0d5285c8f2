// Peak list files. An accepted list must encode back to the bytes it came
// from (the file keeps every slot byte for byte); it then replaces the list
// of a small valid sample, which goes through the analysis run.
#include "FuzzUse.h"
#include "library/PeakListFile.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TPeakList before = MakeFuzzBaseSample().PeakList;
    TPeakList list = before;
    const QString problem = DecodePeakList(bytes, list);
    if (!problem.isEmpty()) {
        // A rejected list leaves the caller's list as it was.
        RequireFuzz(std::memcmp(&list, &before, sizeof list) == 0);
        return 0;
    }
    RequireFuzz(list.Size <= MaxPeaks);
    RequireFuzz(EncodePeakList(list) == bytes.first(PeakListFileSize));
    TSampleFile sample = MakeFuzzBaseSample();
    sample.PeakList = list;
    AnalyseFuzzedSample(sample);
    return 0;
}
