#include "SampleFixtures.h"
#include "analysis/AnalysisRun.h"
#include "core/SampleFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cmath>

namespace {

TSampleFile PeakSample() {
    TSampleFile s = GaussianPeakSample(1024, 500);
    s.Sample.Parameter.Weight = 0.5f;
    s.Sample.Parameter.SerialNumber = 77;
    AddPeak(s, "Cs137", 500, 85.1f, 10);
    AddPeak(s, "K40", 800, 10.7f);
    return s;
}

struct Result {
    int exitCode;
    QString out, err;
};

class AnalyseCommandTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString samplePath;

    void SetUp() override {
        QString error;
        samplePath = dir.filePath("soil.vtb");
        ASSERT_TRUE(WriteSampleFile(samplePath, PeakSample(), error));
    }

    Result Run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path()); // no settings file there
        p.start(ZKCLI_PATH, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(AnalyseCommandTest, TextIsTheReportOfTheRun) {
    const Result r = Run({"analyse", samplePath, "--decimal-point", "?", "--detailed"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Zel-Korda SN: 77; Weight: 0?50 kg; Time: 3600 s; Sample-ID: 0");
    EXPECT_TRUE(lines[1].startsWith("Cs137, 500keV: R: 1?")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("K40, 800keV: < ")) << lines[2].toStdString();
    EXPECT_TRUE(r.err.contains("no uncertainty settings")) << r.err.toStdString();
}

TEST_F(AnalyseCommandTest, JsonCarriesTheStoredSingles) {
    const Result r = Run({"analyse", samplePath, "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    const QJsonArray peaks = root["peaks"].toArray();
    ASSERT_EQ(peaks.size(), 2);

    // The same run in this process gives the same single-precision values.
    TAnalysisState state;
    state.MeasuredSample = PeakSample();
    TAnalysisOptions options;
    options.Selected = 0;
    const TAnalysisRun run = AnalyseSample(state, options, TUncertaintySettings{});
    const QJsonObject first = peaks[0].toObject();
    EXPECT_EQ(float(first["activity"].toDouble()), float(run.Peaks[0].Result.Activity));
    EXPECT_EQ(float(first["error"].toDouble()), float(run.Peaks[0].Result.Error));
    EXPECT_EQ(float(first["area"].toDouble()), float(run.Peaks[0].Result.Area));
    EXPECT_EQ(first["source"].toString(), "roi");
    EXPECT_EQ(first["code"].toInt(), 0);
    EXPECT_EQ(first["colour"].toString(), "red"); // above its limit of 10 Bq/kg
    EXPECT_TRUE(first["totalUncertainty"].isNull());
    EXPECT_EQ(first["line"].toString(), run.Lines[0].Text);
    const QJsonObject second = peaks[1].toObject();
    EXPECT_EQ(second["code"].toInt(), 2);
    EXPECT_TRUE(second["line"].isNull()); // not detailed: no line
    EXPECT_EQ(root["origins"].toArray()[2].toString(), "Peak list: soil.vtb");
}

TEST_F(AnalyseCommandTest, UnreadableFilesFailClearly) {
    const struct {
        const char* name;
        QByteArray bytes;
        const char* message;
    } cases[] = {
        {"short.vtb", QByteArray(100, '\0'), "Could not open "},
        {"missing.vtb", QByteArray(), "no such file"},
        {"wrong.txt", QByteArray(SampleFileSize, '\0'), "must end in .vtb"},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(c.name);
        if (!c.bytes.isEmpty()) {
            QString error;
            ASSERT_TRUE(WriteFileAtomically(path, c.bytes, error));
        }
        const Result r = Run({"analyse", path});
        EXPECT_EQ(r.exitCode, 66) << c.name;
        EXPECT_TRUE(r.err.contains(c.message)) << c.name << ": " << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << c.name;
    }
}

TEST_F(AnalyseCommandTest, HelpListsExitCodesAndUsageErrorsExit64) {
    const Result top = Run({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    EXPECT_TRUE(top.out.contains("64   usage error"));
    const Result help = Run({"analyse", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: zkcli analyse [options] SAMPLE.vtb"));
    EXPECT_TRUE(help.out.contains("--background"));
    EXPECT_TRUE(help.out.contains("66   an input file could not be read"));
    const struct {
        QStringList args;
        const char* message;
    } cases[] = {
        {{"--frobnicate"}, "Unknown option 'frobnicate'"},
        {{"--select", "2"}, "--select takes a peak index from 0 to 1"},
        {{"--select", "x"}, "--select needs a peak index"},
        {{"--decimal-point", "5"}, "--decimal-point takes one character"},
        {{"--decimal-point", "e"}, "--decimal-point takes one character"},
        {{"--decimal-point", "-"}, "--decimal-point takes one character"},
        {{"--decimal-point", ",,"}, "--decimal-point takes one character"},
        {{"--trapezoid", "7"}, "--trapezoid takes all or peak indices 0 to 1"},
    };
    for (const auto& c : cases) {
        const Result r = Run(QStringList{"analyse", samplePath} + c.args);
        EXPECT_EQ(r.exitCode, 64) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("Usage: zkcli analyse"));
        EXPECT_TRUE(r.out.isEmpty());
    }
    EXPECT_EQ(Run({}).exitCode, 64);
    EXPECT_EQ(Run({"frobnicate"}).exitCode, 64);
}

TEST_F(AnalyseCommandTest, UnfitBackgroundIsAWarningOnStandardError) {
    QString error;
    const QString background = dir.filePath("bg.vtb");
    TSampleFile bg = PeakSample();
    bg.Sample.Spectrum.Size = 512;
    ASSERT_TRUE(WriteSampleFile(background, bg, error));
    const Result r = Run({"analyse", samplePath, "--background", background, "--subtract"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.count("Background spectrum size does not fit with sample, subtraction not "
                          "possible"),
              1)
        << r.err.toStdString();
    EXPECT_FALSE(r.out.contains("does not fit"));
}

TEST_F(AnalyseCommandTest, LibraryWithoutEntriesWarns) {
    QFile f(dir.filePath("lib.txt"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("K40\t1460.8\t10.66\n");
    f.close();
    const Result comma = Run({"library", f.fileName(), "--decimal-point", ","});
    EXPECT_EQ(comma.exitCode, 0);
    EXPECT_TRUE(comma.out.isEmpty());
    EXPECT_TRUE(comma.err.contains("no entries read")) << comma.err.toStdString();
    const Result point = Run({"library", f.fileName(), "--decimal-point", "."});
    EXPECT_TRUE(point.out.startsWith("K40\t1461"));
    EXPECT_TRUE(point.err.isEmpty());
    EXPECT_EQ(Run({"library", dir.filePath("none.txt")}).exitCode, 66);
}

} // namespace
