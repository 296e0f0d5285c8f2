#include "core/AtomicWrite.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <ostream>
#include <string>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct TargetCase {
    const char* Name;
    // Makes the target in `dir` and returns its path; empty when it cannot
    // be made here.
    std::function<QString(const QDir& dir)> Make;
    const char* Reason;
};

void PrintTo(const TargetCase& c, std::ostream* os) {
    *os << c.Name;
}

class NonRegularTargetTest : public ::testing::TestWithParam<TargetCase> {};

// A rename over a device node, a pipe or a directory would replace it by a
// regular file; such targets are refused and stay what they were.
TEST_P(NonRegularTargetTest, IsRefusedAndKept) {
    const TargetCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = c.Make(QDir(dir.path()));
    if (path.isEmpty()) {
        GTEST_SKIP() << "cannot make a " << c.Name << " here";
    }
    const auto entries = [&]() {
        return QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    };
    const QStringList entriesBefore = entries();
    struct stat before {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &before), 0);
    QString error;
    EXPECT_FALSE(WriteFileAtomically(path, "abc", error, QStringLiteral("sample file")));
    EXPECT_TRUE(error.startsWith("Cannot write sample file \"" + QDir::toNativeSeparators(path) +
                                 "\": " + c.Reason))
        << error.toStdString();
    struct stat after {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(entries(), entriesBefore); // no temporary file left beside it
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NonRegularTargetTest,
    ::testing::Values(TargetCase{.Name = "DeviceNode",
                                 // Root makes its own null device, so a fault here can never
                                 // replace the system's; others use /dev/null, which they
                                 // could not replace anyway.
                                 .Make = [](const QDir& dir) -> QString {
                                     if (geteuid() != 0) {
                                         return QStringLiteral("/dev/null");
                                     }
                                     const QString path = dir.filePath("node");
                                     return mknod(QFile::encodeName(path).constData(),
                                                  S_IFCHR | 0666, makedev(1, 3)) == 0
                                                ? path
                                                : QString();
                                 },
                                 .Reason = "it is not a regular file"},
                      TargetCase{.Name = "Pipe",
                                 .Make = [](const QDir& dir) -> QString {
                                     const QString path = dir.filePath("pipe");
                                     return mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                                                ? path
                                                : QString();
                                 },
                                 .Reason = "it is not a regular file"},
                      TargetCase{.Name = "Directory",
                                 .Make = [](const QDir& dir) -> QString {
                                     return dir.mkdir("folder.vtb") ? dir.filePath("folder.vtb")
                                                                    : QString();
                                 },
                                 .Reason = "it is a directory"}),
    [](const auto& info) { return info.param.Name; });

TEST(AtomicWriteTest, ReplacesFileAndFollowsLinkToRegularFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString target = dir.filePath("target.rcal");
    const QString link = dir.filePath("link.rcal");
    QString error;
    ASSERT_TRUE(WriteFileAtomically(target, "old", error)) << error.toStdString();
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(WriteFileAtomically(link, "new bytes", error)) << error.toStdString();
    EXPECT_EQ(FileBytes(target), "new bytes");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST(AtomicWriteTest, MissingFolderNamesFileAndReason) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("no/such/folder/s.vtb");
    QString error;
    EXPECT_FALSE(WriteFileAtomically(path, "abc", error));
    EXPECT_TRUE(error.startsWith("Cannot write file \"" + QDir::toNativeSeparators(path) + "\": "))
        << error.toStdString();
    EXPECT_GT(error.size(), path.size() + 25); // a reason follows
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
