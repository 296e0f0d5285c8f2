#include "PackedField.h"
#include "SampleFixtures.h"
#include "core/SampleFiles.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// Three clear Gaussian lines (5 %, 1 kg, 3600 s) and one line without a
// peak, which the analysis gives no positive area.
TSampleFile ReferenceSample() {
    TSampleFile s = FlatSample(2048, 100);
    SetMeasurement(s, 3600, 1);
    SetCalibration(s, ChannelIsKeV, ConstantWidth(6), FivePercent);
    s.Calibration.RCal.Ecut = 100;
    for (const int e : {80, 600, 1400}) {
        AddGaussian(s.Sample.Spectrum, e, 6, 40000);
    }
    AddPeak(s, "Low", 80, 50);
    AddPeak(s, "None", 300, 50);
    AddPeak(s, "Mid", 600, 50);
    AddPeak(s, "High", 1400, 50);
    return s;
}

struct Result {
    int exitCode;
    QString out, err;
};

class CalibrateEfficiencyCommandTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString samplePath;

    void SetUp() override {
        QString error;
        samplePath = dir.filePath("reference.vtb");
        ASSERT_TRUE(WriteSampleFile(samplePath, ReferenceSample(), error));
    }

    Result Run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(ZKCLI_PATH, QStringList{"calibrate", "efficiency"} + args);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};

TEST_F(CalibrateEfficiencyCommandTest, TextShowsGridEditsAndDeviations) {
    const QString outPath = dir.filePath("out.vtb");
    const Result r = Run({samplePath, "--activity", "99.5", "--ecut", "100?0", "--decimal-point",
                          "?", "-o", outPath});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("warning: Invalid input - reference activity set to 1000 Bq/kg\n"))
        << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 3 + 4 + 3) << r.out.toStdString();
    EXPECT_EQ(lines[0], "Nuclide\tEnergy [keV]\tProbability [%]\tActivity[Bq/kg]\tCounts");
    EXPECT_TRUE(lines[1].startsWith("Low\t80\t50\t1000\t")) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith("Mid\t600\t")) << lines[2].toStdString();
    EXPECT_TRUE(lines[4].startsWith("A: ")) << lines[4].toStdString();
    EXPECT_EQ(lines[6], "Ecut: 100?000000");
    // Two power-law points: the fit passes through both.
    EXPECT_TRUE(lines[8].startsWith("600 keV\t")) << lines[8].toStdString();
    EXPECT_TRUE(lines[10].startsWith("80 keV\t")) << lines[10].toStdString();

    TSampleFile written{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(outPath, written, error)) << error.toStdString();
    EXPECT_EQ(FieldValue(written.PeakList.Size), 3);
    EXPECT_EQ(FieldValue(written.Calibration.RCal.Ecut), 100);
}

TEST_F(CalibrateEfficiencyCommandTest, JsonRCalReadsBackAsStored) {
    const QString outPath = dir.filePath("out.vtb");
    const Result r = Run({samplePath, "--interval", "7", "--weight", "-5", "--activity", "2000",
                          "--json", "--decimal-point", ".", "-o", outPath});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
    // Interval and weight are valid: their answers are not asked for.
    EXPECT_TRUE(root["warnings"].toArray().isEmpty());
    EXPECT_EQ(root["grid"].toArray().size(), 3) << r.out.toStdString();
    const QJsonArray points = root["points"].toArray();
    ASSERT_EQ(points.size(), 3);
    EXPECT_EQ(points[0].toObject()["part"].toString(), "power");
    EXPECT_EQ(points[2].toObject()["part"].toString(), "line");
    EXPECT_EQ(points[0].toObject()["deviation"].toString().right(1), "%");

    TSampleFile written{};
    QString error;
    ASSERT_TRUE(ReadSampleFile(outPath, written, error));
    const QJsonObject rcal = root["RCal"].toObject();
    EXPECT_EQ(static_cast<float>(rcal["A0"].toDouble()), FieldValue(written.Calibration.RCal.A0));
    EXPECT_EQ(static_cast<float>(rcal["B0"].toDouble()), FieldValue(written.Calibration.RCal.B0));
    EXPECT_EQ(static_cast<float>(rcal["m"].toDouble()), FieldValue(written.Calibration.RCal.m));
    EXPECT_EQ(root["edits"].toObject()["Ecut"].toString(), "100.000000");
    EXPECT_EQ(FieldValue(written.Sample.Parameter.SampleInterval), 3600u);
    EXPECT_EQ(FieldValue(written.Results.Result[0].Activity), 2000);
}

TEST_F(CalibrateEfficiencyCommandTest, FitErrorWritesNothing) {
    // Both power-law lines at one energy: the fit is singular.
    TSampleFile s = ReferenceSample();
    s.PeakList.Peak[3].Energy = 600;
    QString error;
    ASSERT_TRUE(WriteSampleFile(samplePath, s, error));
    const QString outPath = dir.filePath("out.vtb");
    const Result r = Run({samplePath, "--activity", "1000", "--decimal-point", ".", "-o", outPath});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    EXPECT_TRUE(r.err.contains("singular")) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(outPath));
}

TEST_F(CalibrateEfficiencyCommandTest, UsageErrors) {
    EXPECT_EQ(Run({samplePath}).exitCode, 64);
    EXPECT_EQ(Run({samplePath, "--activity", "1", "--ecut", "abc"}).exitCode, 64);
    EXPECT_EQ(Run({"--activity", "1"}).exitCode, 64);
}

} // namespace
