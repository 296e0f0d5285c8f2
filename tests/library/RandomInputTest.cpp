// Random bytes and random library text never make the readers step outside
// their records, and every list they accept stays within its bounds.
#include "library/NuclideLibrary.h"
#include "library/PeakListFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

TEST(RandomInputTest, ReadersStayInBounds) {
    std::mt19937 random(417);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const std::string alphabet = "Cs137\t661.66\t85.1\t600\r\n-.,e9x ";
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes(pick(900), '\0');
        for (char& c : bytes) {
            c = static_cast<char>(pick(256));
        }
        TPeakList list{};
        if (DecodePeakList(bytes, list).isEmpty()) {
            EXPECT_LE(list.Size, MaxPeaks);
        }

        std::string text;
        const int length = pick(4000);
        for (int i = 0; i < length; ++i) {
            text.push_back(pick(8) == 0 ? static_cast<char>(pick(256))
                                        : alphabet[pick(static_cast<int>(alphabet.size()))]);
        }
        TNuclideList library{};
        ParseNuclideLibrary(text, round % 2 ? ',' : '.', library);
        ASSERT_GE(library.Size, 0);
        ASSERT_LE(library.Size, 200);
    }
}

} // namespace
