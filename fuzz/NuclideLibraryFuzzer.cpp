// Nuclide library text. The first byte picks the decimal separator (',' for
// a comma, anything else for a point); the rest is the file's text. Every
// accepted entry is listed, and the first 16 form the peak list of a small
// valid sample, which goes through the analysis run.
#include "FuzzUse.h"
#include "library/NuclideLibrary.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const char separator = data[0] == ',' ? ',' : '.';
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    auto library = std::make_unique<TNuclideList>();
    ParseNuclideLibrary(text, separator, *library);
    RequireFuzz(library->Size >= 0 && library->Size <= MaxLibraryEntries);

    TSampleFile sample = MakeFuzzBaseSample();
    sample.PeakList.Size = 0;
    for (int i = 0; i < library->Size; ++i) {
        const TPeakEntry entry = library->Peak[i];
        RequireFuzz(!PeakEntryText(entry).isEmpty());
        RequireFuzz(!LibraryListingLine(entry, separator).isEmpty());
        if (sample.PeakList.Size < MaxPeaks) {
            sample.PeakList.Peak[sample.PeakList.Size++] = entry;
        }
    }
    AnalyseFuzzedSample(sample);
    return 0;
}
