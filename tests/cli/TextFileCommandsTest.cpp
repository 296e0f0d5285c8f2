// `zkcli import` and `zkcli export`, run as the user runs them.
#include "SampleFixtures.h"
#include "core/SampleFiles.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <ostream>

namespace {

struct TRun {
    int ExitCode;
    QString Out, Err;
};

const QByteArray Zema = "ZEMA\r\n2\r\n3\r\n4\r\nU\t3000?5\r\nADC\t1024 ch\r\nOff\t0\r\n8\r\n"
                        "C\t1\r\nC\t2\r\nC\t0\r\nC\t0\r\n13\r\n14\r\n15\r\n16\r\n17\r\n18\r\n19\r\n"
                        "a\tSPECTRUM\r\n21\r\n22\r\nx\t60\t5\t6\r\n";
const QByteArray Vintrava = "[INFO]\nDevice\tVintrava\n[CHANNELDATA]\n4\n5\n";
const QByteArray Heliomat = "ADR\n2\n3\n4\n5\n6\nE_min\t10\nE_max\t20\nT\t30\nSIZE\t2\n11\n12\n"
                            "1\t0\n2\t8\n3\t9\n";

class TextFileCommands : public ::testing::Test {
protected:
    QTemporaryDir Dir;

    QString Path(const QString& name) const { return Dir.filePath(name); }

    QString Write(const QString& name, const QByteArray& bytes) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return Path(name);
    }

    QByteArray Read(const QString& name) const {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    TRun Zkcli(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(Dir.path());
        p.start(ZKCLI_PATH, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(TextFileCommands, ImportPrintsLayoutAndChannelsAndWritesTheSample) {
    const QString file = Write("h.txt", Heliomat);
    const TRun r = Zkcli({"import", file, "-o", Path("out.vtb")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "HELIOMAT7xx 2\n");
    // The same import as the operation on the all-zero sample of a fresh session.
    TWorkstation session;
    ASSERT_TRUE(session.ImportSpectrum(file, '.').Ok());
    const QByteArray expected(reinterpret_cast<const char*>(&session.State.MeasuredSample),
                              sizeof(TSampleFile));
    EXPECT_EQ(Read("out.vtb"), expected);
}

TEST_F(TextFileCommands, ImportIntoASampleKeepsItsPeakList) {
    QString error;
    ASSERT_TRUE(WriteSampleFile(Path("in.vtb"), *MakeTestSample(1024, 3), error));
    const TRun r = Zkcli(
        {"import", Write("v.txt", Vintrava), "--into", Path("in.vtb"), "-o", Path("out.vtb")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, "Vintrava 256\n");
    auto out = std::make_unique<TSampleFile>();
    ASSERT_TRUE(ReadSampleFile(Path("out.vtb"), *out, error));
    EXPECT_EQ(+out->PeakList.Size, 2);
    EXPECT_EQ(+out->Sample.Spectrum.Size, 256);
    EXPECT_EQ(+out->Sample.Spectrum.Channel[1], 5.0f);
    EXPECT_EQ(+out->Calibration.ECal.C1, 0.75f); // a Vintrava file leaves the calibration
}

TEST_F(TextFileCommands, ImportJsonIsTheReadersResult) {
    const TRun r = Zkcli({"import", Write("z.txt", Zema), "--json", "--decimal-point", "?"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
    EXPECT_EQ(o["layout"].toInt(), 0);
    EXPECT_EQ(o["layoutName"].toString(), "ZEMA");
    EXPECT_EQ(o["Size"].toInt(), 2);
    EXPECT_EQ(o["Offset"].toInt(), 0);
    EXPECT_EQ(o["AdcResolution"].toInt(), 1024);
    EXPECT_EQ(o["RefVoltage"].toDouble(), 3000.5);
    EXPECT_EQ(o["LifeTime"].toInt(), 60);
    EXPECT_EQ(o["FileCalibration"].toArray(), QJsonArray({1, 2, 0, 0}));
    const QJsonArray channels = o["Channels"].toArray();
    ASSERT_EQ(channels.size(), 4097);
    EXPECT_EQ(channels[0].toInt(), 5);
    EXPECT_EQ(channels[1].toInt(), 6);
    EXPECT_EQ(channels[4096].toInt(), 0);
}

struct FailureCase {
    const char* Name;
    QStringList Args; // %F: a file of the case's bytes, %O: the output path
    QByteArray Bytes;
    int ExitCode;
    const char* Err; // part of standard error
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class FailureTest : public TextFileCommands, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, WritesNothing) {
    const FailureCase& c = GetParam();
    const QString file = Write("input", c.Bytes);
    QStringList args;
    for (const QString& a : c.Args) {
        args << (a == "%F" ? file : a == "%O" ? Path("out") : a);
    }
    const TRun r = Zkcli(args);
    EXPECT_EQ(r.ExitCode, c.ExitCode);
    EXPECT_TRUE(r.Err.contains(c.Err)) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
    EXPECT_FALSE(QFile::exists(Path("out")));
}

QByteArray InvalidSample() {
    TSampleFile s = FlatSample(4);
    s.Valid = 0;
    return QByteArray(reinterpret_cast<const char*>(&s), sizeof s);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureTest,
    ::testing::Values(
        FailureCase{"ImportUnrecognised",
                    {"import", "%F", "-o", "%O"},
                    "spectrum\n",
                    1,
                    "input: not a ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or CSV spectrum file"},
        FailureCase{"ImportConversionError",
                    {"import", "%F", "-o", "%O", "--json"},
                    "ADR\n2\n3\n4\n5\n6\nE_min\t1x\n",
                    1,
                    "input, line 7: '1x' is not a valid integer"},
        FailureCase{"ImportIntoUnreadable",
                    {"import", "%F", "--into", "%F", "-o", "%O"},
                    Heliomat,
                    1,
                    "Read beyond end of file"},
        FailureCase{"ImportBadDecimalPoint",
                    {"import", "%F", "--decimal-point", "x"},
                    Heliomat,
                    64,
                    "--decimal-point"},
        FailureCase{"ExportInvalidSample",
                    {"export", "%F", "-o", "%O"},
                    InvalidSample(),
                    1,
                    "the sample is not valid"},
        FailureCase{"ExportUnreadableSample", {"export", "%F", "-o", "%O"}, "short", 1, "input"},
        FailureCase{
            "ExportWithoutOutput", {"export", "%F"}, InvalidSample(), 64, "no output file given"}),
    [](const auto& info) { return info.param.Name; });

TEST_F(TextFileCommands, ExportWritesWhatTheMainWindowWrites) {
    auto sample = MakeTestSample(1024, 3);
    sample->Sample.Parameter.Weight = 1.1f;
    QString error;
    ASSERT_TRUE(WriteSampleFile(Path("in.vtb"), *sample, error));
    const TRun r = Zkcli({"export", Path("in.vtb"), "-o", Path("out.SPA"), "--decimal-point", ","});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.isEmpty());
    TWorkstation session;
    session.State.MeasuredSample = *sample;
    ASSERT_TRUE(session.ExportSpectrum(Path("direct.SPA"), ',').Ok());
    EXPECT_EQ(Read("out.SPA"), Read("direct.SPA"));
    EXPECT_TRUE(Read("out.SPA").startsWith("ADR\tWEIGHT:1,10000002384186\r\n"));
}

} // namespace
