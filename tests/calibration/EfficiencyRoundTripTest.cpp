// The efficiency calibrated on the example reference measurement, applied to
// it and analysed again, gives back the reference activity.
#include "calibration/EfficiencyCalibration.h"

#include "analysis/AnalysisRun.h"
#include "analysis/CalibrationFunctions.h"
#include "core/SampleFiles.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double ReferenceActivity = 1500; // Bq/kg per nuclide of the example

TEST(EfficiencyRoundTrip, ReferenceExampleGivesBackItsActivity) {
    TAnalysisState state;
    QString error;
    ASSERT_TRUE(ReadSampleFile(QStringLiteral(ZK_EXAMPLES_DIR "/Reference_4096.vtb"),
                               state.MeasuredSample, error))
        << error.toStdString();
    const TUncertaintySettings settings{};
    const TAnalysisOptions options;
    AnalyseSample(state, options, settings);

    TEfficiencyCalibrator c('.');
    EXPECT_TRUE(c.OpenWithAnswers(state.MeasuredSample, {{}, {}, "1500"}).isEmpty());
    // Every line of the reference source is measured.
    EXPECT_EQ(c.CalSample.PeakList.Size, state.MeasuredSample.PeakList.Size);
    EXPECT_TRUE(c.FitEfficiency().isEmpty());
    ASSERT_GE(c.CalPoints.CalPointCount, 4);
    ASSERT_GE(c.LinCalPoints.CalPointCount, 1);
    c.ApplyTo(state.MeasuredSample);
    const TAnalysisRun run = AnalyseSample(state, options, settings);

    const TEfficiencyCalibration rcal = state.MeasuredSample.Calibration.RCal;
    double logSum = 0;
    int powerLines = 0;
    for (const TPeakReport& p : run.Peaks) {
        ASSERT_EQ(p.Code, 0) << p.Index;
        const double energy = state.MeasuredSample.PeakList.Peak[p.Index].Energy;
        const double activity = p.Result.Activity;
        // Each line comes back as far off as its point lies off the curve.
        const double expected =
            ReferenceActivity * c.PointEfficiency(p.Index) / EfficiencyAt(rcal, energy);
        EXPECT_NEAR(activity / expected, 1, 1e-4) << energy;
        // The example's evaluated areas follow the curve the calibration
        // fits, so each line misses the reference activity only by the noise
        // of its area. Error is the evaluation's 1.96 standard deviations in
        // percent; over many noise realisations the areas scatter up to 1.8
        // times that sigma, so three of it bound a line at about 2 sigma.
        const double sigma = p.Result.Error / 196.0;
        ASSERT_GT(sigma, 0) << energy;
        EXPECT_LE(std::fabs(activity / ReferenceActivity - 1), 3 * sigma)
            << energy << " keV: " << activity << " Bq/kg, sigma " << 100 * sigma << " %";
        if (energy > rcal.Ecut) {
            logSum += std::log(activity / ReferenceActivity);
            ++powerLines;
        }
    }
    // The power law is fitted in logarithms, so over its lines the activity
    // comes back on the geometric mean.
    ASSERT_EQ(powerLines, c.CalPoints.CalPointCount);
    EXPECT_NEAR(std::exp(logSum / powerLines), 1, 1e-3);
}

} // namespace
