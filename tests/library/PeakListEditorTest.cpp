#include "library/PeakListEditor.h"

#include "SampleFixtures.h"
#include "TestHelpers.h"

#include <cstring>

namespace {

TNuclideList ThreeLines() {
    TNuclideList lib{};
    const char* names[] = {"K40", "Cs137", "Bi214"};
    const int energies[] = {1461, 662, 609};
    for (int i = 0; i < 3; ++i) {
        lib.Peak[i] = PeakLine(names[i], energies[i], 10.0f + static_cast<float>(i));
    }
    lib.Size = 3;
    return lib;
}

TEST(PeakListEditorTest, AddStopsAtSixteenAndRejectsBadIndices) {
    const TNuclideList lib = ThreeLines();
    TPeakList list{};
    EXPECT_FALSE(AddLibraryEntry(list, lib, -1));
    EXPECT_FALSE(AddLibraryEntry(list, lib, 3));
    for (int i = 0; i < 16; ++i) {
        ASSERT_TRUE(AddLibraryEntry(list, lib, 1)); // the same entry may be added again
    }
    const TPeakList full = list;
    EXPECT_FALSE(AddLibraryEntry(list, lib, 0));
    EXPECT_EQ(std::memcmp(&list, &full, sizeof(list)), 0);
    EXPECT_EQ(std::memcmp(&list.Peak[15], &lib.Peak[1], sizeof(TPeakEntry)), 0);
}

TEST(PeakListEditorTest, RemoveMovesLaterEntriesDownAndKeepsTheLastSlot) {
    const TNuclideList lib = ThreeLines();
    TPeakList list{};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(AddLibraryEntry(list, lib, i));
    }
    EXPECT_FALSE(RemovePeakEntry(list, 3));
    EXPECT_FALSE(RemovePeakEntry(list, -1));
    ASSERT_TRUE(RemovePeakEntry(list, 0));
    EXPECT_EQ(list.Size, 2);
    EXPECT_EQ(PeakNameToText(list.Peak[0]), QString("Cs137"));
    EXPECT_EQ(PeakNameToText(list.Peak[1]), QString("Bi214"));
    EXPECT_EQ(PeakNameToText(list.Peak[2]), QString("Bi214")); // former last slot as it was
}

} // namespace
