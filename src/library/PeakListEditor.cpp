#include "library/PeakListEditor.h"

bool AddLibraryEntry(TPeakList& list, const TNuclideList& library, int index) {
    if (index < 0 || index >= library.Size || index >= MaxLibraryEntries || list.Size >= MaxPeaks) {
        return false;
    }
    list.Peak[list.Size] = library.Peak[index];
    ++list.Size;
    return true;
}

bool RemovePeakEntry(TPeakList& list, int index) {
    const int size = UsablePeaks(list);
    if (index < 0 || index >= size) {
        return false;
    }
    for (int k = index; k + 1 < size; ++k) {
        list.Peak[k] = list.Peak[k + 1];
    }
    list.Size = static_cast<std::uint8_t>(size - 1);
    return true;
}
