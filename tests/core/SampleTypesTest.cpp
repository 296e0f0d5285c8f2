#include "core/Ansi.h"
#include "core/sample_types.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(SampleTypesTest, RecordSizes) {
    // The offsets are checked at compile time; these are the figures a file
    // reader relies on at run time.
    EXPECT_EQ(sizeof(TSampleFile), 17319u);
    EXPECT_EQ(sizeof(TPeakEntry), 26u);
    EXPECT_EQ(sizeof(TPeakResult), 12u);
    EXPECT_EQ(sizeof(TSpecConfig), 12u);
}

TEST(SampleTypesTest, PeakNameOfSixteenCharactersHasNoTerminator) {
    TPeakEntry p{};
    std::memcpy(p.Name, "ABCDEFGHIJKLMNOP", 16);
    EXPECT_EQ(PeakNameToText(p), QString("ABCDEFGHIJKLMNOP"));
    SetPeakName(p, "Cs137");
    EXPECT_EQ(PeakNameToText(p), QString("Cs137"));
    EXPECT_EQ(p.Name[5], '\0');
    SetPeakName(p, "A very long nuclide name");
    EXPECT_EQ(PeakNameToText(p), QString("A very long nucl"));
}

TEST(SampleTypesTest, CommentIsCutTo255AndKeepsTrailingBytes) {
    TSampleFile s{};
    std::memset(s.Comment, 'z', sizeof(s.Comment));
    TextToComment(s, QString(300, QChar('x')));
    EXPECT_EQ(s.Comment[0], 255);
    EXPECT_EQ(CommentToText(s), QString(255, QChar('x')));
    TextToComment(s, "short");
    EXPECT_EQ(s.Comment[0], 5);
    EXPECT_EQ(CommentToText(s), QString("short"));
    EXPECT_EQ(s.Comment[6], 'x'); // bytes after the text are not significant and stay
}

TEST(SampleTypesTest, Windows1252BothWays) {
    const QString text =
        QString::fromUtf8("Ra\xC2\xB5 \xE2\x82\xAC \xC3\xBC \xE2\x80\x9Cq\xE2\x80\x9D");
    const std::string bytes = TextToAnsi(text);
    EXPECT_EQ(bytes, std::string("Ra\xB5 \x80 \xFC \x93q\x94"));
    EXPECT_EQ(AnsiToText(bytes), text);
    EXPECT_EQ(TextToAnsi(QString::fromUtf8("\xE4\xB8\xAD")), "?"); // not in the code page
}

} // namespace
