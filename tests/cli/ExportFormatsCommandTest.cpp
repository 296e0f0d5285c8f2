// `zkcli export` in the exchange formats: the output's extension or
// --format chooses SPE, N42-2012, CSV or SPA.
#include "SampleFixtures.h"
#include "core/SampleFiles.h"
#include "workstation/Workstation.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <ostream>
#include <string>

namespace {

struct TFormatCase {
    std::string Name;
    QStringList Arguments; // after "export IN -o OUT"
    QString Output;
    TExportFormat Expected;
};

void PrintTo(const TFormatCase& c, std::ostream* os) {
    *os << c.Name;
}

class ExportFormatsCommand : public ::testing::TestWithParam<TFormatCase> {
protected:
    QTemporaryDir Dir;

    QByteArray Read(const QString& name) const {
        QFile f(Dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_P(ExportFormatsCommand, WritesWhatTheMainWindowWritesInThatFormat) {
    const TFormatCase& c = GetParam();
    auto sample = MakeTestSample(1024, 3);
    sample->Calibration.ECal = {0.5f, 0.34f, 1e-6f, 0};
    QString error;
    ASSERT_TRUE(WriteSampleFile(Dir.filePath("in.vtb"), *sample, error));
    QProcess p;
    p.start(ZKCLI_PATH, QStringList{"export", Dir.filePath("in.vtb"), "-o", Dir.filePath(c.Output),
                                    "--decimal-point", "."} +
                            c.Arguments);
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();

    TWorkstation session;
    session.State.MeasuredSample = *sample;
    ASSERT_TRUE(session.ExportSpectrumAs(Dir.filePath("direct"), '.', c.Expected).Ok());
    EXPECT_EQ(Read(c.Output), Read("direct"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExportFormatsCommand,
    ::testing::Values(TFormatCase{"SpeExtension", {}, "out.spe", TExportFormat::Spe},
                      TFormatCase{"N42Extension", {}, "out.n42", TExportFormat::N42},
                      TFormatCase{"CsvExtensionUpper", {}, "out.CSV", TExportFormat::Csv},
                      TFormatCase{"SpaExtension", {}, "out.SPA", TExportFormat::Spa},
                      TFormatCase{"OtherExtensionIsSpa", {}, "out.txt", TExportFormat::Spa},
                      TFormatCase{"FormatOverridesExtension",
                                  {"--format", "n42"},
                                  "out.SPA",
                                  TExportFormat::N42}),
    [](const auto& info) { return info.param.Name; });

TEST(ExportFormatsCommandErrors, UnknownFormatIsAUsageErrorAndWritesNothing) {
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(WriteSampleFile(dir.filePath("in.vtb"), *MakeTestSample(64, 3), error));
    QProcess p;
    p.start(ZKCLI_PATH,
            {"export", dir.filePath("in.vtb"), "-o", dir.filePath("out.spe"), "--format", "xml"});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 64);
    EXPECT_TRUE(p.readAllStandardError().contains("unknown format \"xml\""));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.spe")));
}

TEST(ExportFormatsCommandErrors, CalibrationLeftOutIsANoteOnStandardError) {
    QTemporaryDir dir;
    QString error;
    auto sample = MakeTestSample(64, 3);
    sample->Calibration.ECal = {100, -1, 0, 0}; // channel falls with energy
    ASSERT_TRUE(WriteSampleFile(dir.filePath("in.vtb"), *sample, error));
    QProcess p;
    p.start(ZKCLI_PATH, {"export", dir.filePath("in.vtb"), "-o", dir.filePath("out.n42")});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(p.readAllStandardError().contains("note: "));
    EXPECT_TRUE(QFile::exists(dir.filePath("out.n42")));
}

} // namespace
