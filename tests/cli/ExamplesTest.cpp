// zkcli analyse on the shipped example files gives, line for line, the report
// of the same analysis run made in this process.
#include "analysis/AnalysisRun.h"
#include "core/SampleFiles.h"

#include <gtest/gtest.h>

#include <QProcess>

namespace {

const QString Examples = QStringLiteral(ZK_EXAMPLES_DIR);

TEST(ExamplesTest, SubtractedReportMatchesTheInProcessRun) {
    QProcess p;
    p.start(ZKCLI_PATH,
            {"analyse", Examples + "/Soil_4096.vtb", "--background",
             Examples + "/Background_4096.vtb", "--subtract", "--detailed", "--uncertainties",
             Examples + "/UncertaintySettings.usf", "--decimal-point", "."});
    ASSERT_TRUE(p.waitForFinished(30000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList out =
        QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);

    TAnalysisState state;
    QString error;
    ASSERT_TRUE(ReadSampleFile(Examples + "/Background_4096.vtb", state.BackgroundSample, error));
    ASSERT_TRUE(ReadSampleFile(Examples + "/Soil_4096.vtb", state.MeasuredSample, error));
    TUncertaintySettings settings;
    ASSERT_EQ(LoadUncertaintySettings(settings, error, Examples + "/UncertaintySettings.usf"),
              TUncertaintyLoadStatus::Loaded);
    TAnalysisOptions options;
    options.BackgroundSubtraction = true;
    options.DetailedResults = true;
    options.Selected = 0;
    const TAnalysisRun run = AnalyseSample(state, options, settings);
    EXPECT_TRUE(run.Subtracted);

    ASSERT_EQ(out.size(), static_cast<qsizetype>(run.Lines.size()) + 1);
    EXPECT_EQ(out[0], run.Description);
    for (std::size_t i = 0; i < run.Lines.size(); ++i) {
        EXPECT_EQ(out[static_cast<qsizetype>(i) + 1], run.Lines[i].Text);
    }
    // The example is realistic: most lines of the soil sample are measured.
    int measured = 0;
    for (const TPeakReport& peak : run.Peaks) {
        measured += peak.Code == 0 ? 1 : 0;
    }
    EXPECT_GE(measured, 8);
}

} // namespace
