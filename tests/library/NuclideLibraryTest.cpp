#include "library/NuclideLibrary.h"

#include "TestHelpers.h"

#include <QTemporaryDir>

#include <cctype>
#include <cfloat>
#include <fstream>
#include <ostream>
#include <string>

namespace {

struct LineCase {
    const char* Title;
    const char* Line;
    bool Accepted;
    const char* Name = "";
    int Energy = 0;
    float Probability = 0;
    float Limit = 0;
};

void PrintTo(const LineCase& c, std::ostream* os) {
    *os << c.Title;
}

class LibraryLineTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LibraryLineTest, ParsesOrSkips) {
    const LineCase& c = GetParam();
    TPeakEntry entry{};
    std::memset(&entry, 0x5A, sizeof(entry));
    const TPeakEntry before = entry;
    // A comma as decimal separator shows that the separator is a parameter.
    ASSERT_EQ(ParseLibraryLine(c.Line, ',', entry), c.Accepted) << c.Title;
    if (!c.Accepted) {
        EXPECT_EQ(std::memcmp(&entry, &before, sizeof(entry)), 0) << c.Title;
        return;
    }
    EXPECT_EQ(PeakNameToText(entry), QString(c.Name)) << c.Title;
    EXPECT_EQ(+entry.Energy, c.Energy) << c.Title;
    EXPECT_EQ(+entry.Probability, c.Probability) << c.Title;
    EXPECT_EQ(+entry.Limit, c.Limit) << c.Title;
    for (std::size_t i = std::strlen(c.Name); i < sizeof(entry.Name); ++i) {
        EXPECT_EQ(entry.Name[i], '\0') << c.Title; // zero-filled after the name
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LibraryLineTest,
    ::testing::Values(
        LineCase{.Title = "four fields",
                 .Line = "Cs137\t661,66\t85,1\t600",
                 .Accepted = true,
                 .Name = "Cs137",
                 .Energy = 662,
                 .Probability = 85.1f,
                 .Limit = 600},
        // Numbers beyond a Single's range are stored as the largest Single;
        // ones below its smallest as 0 (a plain conversion is undefined).
        LineCase{.Title = "huge probability and limit",
                 .Line = "Cs137\t661,66\t1e300\t-1e300",
                 .Accepted = true,
                 .Name = "Cs137",
                 .Energy = 662,
                 .Probability = FLT_MAX,
                 .Limit = -FLT_MAX},
        LineCase{.Title = "tiny probability and limit",
                 .Line = "Cs137\t661,66\t1e-300\t-1e-300",
                 .Accepted = true,
                 .Name = "Cs137",
                 .Energy = 662,
                 .Probability = 0,
                 .Limit = 0},
        LineCase{.Title = "three fields: no limit",
                 .Line = "Ra226\t186,2\t3,6",
                 .Accepted = true,
                 .Name = "Ra226",
                 .Energy = 186,
                 .Probability = 3.6f,
                 .Limit = -1},
        LineCase{.Title = "name cut to five",
                 .Line = "Cs-137\t661,66\t85,1",
                 .Accepted = true,
                 .Name = "Cs-13",
                 .Energy = 662,
                 .Probability = 85.1f,
                 .Limit = -1},
        LineCase{.Title = "half rounds to even (down)",
                 .Line = "A\t60,5\t1",
                 .Accepted = true,
                 .Name = "A",
                 .Energy = 60,
                 .Probability = 1,
                 .Limit = -1},
        LineCase{.Title = "half rounds to even (up)",
                 .Line = "A\t61,5\t1",
                 .Accepted = true,
                 .Name = "A",
                 .Energy = 62,
                 .Probability = 1,
                 .Limit = -1},
        LineCase{.Title = "text after the fourth field",
                 .Line = "K40\t1461\t10,66\t5\tnote\tx",
                 .Accepted = true,
                 .Name = "K40",
                 .Energy = 1461,
                 .Probability = 10.66f,
                 .Limit = 5},
        LineCase{.Title = "limit not a number",
                 .Line = "K40\t1461\t10,66\tnone",
                 .Accepted = true,
                 .Name = "K40",
                 .Energy = 1461,
                 .Probability = 10.66f,
                 .Limit = -1},
        LineCase{.Title = "empty fourth field",
                 .Line = "K40\t1461\t10,66\t",
                 .Accepted = true,
                 .Name = "K40",
                 .Energy = 1461,
                 .Probability = 10.66f,
                 .Limit = -1},
        LineCase{.Title = "energy not a number", .Line = "Cs137\tabc\t85,1", .Accepted = false},
        LineCase{.Title = "point with comma separator",
                 .Line = "Cs137\t661.66\t85,1",
                 .Accepted = false},
        LineCase{.Title = "probability not a number", .Line = "Cs137\t662\tx", .Accepted = false},
        LineCase{.Title = "probability exactly -1", .Line = "Cs137\t662\t-1", .Accepted = false},
        LineCase{.Title = "empty name", .Line = "\t662\t85,1", .Accepted = false},
        LineCase{.Title = "name and energy only", .Line = "Cs137\t662", .Accepted = false},
        LineCase{.Title = "name only", .Line = "Cs137", .Accepted = false},
        LineCase{.Title = "empty line", .Line = "", .Accepted = false},
        LineCase{.Title = "negative energy", .Line = "X\t-5\t1", .Accepted = false},
        LineCase{.Title = "energy beyond 16 bits", .Line = "X\t70000\t1", .Accepted = false}),
    [](const auto& info) {
        std::string name = info.param.Title;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(NuclideLibraryTest, StopsAfter200EntriesAndSkipsBadLines) {
    std::string text = "bad line\r\n";
    for (int i = 0; i < 250; ++i) {
        text += "N" + std::to_string(i) + "\t" + std::to_string(100 + i) + ".4\t1.5\r\n";
    }
    TNuclideList list{};
    ParseNuclideLibrary(text, '.', list);
    ASSERT_EQ(list.Size, 200);
    EXPECT_EQ(PeakNameToText(list.Peak[0]), QString("N0"));
    EXPECT_EQ(PeakNameToText(list.Peak[199]), QString("N199"));
    EXPECT_EQ(+list.Peak[199].Energy, 299);
    EXPECT_EQ(+list.Peak[200].Energy, 0); // the spare slot is never filled
}

TEST(NuclideLibraryTest, LineEndsAndStrayCarriageReturns) {
    // LF, CR LF, a CR inside a field and a last line without a line end.
    const std::string text = "A\t10\t1\nB\t2\r0\t2\r\nC\t30\t3";
    TNuclideList list{};
    ParseNuclideLibrary(text, '.', list);
    ASSERT_EQ(list.Size, 3);
    EXPECT_EQ(+list.Peak[1].Energy, 20);
    EXPECT_EQ(+list.Peak[2].Probability, 3.0f);
    EXPECT_EQ(+list.Peak[2].Limit, -1.0f);
}

TEST(NuclideLibraryTest, ArbitraryBytesNeverOverrunTheList) {
    // Pseudo-random texts made of the characters that matter to the parser.
    const char alphabet[] = "\t\r\n0123456789.,-eE xA\x00\xFF";
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int length = static_cast<int>(seed % 4000);
        for (int i = 0; i < length; ++i) {
            seed = seed * 1664525u + 1013904223u;
            text.push_back(alphabet[(seed >> 16) % (sizeof(alphabet) - 1)]);
        }
        TNuclideList list{};
        ParseNuclideLibrary(text, '.', list);
        ASSERT_GE(list.Size, 0);
        ASSERT_LE(list.Size, MaxLibraryEntries);
        for (int i = 0; i < list.Size; ++i) {
            ASSERT_NE(list.Peak[i].Name[0], '\0');
            ASSERT_NE(+list.Peak[i].Probability, -1.0f);
        }
    }
}

TEST(NuclideLibraryTest, ListingLineUsesTheGivenSeparator) {
    TPeakEntry entry{};
    ASSERT_TRUE(ParseLibraryLine("Cs137\t661?66\t85?1\t600", '?', entry));
    EXPECT_EQ(LibraryListingLine(entry, '?'), QString("Cs137\t662\t85?1\t600"));
    ASSERT_TRUE(ParseLibraryLine("Ra226\t186?2\t3?555", '?', entry));
    EXPECT_EQ(LibraryListingLine(entry, ','), QString("Ra226\t186\t3,555\t-1"));
}

TEST(NuclideLibraryTest, FileReadKeepsWindows1252NameAndFailsCleanly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("lib.txt");
    {
        std::ofstream f(path.toStdString(), std::ios::binary);
        f << "\xB5Test\t100\t50\r\n"; // 0xB5 is the micro sign in Windows-1252
    }
    TNuclideList list{};
    ASSERT_TRUE(ReadNuclideLibraryFile(path, '.', list).isEmpty());
    ASSERT_EQ(list.Size, 1);
    EXPECT_EQ(list.Peak[0].Name[0], '\xB5');
    EXPECT_EQ(PeakEntryText(list.Peak[0]), QString::fromUtf8("\xC2\xB5Test - (100keV)"));

    const QString error = ReadNuclideLibraryFile(dir.filePath("missing.txt"), '.', list);
    EXPECT_TRUE(error.contains("missing.txt")) << error.toStdString();
    EXPECT_EQ(list.Size, 1); // unchanged
}

} // namespace
