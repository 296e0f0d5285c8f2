// Every save of the program's own files on a file system that cannot take
// the bytes: the call reports the failure naming the file and the system's
// reason, and the earlier file keeps its content. Each case runs in a forked
// child, so the file-size limit and the private mount end with it.
#include "analysis/UncertaintySettings.h"
#include "core/SampleFiles.h"
#include "library/PeakListFile.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Writes version 1 or 2 of a record to `path`.
using TWriter = std::function<bool(const QString& path, int version, QString& error)>;

struct SaveCase {
    const char* Name;
    const char* FileName;
    TWriter Write;
};

const SaveCase SaveCases[] = {
    {.Name = "SampleFile",
     .FileName = "Soil.vtb",
     .Write =
         [](const QString& path, int version, QString& error) {
             TSampleFile sample{};
             sample.Valid = 1;
             sample.Sample.Parameter.SampleID = static_cast<std::uint32_t>(version);
             return WriteSampleFile(path, sample, error);
         }},
    {.Name = "EnergyWidthCalibration",
     .FileName = "Detector.ewcal",
     .Write =
         [](const QString& path, int version, QString& error) {
             const TEnergyCalibration ecal{1.5f * static_cast<float>(version), 0.7f, 0, 0};
             const TPeakWidthCalibration wcal{2, 0.01f, 0};
             return WriteEWCalFile(path, ecal, wcal, error);
         }},
    {.Name = "EfficiencyCalibration",
     .FileName = "Detector.rcal",
     .Write =
         [](const QString& path, int version, QString& error) {
             const TEfficiencyCalibration rcal{0.02f * static_cast<float>(version), 0, 10, 0};
             return WriteRCalFile(path, rcal, error);
         }},
    {.Name = "PeakList",
     .FileName = "Natural.gpl",
     .Write =
         [](const QString& path, int version, QString& error) {
             TPeakList list{};
             list.Size = static_cast<std::uint8_t>(version);
             error = WritePeakListFile(path, list);
             return error.isEmpty();
         }},
    {.Name = "UncertaintySettings",
     .FileName = "UncertaintySettings.usf",
     .Write =
         [](const QString& path, int version, QString& error) {
             return SaveUncertaintySettings({0.01 * version, 0.05, 0.03, 2}, error, path);
         }},
};

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Runs `body` in a forked child and returns what it reports: empty when all
// went well, "skip: ..." when the child could not set up its conditions,
// otherwise the failure.
std::string RunInChild(const std::function<std::string()>& body) {
    int fds[2];
    if (pipe(fds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = fork();
    if (pid < 0) {
        return "fork failed";
    }
    if (pid == 0) {
        close(fds[0]);
        const std::string report = body();
        const ssize_t written = write(fds[1], report.data(), report.size());
        _exit(written == static_cast<ssize_t>(report.size()) ? 0 : 1);
    }
    close(fds[1]);
    std::string report;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0) {
        report.append(buffer, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child ended abnormally: " + report;
    }
    return report;
}

// Writes version 1, lets `limit` take the space away, then saves version 2
// over it; checks the report and that the directory holds the old file as it
// was and nothing else of ours.
std::string SaveOverGoodFile(const SaveCase& c, const QString& dir,
                             const std::function<std::string()>& limit, int expectedErrno) {
    const QString path = QDir(dir).filePath(c.FileName);
    QString error;
    if (!c.Write(path, 1, error)) {
        return "writing the good file failed: " + error.toStdString();
    }
    const QByteArray good = FileBytes(path);
    if (const std::string problem = limit(); !problem.empty()) {
        return problem;
    }
    if (c.Write(path, 2, error)) {
        return "the save reported success";
    }
    std::string problems;
    if (!error.contains(path)) {
        problems += "message does not name the file: " + error.toStdString() + "; ";
    }
    if (!error.contains(QString::fromLocal8Bit(std::strerror(expectedErrno)))) {
        problems += "message does not give the reason: " + error.toStdString() + "; ";
    }
    if (FileBytes(path) != good) {
        problems += "the earlier file changed; ";
    }
    const QStringList left = QDir(dir).entryList(QDir::Files | QDir::Hidden);
    for (const QString& name : left) {
        if (name != c.FileName && name != "filler") {
            problems += "left behind: " + name.toStdString() + "; ";
        }
    }
    return problems;
}

void PrintTo(const SaveCase& c, std::ostream* os) {
    *os << c.Name;
}

class SaveFailureTest : public ::testing::TestWithParam<SaveCase> {};

TEST_P(SaveFailureTest, FileSizeLimitKeepsEarlierFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string report = RunInChild([&]() {
        return SaveOverGoodFile(
            GetParam(), dir.path(),
            []() -> std::string {
                std::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{10, 10}; // below every record's size
                return setrlimit(RLIMIT_FSIZE, &limit) == 0 ? "" : "setrlimit failed";
            },
            EFBIG);
    });
    EXPECT_EQ(report, "");
}

TEST_P(SaveFailureTest, FullFileSystemKeepsEarlierFile) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string report = RunInChild([&]() -> std::string {
        // A private mount namespace: the tmpfs is seen by this child only and
        // goes away with it.
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return std::string("skip: no private mount namespace: ") + std::strerror(errno);
        }
        const QByteArray mountPoint = QFile::encodeName(dir.path());
        if (mount("zk-full", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0) {
            return std::string("skip: cannot mount a tmpfs: ") + std::strerror(errno);
        }
        return SaveOverGoodFile(
            GetParam(), dir.path(),
            [&]() -> std::string {
                QFile filler(QDir(dir.path()).filePath("filler"));
                if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                    return "cannot create the filler";
                }
                const QByteArray block(1024, 'x');
                while (filler.write(block) > 0) {
                }
                return "";
            },
            ENOSPC);
    });
    if (report.rfind("skip: ", 0) == 0) {
        GTEST_SKIP() << report;
    }
    EXPECT_EQ(report, "");
}

INSTANTIATE_TEST_SUITE_P(Kinds, SaveFailureTest, ::testing::ValuesIn(SaveCases),
                         [](const auto& info) { return info.param.Name; });

} // namespace
