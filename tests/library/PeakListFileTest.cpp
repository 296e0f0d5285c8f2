#include "library/PeakListFile.h"

#include "TestHelpers.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>

namespace {

// Stays here: a byte pattern in all 417 bytes, not a list of lines, so that a
// round trip shows every byte.
TPeakList PatternList(std::uint8_t size) {
    TPeakList list{};
    auto* bytes = reinterpret_cast<unsigned char*>(&list);
    for (std::size_t i = 0; i < sizeof(list); ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3); // insignificant slots too
    }
    list.Size = size;
    return list;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

TEST(PeakListFileTest, RoundTripKeepsAll417Bytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("list.gpl");
    for (std::uint8_t size : {0, 3, 16}) {
        const TPeakList written = PatternList(size);
        ASSERT_TRUE(WritePeakListFile(path, written).isEmpty());
        EXPECT_EQ(QFileInfo(path).size(), 417);
        TPeakList read{};
        ASSERT_TRUE(ReadPeakListFile(path, read).isEmpty());
        EXPECT_EQ(std::memcmp(&read, &written, sizeof(read)), 0) << int(size);
    }
}

TEST(PeakListFileTest, InvalidFilesLeaveTheListUnchanged) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray good = EncodePeakList(PatternList(2));
    QByteArray tooMany = good;
    tooMany[0] = 17;
    struct Case {
        const char* File;
        QByteArray Bytes;
        const char* Expected;
    };
    const Case cases[] = {
        {"empty.gpl", QByteArray(), "too short: 0 of 417 bytes"},
        {"size-byte-only.gpl", good.left(1), "too short: 1 of 417 bytes"},
        {"last-entry-cut.gpl", good.left(416), "too short: 416 of 417 bytes"},
        {"seventeen.gpl", tooMany, "17 entries in use, at most 16 are allowed"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.File);
        WriteBytes(path, c.Bytes);
        TPeakList list = PatternList(5);
        const TPeakList before = list;
        const QString error = ReadPeakListFile(path, list);
        EXPECT_TRUE(error.contains(c.Expected)) << c.File << ": " << error.toStdString();
        EXPECT_TRUE(error.contains(c.File)) << error.toStdString();
        EXPECT_EQ(std::memcmp(&list, &before, sizeof(list)), 0) << c.File;
    }
    TPeakList list{};
    EXPECT_TRUE(ReadPeakListFile(dir.filePath("none.gpl"), list).contains("Cannot open"));
}

TEST(PeakListFileTest, FailedSaveKeepsThePreviousFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString error = WritePeakListFile(dir.filePath("no/such/dir/list.gpl"), PatternList(1));
    EXPECT_TRUE(error.startsWith("Cannot write peak list file")) << error.toStdString();

    // A file longer than one record still reads its first record.
    const QString path = dir.filePath("long.gpl");
    WriteBytes(path, EncodePeakList(PatternList(4)) + QByteArray(10, 'x'));
    TPeakList list{};
    ASSERT_TRUE(ReadPeakListFile(path, list).isEmpty());
    EXPECT_EQ(list.Size, 4);
}

} // namespace
