#include "cli/CalibrateCommand.h"
#include "calibration/CalibrationTool.h"
#include "core/SampleFiles.h"

#include "SampleFixtures.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <ostream>

namespace {

struct TRun {
    int ExitCode;
    QString Out, Err;
};

template <typename F> TRun RunCommand(F command, const QStringList& args) {
    QString out;
    QString err;
    QTextStream o(&out);
    QTextStream e(&err);
    const int code = command(args, o, e);
    o.flush();
    e.flush();
    return {code, out, err};
}

// A Vintrava text file: 256 count lines, a peak of sigma 3 at position 100.
QByteArray VintravaText() {
    QByteArray text = "[INFO]\r\nDevice\tVintrava 2\r\nDate\t2026\r\n[CHANNELDATA]\r\n";
    for (int i = 0; i < 256; ++i) {
        text += QByteArray::number(qRound(20 + GaussianCounts(i + 0.5, 100, 3, 5000))) + "\r\n";
    }
    return text;
}

class CalibrateCommandTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString SamplePath;
    TSampleFile Sample{};

    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Sample = GaussianPeakSample(1024, 500);
        SetChannels(
            Sample, [](int i) { return i < 10 ? 5 * i : 50; }, 20);
        SamplePath = Dir.filePath("soil.vtb");
        QString error;
        ASSERT_TRUE(WriteSampleFile(SamplePath, Sample, error)) << error.toStdString();
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = Dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // The tool as the window holds it after the same ROI.
    TCalibrationTool LocatedTool(int first, int end) const {
        TCalibrationTool tool('?');
        tool.LoadSampleSpectrum(Sample);
        tool.Marker1 = first;
        tool.Marker2 = end;
        tool.UpdateRoi();
        return tool;
    }
};

// --- locate -----------------------------------------------------------------------

TEST_F(CalibrateCommandTest, LocatePrintsTheThreeEdits) {
    const TRun r =
        RunCommand(RunLocateCommand, {SamplePath, "--roi", "480:521", "--decimal-point", "?"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const TCalibrationTool tool = LocatedTool(480, 521);
    EXPECT_NEAR(tool.Position(), 500, 0.01);
    EXPECT_EQ(r.Out, "Position (Channel): " + tool.PositionText() + "\nSigma (Channels): " +
                         tool.SigmaText() + "\nFWHM [%]: " + *tool.FwhmText() + "\n");
    EXPECT_TRUE(tool.SigmaText().contains(QLatin1Char('?')));
}

TEST_F(CalibrateCommandTest, LocateJsonReadsBackToTheSameDoubles) {
    const TRun r = RunCommand(RunLocateCommand, {SamplePath, "--roi", "480:521", "--json"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
    const TCalibrationTool tool = LocatedTool(480, 521);
    EXPECT_EQ(o["Position"].toDouble(), tool.Position());
    EXPECT_EQ(o["Mean"].toDouble(), tool.Mean);
    EXPECT_EQ(o["Sigma"].toDouble(), tool.Sigma);
    EXPECT_EQ(o["FWHM"].toDouble(), tool.Sigma * 235.5 / tool.Position());
    EXPECT_EQ(o["RoiOffset"].toInt(), 480);
    EXPECT_EQ(o["RoiSize"].toInt(), 41);
}

TEST_F(CalibrateCommandTest, LocateWithoutPositionHasNoFwhm) {
    // Channels 0 to 9 rise linearly: no net peak, position 0.
    const TRun text = RunCommand(RunLocateCommand, {SamplePath, "--roi", "0:10"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err.toStdString();
    EXPECT_EQ(text.Out, "Position (Channel): 0\nSigma (Channels): 0\nFWHM [%]: \n");
    const TRun json = RunCommand(RunLocateCommand, {SamplePath, "--roi", "0:10", "--json"});
    const QJsonObject o = QJsonDocument::fromJson(json.Out.toUtf8()).object();
    EXPECT_TRUE(o["FWHM"].isNull());
    EXPECT_EQ(o["Position"].toDouble(), 0);
}

TEST_F(CalibrateCommandTest, LocateInATextSpectrum) {
    const QString path = Write("peak.txt", VintravaText());
    const TRun r = RunCommand(RunLocateCommand, {path, "--roi", "85:116", "--json"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
    EXPECT_NEAR(o["Position"].toDouble(), 100, 0.05);
    EXPECT_NEAR(o["Sigma"].toDouble(), 3, 0.1);
}

struct UsageCase {
    const char* Name;
    QStringList Args; // after the sample path
    int ExitCode;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
    *os << c.Name;
}

class LocateUsageTest : public CalibrateCommandTest,
                        public ::testing::WithParamInterface<UsageCase> {};

TEST_P(LocateUsageTest, RefusedWithNothingPrinted) {
    const UsageCase& c = GetParam();
    const TRun r = RunCommand(RunLocateCommand, QStringList{SamplePath} + c.Args);
    EXPECT_EQ(r.ExitCode, c.ExitCode);
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_FALSE(r.Err.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LocateUsageTest,
    ::testing::Values(UsageCase{.Name = "NoRoi", .Args = {}, .ExitCode = 64},
                      UsageCase{.Name = "EmptyRoi", .Args = {"--roi", "5:5"}, .ExitCode = 64},
                      UsageCase{.Name = "Reversed", .Args = {"--roi", "9:5"}, .ExitCode = 64},
                      UsageCase{.Name = "NegativeFirst", .Args = {"--roi", "-1:5"}, .ExitCode = 64},
                      UsageCase{
                          .Name = "EndBeyondArray", .Args = {"--roi", "0:4098"}, .ExitCode = 64},
                      UsageCase{.Name = "NotNumbers", .Args = {"--roi", "a:b"}, .ExitCode = 64},
                      UsageCase{.Name = "OneNumber", .Args = {"--roi", "7"}, .ExitCode = 64},
                      UsageCase{.Name = "BadSeparator",
                                .Args = {"--roi", "1:9", "--decimal-point", "x"},
                                .ExitCode = 64}),
    [](const auto& info) { return info.param.Name; });

TEST_F(CalibrateCommandTest, LocateRefusesUnreadableFiles) {
    const QString junk = Write("junk.txt", QByteArray("\x00\x01 nothing\r\n", 12));
    const TRun unknown = RunCommand(RunLocateCommand, {junk, "--roi", "1:9"});
    EXPECT_EQ(unknown.ExitCode, 66);
    EXPECT_TRUE(unknown.Err.contains(
        "not a spectrum file of the ZEMA, Vintrava, HELIOMAT7xx, SPE, N42 or CSV"))
        << unknown.Err.toStdString();
    const QString shortSample = Write("short.vtb", QByteArray(100, '\0'));
    EXPECT_EQ(RunCommand(RunLocateCommand, {shortSample, "--roi", "1:9"}).ExitCode, 66);
    EXPECT_EQ(RunCommand(RunLocateCommand, {Dir.filePath("none.vtb"), "--roi", "1:9"}).ExitCode,
              66);
}

// --- calibrate energy ---------------------------------------------------------------

const QByteArray ThreePoints =
    "Am241\t60\t30?5\t2\r\nCs137\t662\t331\t4\r\nK40\t1461\t730?5\t6\r\n";

TEST_F(CalibrateCommandTest, CalibratePrintsTheMemoAndWritesTheSample) {
    const QString points = Write("points.txt", ThreePoints);
    const QString outPath = Dir.filePath("calibrated.vtb");
    const TRun r = RunCommand(RunCalibrateCommand, {"energy", SamplePath, "--points", points, "-o",
                                                    outPath, "--decimal-point", "?"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();

    TCalibrationTool tool('?');
    tool.LoadSampleSpectrum(Sample);
    tool.Points = {
        {"Am241", "60", "30?5", "2"}, {"Cs137", "662", "331", "4"}, {"K40", "1461", "730?5", "6"}};
    tool.RecomputeRegressions();
    EXPECT_EQ(r.Out, tool.Memo.join('\n') + '\n');
    EXPECT_EQ(tool.Memo[0], "ADC:256ch; Vref:2000mV;");

    TSampleFile written{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(outPath, written, error)) << error.toStdString();
    TSampleFile expected = Sample;
    tool.ApplyTo(expected);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&written), sizeof written),
              QByteArray(reinterpret_cast<const char*>(&expected), sizeof expected));
}

TEST_F(CalibrateCommandTest, CalibrateWithATextSpectrumTakesItsAdc) {
    const QString points = Write("points.txt", ThreePoints);
    const QString spectrum = Write("peak.txt", VintravaText());
    const TRun r =
        RunCommand(RunCalibrateCommand, {"energy", SamplePath, "--points", points, "--spectrum",
                                         spectrum, "--decimal-point", "?"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QStringList lines = r.Out.split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "ADC:256ch; Vref:2500mV;");
    EXPECT_EQ(lines[1], "Size:256ch; Offset:0ch;");
}

struct CalibrateFailureCase {
    const char* Name;
    QByteArray Points;
    int ExitCode;
    const char* Err;
};

void PrintTo(const CalibrateFailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class CalibrateFailureTest : public CalibrateCommandTest,
                             public ::testing::WithParamInterface<CalibrateFailureCase> {};

TEST_P(CalibrateFailureTest, MessageExitCodeAndNoOutput) {
    const CalibrateFailureCase& c = GetParam();
    const QString points = Write("points.txt", c.Points);
    const QString outPath = Dir.filePath("calibrated.vtb");
    const TRun r = RunCommand(RunCalibrateCommand, {"energy", SamplePath, "--points", points, "-o",
                                                    outPath, "--decimal-point", "?"});
    EXPECT_EQ(r.ExitCode, c.ExitCode);
    EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
    EXPECT_TRUE(r.Err.contains(c.Err)) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(outPath));
}

INSTANTIATE_TEST_SUITE_P(
    Table, CalibrateFailureTest,
    ::testing::Values(
        CalibrateFailureCase{.Name = "OnePoint",
                             .Points = "Cs137\t662\t331\t4\r\n",
                             .ExitCode = 1,
                             .Err = "At least two calibration points are needed"},
        CalibrateFailureCase{.Name = "NoPoints", .Points = "", .ExitCode = 1, .Err = "holds 0"},
        CalibrateFailureCase{.Name = "SamePosition",
                             .Points = "A\t100\t50\t2\nB\t300\t50\t3\n",
                             .ExitCode = 1,
                             .Err = "Error in GaussJordan: matrix is singular"},
        CalibrateFailureCase{.Name = "NotANumber",
                             .Points = "A\t100\t50\t2\nB\t300\t150.5\t3\n",
                             .ExitCode = 1,
                             .Err = "Calibration point 2: Position '150.5' is not a valid number"},
        CalibrateFailureCase{.Name = "ThreeCells",
                             .Points = "A\t100\t50\t2\nB\t300\t150\n",
                             .ExitCode = 66,
                             .Err = "line 2: expected four tab-separated cells"}),
    [](const auto& info) { return info.param.Name; });

TEST_F(CalibrateCommandTest, CalibrateUsageErrors) {
    const QString points = Write("points.txt", ThreePoints);
    EXPECT_EQ(
        RunCommand(RunCalibrateCommand, {"efficiency", SamplePath, "--points", points}).ExitCode,
        64);
    EXPECT_EQ(RunCommand(RunCalibrateCommand, {"energy", SamplePath}).ExitCode, 64);
    EXPECT_EQ(RunCommand(RunCalibrateCommand, {"energy", "--points", points}).ExitCode, 64);
    EXPECT_EQ(RunCommand(RunCalibrateCommand,
                         {"energy", SamplePath, "--points", Dir.filePath("none.txt")})
                  .ExitCode,
              66);
}

} // namespace
