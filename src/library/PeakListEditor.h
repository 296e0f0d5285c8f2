// The peak list editor as the commands see it, and the list edits that its
// buttons make.
#pragma once

#include "core/sample_types.h"
#include "library/NuclideLibrary.h"

#include <QString>

inline const QString EditedByUserOrigin = QStringLiteral("edited by user");

// The modal editor. GetPeakList shows `list` for editing; when the user
// confirms it, `list` receives the edited record (all 417 bytes) and `origin`
// where it came from, and the result is true. Otherwise neither changes.
class TPeakListEditor {
public:
    virtual ~TPeakListEditor() = default;
    virtual bool GetPeakList(TPeakList& list, QString& origin) = 0;
};

// Appends library entry `index` (26 bytes as they stand) to `list`. Returns
// false and changes nothing when `index` is not a loaded entry or the list
// already holds 16 entries.
bool AddLibraryEntry(TPeakList& list, const TNuclideList& library, int index);

// Removes entry `index`, moving the later entries one place down. The former
// last slot keeps its bytes. Returns false and changes nothing when `index`
// is not an entry in use.
bool RemovePeakEntry(TPeakList& list, int index);
