// zkcli print, run as a process: the PDF's text, a series into a folder, the
// label with the analysed results, and the refusals.
#include "SampleFixtures.h"
#include "analysis/AnalysisRun.h"
#include "core/SampleFiles.h"

#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

TSampleFile PeakSample() {
    TSampleFile s = GaussianPeakSample(1024, 500);
    s.Sample.Parameter.Weight = 0.5f;
    s.Sample.Parameter.SerialNumber = 77;
    AddPeak(s, "Cs137", 500, 85.1f, 10);
    AddPeak(s, "K40", 800, 10.7f);
    TextToComment(s, "Garden soil");
    return s;
}

struct TRun {
    int ExitCode;
    QString Out, Err;
};

class PrintCommandTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    QString SamplePath;

    void SetUp() override {
        QString error;
        SamplePath = Dir.filePath("soil.vtb");
        ASSERT_TRUE(WriteSampleFile(SamplePath, PeakSample(), error));
    }

    TRun Run(const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(Dir.path()); // no settings file there
        p.start(ZKCLI_PATH, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    static QString PdfText(const QString& path) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), path, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};

TEST_F(PrintCommandTest, ProtocolAndLabelStateTheAnalysedResults) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    TAnalysisState state;
    state.MeasuredSample = PeakSample();
    const TAnalysisRun run = AnalyseSample(state, {}, TUncertaintySettings{});
    ASSERT_EQ(run.Peaks.size(), 2u);
    for (const bool label : {false, true}) {
        const QString pdf = Dir.filePath(label ? "label.pdf" : "protocol.pdf");
        QStringList args{"print", SamplePath, "-o", pdf, "--time", "2026-12-10T09:30:15"};
        if (label)
            args << "--label";
        const TRun r = Run(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        const QString text = PdfText(pdf);
        EXPECT_TRUE(text.contains("Garden soil")) << text.toStdString();
        EXPECT_EQ(text.contains("SAMPLE DESCRIPTION"), !label);
        if (label)
            continue; // the label's large type overlaps on an A4 sheet
        EXPECT_TRUE(text.contains("09:30:15")) << text.toStdString();
        EXPECT_TRUE(text.contains(", File: soil.vtb")) << text.toStdString();
        for (const TPeakReport& p : run.Peaks) {
            const QString statement =
                FormatActivityStatement(TUncertaintySettings{}, false, p.Result, '.');
            EXPECT_TRUE(text.contains(statement)) << statement.toStdString();
        }
        EXPECT_TRUE(text.contains("Cs137 (500 keV)"));
    }
}

TEST_F(PrintCommandTest, SeveralSamplesGoIntoAFolderUnderTheirBaseNames) {
    QString error;
    ASSERT_TRUE(WriteSampleFile(Dir.filePath("second.vtb"), PeakSample(), error));
    ASSERT_TRUE(QDir(Dir.path()).mkdir("out"));
    const TRun r = Run({"print", SamplePath, Dir.filePath("second.vtb"), "-o", Dir.filePath("out"),
                        "--title", "Series 7", "--resolution", "150", "--page", "Letter"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(QFile::exists(Dir.filePath("out/soil.pdf")));
    EXPECT_TRUE(QFile::exists(Dir.filePath("out/second.pdf")));
    QFile f(Dir.filePath("out/second.pdf"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("/MediaBox [0 0 612.000000 792.000000]"));
}

struct TRefusal {
    const char* Name;
    QStringList Args; // SAMPLE stands for the sample file, DIR for the folder
    int ExitCode;
    const char* Says;
};

void PrintTo(const TRefusal& c, std::ostream* os) {
    *os << c.Name;
}

class PrintCommandRefusal : public PrintCommandTest,
                            public ::testing::WithParamInterface<TRefusal> {};

TEST_P(PrintCommandRefusal, ExitsWithTheCodeAndSaysWhy) {
    QStringList args{"print"};
    for (const QString& a : GetParam().Args)
        args << (a == "SAMPLE" ? SamplePath : QString(a).replace("DIR", Dir.path()));
    const TRun r = Run(args);
    EXPECT_EQ(r.ExitCode, GetParam().ExitCode) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QString(GetParam().Says).replace("DIR", Dir.path())))
        << r.Err.toStdString();
    EXPECT_EQ(QDir(Dir.path()).entryList({"*.pdf"}, QDir::Files).size(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    , PrintCommandRefusal,
    ::testing::Values(
        TRefusal{"NoOutput", {"SAMPLE"}, 64, "-o names the PDF file"},
        TRefusal{"NoSample", {"-o", "DIR/p.pdf"}, 64, "no sample file given"},
        TRefusal{"BadTime", {"SAMPLE", "-o", "DIR/p.pdf", "--time", "10.12.2026"}, 64, "--time"},
        TRefusal{"BadPage", {"SAMPLE", "-o", "DIR/p.pdf", "--page", "A5"}, 64, "--page"},
        TRefusal{"BadResolution",
                 {"SAMPLE", "-o", "DIR/p.pdf", "--resolution", "0"},
                 64,
                 "--resolution"},
        TRefusal{"MissingFolder", {"SAMPLE", "-o", "DIR/none/p.pdf"}, 6, "DIR/none/p.pdf"},
        TRefusal{"SeveralIntoAFile", {"SAMPLE", "SAMPLE", "-o", "DIR/p.pdf"}, 6, "not a folder"},
        TRefusal{"MissingSample", {"DIR/gone.vtb", "-o", "DIR/p.pdf"}, 66, "gone.vtb"}),
    [](const auto& info) { return info.param.Name; });

} // namespace
