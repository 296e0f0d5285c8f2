#include "PackedField.h"
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

// Splits one CSV line into its fields (quoted fields with doubled quotes).
QStringList CsvFields(const QString& line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    fields << field;
    return fields;
}

TEST_F(AnalyseCommandTest, SeveralFilesGiveOneCsvRowPerPeakAndSkipUnreadableOnes) {
    QString error;
    TSampleFile other = PeakSample();
    other.Sample.Parameter.SerialNumber = 78;
    other.Sample.Parameter.SampleID = 4711;
    const QString otherPath = dir.filePath("clay, wet \"B\".vtb"); // needs quoting
    ASSERT_TRUE(WriteSampleFile(otherPath, other, error));
    const QString missing = dir.filePath("missing.vtb");

    const Result r = Run({"analyse", samplePath, missing, otherPath, "--csv"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("missing.vtb: not analysed")) << r.err.toStdString();
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5); // header, two peaks of each readable file
    const QStringList header = CsvFields(lines[0]);
    ASSERT_EQ(header.size(), 15);
    EXPECT_EQ(header[0], "file");

    // Each file's rows are those of its run alone.
    TAnalysisState state;
    state.MeasuredSample = PeakSample();
    TAnalysisOptions options;
    options.Selected = 0;
    const TAnalysisRun run = AnalyseSample(state, options, TUncertaintySettings{});
    const QStringList cs = CsvFields(lines[1]);
    ASSERT_EQ(cs.size(), 15) << lines[1].toStdString();
    EXPECT_EQ(cs[0], samplePath);
    EXPECT_EQ(cs[1], "77");
    EXPECT_EQ(cs[3], "3600");
    EXPECT_EQ(cs[4], "0.5");
    EXPECT_EQ(cs[5], "Cs137");
    EXPECT_EQ(cs[6], "500");
    EXPECT_EQ(cs[7], "roi");
    EXPECT_EQ(cs[8], "0");
    EXPECT_EQ(cs[9].toFloat(), FieldValue(run.Peaks[0].Result.Activity));
    EXPECT_EQ(cs[10].toFloat(), FieldValue(run.Peaks[0].Result.Error));
    EXPECT_EQ(cs[11], ""); // no uncertainty settings
    EXPECT_EQ(cs[12], "0");
    EXPECT_EQ(cs[13].toFloat(), FieldValue(run.Peaks[0].Result.Area));
    EXPECT_EQ(cs[14], "10");
    const QStringList k40 = CsvFields(lines[2]);
    EXPECT_EQ(k40[5], "K40");
    EXPECT_EQ(k40[8], "2");
    EXPECT_EQ(k40[10], ""); // a detection limit has no counting uncertainty
    EXPECT_EQ(k40[12], "1");
    EXPECT_EQ(k40[9].toFloat(), FieldValue(run.Peaks[1].Result.Activity));
    EXPECT_EQ(k40[14], ""); // no limit
    const QStringList second = CsvFields(lines[3]);
    EXPECT_EQ(second[0], otherPath);
    EXPECT_EQ(second[1], "78");
    EXPECT_EQ(second[2], "4711");
    EXPECT_EQ(second.mid(5), cs.mid(5)); // same spectrum, same results
}

TEST_F(AnalyseCommandTest, SeveralFilesGiveAJsonArrayAndTextPerFile) {
    const Result json = Run({"analyse", samplePath, samplePath, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray array = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(array.size(), 2);
    const Result single = Run({"analyse", samplePath, "--json"});
    QJsonObject first = array[0].toObject();
    EXPECT_EQ(first.take("file").toString(), samplePath);
    EXPECT_EQ(first, QJsonDocument::fromJson(single.out.toUtf8()).object());

    const Result text = Run({"analyse", samplePath, samplePath});
    ASSERT_EQ(text.exitCode, 0);
    const Result alone = Run({"analyse", samplePath});
    const QString block = "== " + samplePath + "\n" + alone.out;
    EXPECT_EQ(text.out, block + block);

    // The note on the missing settings is the same for every file: given once.
    EXPECT_EQ(text.err.count("no uncertainty settings"), 1) << text.err.toStdString();

    const Result both = Run({"analyse", samplePath, "--json", "--csv"});
    EXPECT_EQ(both.exitCode, 64);
    EXPECT_TRUE(both.err.contains("--json and --csv exclude each other"));
}

TEST(AnalyseExamplesTest, BatchCsvOverTheExamples) {
    const QString examples = QStringLiteral(ZK_EXAMPLES_DIR);
    const QStringList files = {examples + "/Soil_1024.vtb", examples + "/Soil_4096.vtb",
                               examples + "/Background_4096.vtb"};
    QProcess p;
    p.setWorkingDirectory(examples); // its uncertainty settings
    p.start(ZKCLI_PATH, QStringList{"analyse", "--csv"} + files);
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList lines =
        QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 1);
    for (const QString& file : files) {
        QProcess one;
        one.setWorkingDirectory(examples);
        one.start(ZKCLI_PATH, {"analyse", "--csv", file});
        ASSERT_TRUE(one.waitForFinished(30000));
        const QStringList own =
            QString::fromUtf8(one.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_GT(own.size(), 1) << file.toStdString();
        // The batch holds the lone run's rows, in order, and every row has
        // all fields with a total uncertainty for each result.
        const auto at = lines.indexOf(own[1]);
        ASSERT_GE(at, 1) << own[1].toStdString();
        EXPECT_EQ(lines.mid(at, own.size() - 1), own.mid(1)) << file.toStdString();
        for (const QString& row : own.mid(1)) {
            EXPECT_EQ(CsvFields(row).size(), 15) << row.toStdString();
        }
    }
    EXPECT_EQ(lines.count(lines[0]), 1); // the header once
}

} // namespace
