#include "calibration/EfficiencyCalibration.h"
#include "PackedField.h"

#include "analysis/CalibrationFunctions.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/Single.h"

#include "SampleFixtures.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <ostream>
#include <string>

namespace {

// An odd separator, so a hard-coded '.' cannot hide.
constexpr char Sep = '?';

// A reference measurement: 1000 s, 2 kg, Ecut 200 keV, five lines of which
// the second and fourth have no positive area.
TSampleFile ReferenceSample() {
    TSampleFile s = FlatSample(4096);
    SetMeasurement(s, 1000, 2);
    s.Calibration.RCal = {0.5f, -1, 200, 0.001f};
    AddPeak(s, "Am241", 60, 36);
    AddPeak(s, "Xx1", 100, 10);
    AddPeak(s, "Cs137", 662, 85);
    AddPeak(s, "Xx2", 900, 10);
    AddPeak(s, "Co60", 1332, 100);
    s.Results.Size = 5;
    s.Results.Result[0].Area = 7200;
    s.Results.Result[1].Area = 0;
    s.Results.Result[2].Area = 17000;
    s.Results.Result[3].Area = -40;
    s.Results.Result[4].Area = 10000;
    return s;
}

TEfficiencyCalibrator Opened(const TSampleFile& s, const QString& activity = "500") {
    TEfficiencyCalibrator c(Sep);
    EXPECT_TRUE(c.OpenWithAnswers(s, {std::nullopt, std::nullopt, activity}).isEmpty());
    return c;
}

QString Shown(double value) {
    return QString::fromStdString(std::to_string(value)).replace('.', Sep);
}

TEST(EfficiencyOpening, TakesTheLinesWithAPositiveAreaAsPoints) {
    const TEfficiencyCalibrator c = Opened(ReferenceSample());
    ASSERT_EQ(FieldValue(c.CalSample.PeakList.Size), 3);
    EXPECT_EQ(FieldValue(c.CalSample.Results.Size), 3);
    ASSERT_EQ(c.GridRows.size(), 3u);
    EXPECT_EQ(c.GridRows[1][0], "Cs137");
    EXPECT_EQ(c.GridRows[1][1], "662");
    EXPECT_EQ(c.GridRows[1][3], "500");
    EXPECT_EQ(c.GridRows[1][4], "17000");
    EXPECT_EQ(c.CalPoints.CalPointCount, 2);    // 662 and 1332 keV
    EXPECT_EQ(c.LinCalPoints.CalPointCount, 1); // 60 keV
    // 17000 counts × 100 ÷ 1000 s ÷ 500 Bq/kg ÷ 85 % ÷ 2 kg
    EXPECT_DOUBLE_EQ(c.CalPoints.Yi[0], 17000.0 * 100 / 1000 / 500 / 85 / 2);
    EXPECT_EQ(c.EditTexts[AEdit], Shown(0.5));
    EXPECT_EQ(c.EditTexts[EcutEdit], Shown(200));
}

struct AnswerCase {
    std::string Name;
    std::uint32_t Interval; // in the sample
    float Weight;           // in the sample
    TEfficiencyAnswers Answers;
    std::uint32_t IntervalAfter;
    float WeightAfter;
    float Activity;
    QStringList Warnings;
};

const QString IntervalWarning = "Invalid input - interval set to 3600 sec.";
const QString WeightWarning = "Invalid input - weight set to 1 kg";
const QString ActivityWarning = "Invalid input - reference activity set to 1000 Bq/kg";

void PrintTo(const AnswerCase& c, std::ostream* os) {
    *os << c.Name;
}

class EfficiencyAnswers : public testing::TestWithParam<AnswerCase> {};

TEST_P(EfficiencyAnswers, ReadsWholeNumbersAndFallsBackWithItsWarning) {
    const AnswerCase& p = GetParam();
    TSampleFile s = ReferenceSample();
    SetMeasurement(s, p.Interval, p.Weight);
    TEfficiencyCalibrator c(Sep);
    EXPECT_EQ(c.OpenWithAnswers(s, p.Answers), p.Warnings);
    EXPECT_EQ(FieldValue(c.CalSample.Sample.Parameter.SampleInterval), p.IntervalAfter);
    EXPECT_EQ(FieldValue(c.CalSample.Sample.Parameter.Weight), p.WeightAfter);
    EXPECT_EQ(c.ReferenceActivity, p.Activity);
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[0].Activity), p.Activity);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EfficiencyAnswers,
    testing::Values(
        AnswerCase{"ValidSampleAsksOnlyTheActivity", 1000, 2, {"7", "8", "250"}, 1000, 2, 250, {}},
        AnswerCase{"DecimalActivityReadsZero",
                   1000,
                   2,
                   {{}, {}, "99.5"},
                   1000,
                   2,
                   1000,
                   {ActivityWarning}},
        AnswerCase{
            "NegativeIntervalIsInvalid", 0, 2, {"-5", {}, "300"}, 3600, 2, 300, {IntervalWarning}},
        AnswerCase{"IntervalBeyondTheFieldIsInvalid",
                   0,
                   2,
                   {"4294967296", {}, "300"},
                   3600,
                   2,
                   300,
                   {IntervalWarning}},
        AnswerCase{
            "HalfAKiloReadsZero", 1000, 0, {{}, "0.5", "300"}, 1000, 1, 300, {WeightWarning}},
        // Every prompt starts with the text last entered; a cancel keeps it.
        AnswerCase{"CancelledPromptsTakeTheSharedText", 0, -1, {"20", {}, {}}, 20, 20, 20, {}},
        AnswerCase{"AllCancelledAtFirst",
                   0,
                   0,
                   {},
                   3600,
                   1,
                   1000,
                   {IntervalWarning, WeightWarning, ActivityWarning}}),
    [](const auto& info) { return info.param.Name; });

TEST(EfficiencyFit, LineAtEcutJoinsThePowerLawThatPassesThroughBothPoints) {
    TSampleFile s = ReferenceSample();
    s.PeakList.Peak[1].Energy = 200; // exactly at Ecut
    s.Results.Result[1].Area = 5000;
    TEfficiencyCalibrator c = Opened(s);
    ASSERT_EQ(c.LinCalPoints.CalPointCount, 2);
    EXPECT_EQ(c.LinCalPoints.Xi[1], 200);
    ASSERT_EQ(c.CalPoints.CalPointCount, 2);
    EXPECT_TRUE(c.FitEfficiency().isEmpty());
    // The values in force are the values as shown: fixed to 6 decimals.
    const TEfficiencyCalibration rcal = c.CalSample.Calibration.RCal;
    double a = 0, b = 0;
    ASSERT_TRUE(TryParseNumber(c.EditTexts[AEdit].toStdString(), Sep, a));
    ASSERT_TRUE(TryParseNumber(c.EditTexts[BEdit].toStdString(), Sep, b));
    EXPECT_EQ(rcal.A0, ToSingle(a));
    EXPECT_EQ(rcal.B0, ToSingle(b));
    for (const TCurvePoint& p : c.CurvePoints()) {
        if (p.PowerPart) { // exact but for the 6 decimals shown
            EXPECT_NEAR(p.Deviation, 0, 0.05) << p.Energy;
        }
    }
    // The straight line, which holds at Ecut itself, starts at the power
    // law's value there, so the two parts meet.
    const double powerAtCut = rcal.A0 * std::pow(200.0, static_cast<double>(rcal.B0));
    EXPECT_NEAR(EfficiencyAt(rcal, 200), powerAtCut, 1e-12);
    EXPECT_NEAR(EfficiencyAt(rcal, 200.001), powerAtCut, 1e-6);
    EXPECT_NE(rcal.m, 0.001f); // the slope was fitted
}

TEST(EfficiencyFit, CoefficientShownWithSixDecimalsIsTheOneInForceAndApplied) {
    TSampleFile s = ReferenceSample();
    s.PeakList.Size = 0;
    // Two lines of equal efficiency 0.0345678 above Ecut: a flat power law.
    AddPeak(s, "A", 500, 10);
    AddPeak(s, "B", 1000, 10);
    s.Results.Result[0].Area = ToSingle(0.0345678 * 1000 * 500 * 10 * 2 / 100);
    s.Results.Result[1].Area = s.Results.Result[0].Area;
    TEfficiencyCalibrator c = Opened(s);
    c.FitEfficiency();
    EXPECT_EQ(c.EditTexts[AEdit], Shown(0.034568));
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.A0), ToSingle(0.034568));
    TSampleFile applied{};
    c.ApplyTo(applied);
    EXPECT_EQ(FieldValue(applied.Calibration.RCal.A0), ToSingle(0.034568));
}

TEST(EfficiencyFit, FailingStepKeepsItsCoefficientsAndTheEditsShowThoseInForce) {
    // Both power-law points at one energy: a singular fit, nothing written
    // (600 keV is an energy whose rounding leaves the elimination no exact
    // zero pivot, so the fit alone would return a curve).
    TSampleFile s = ReferenceSample();
    s.PeakList.Peak[2].Energy = 600;
    s.PeakList.Peak[4].Energy = 600;
    TEfficiencyCalibrator c = Opened(s);
    EXPECT_THROW(c.FitEfficiency(), EMathError);
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.A0), 0.5f);
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.m), 0.001f);
    EXPECT_EQ(c.EditTexts[AEdit], Shown(0.5));

    // Power law fitted, then every line point at Ecut: zero denominator. The
    // fitted power law stays in force and is shown; m keeps its value.
    s = ReferenceSample();
    s.PeakList.Peak[0].Energy = 200;
    c = Opened(s);
    c.SetEditText(EcutEdit, Shown(200));
    EXPECT_THROW(c.FitEfficiency(), EMathError);
    EXPECT_NE(FieldValue(c.CalSample.Calibration.RCal.A0), 0.5f);
    EXPECT_EQ(c.EditTexts[AEdit], Shown(c.CalSample.Calibration.RCal.A0));
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.m), 0.001f);
}

TEST(EfficiencyFit, InfiniteEfficiencyAtEcutIsAnErrorNotACoefficient) {
    TSampleFile s = ReferenceSample();
    s.Calibration.RCal = {0.5f, -1, 0, 0.001f};
    s.PeakList.Peak[0].Energy = 0; // the only line point, at Ecut 0
    s.Results.Result[4].Area = 0;  // one power-law point: B0 stays -1
    TEfficiencyCalibrator c = Opened(s);
    EXPECT_THROW(c.FitEfficiency(), EMathError);
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.m), 0.001f);
    EXPECT_FALSE(std::isfinite(EfficiencyAt(c.CalSample.Calibration.RCal, 0)));
}

TEST(EfficiencyEdits, TextThatIsNotANumberKeepsTheCoefficient) {
    TEfficiencyCalibrator c = Opened(ReferenceSample());
    for (const QString text : {"", "-", "abc", "1.5"}) { // '.' is not this separator
        EXPECT_FALSE(c.SetEditText(BEdit, text).isEmpty()) << text.toStdString();
        EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.B0), -1.0f);
        EXPECT_EQ(c.EditTexts[BEdit], text);
    }
    EXPECT_TRUE(c.SetEditText(BEdit, "-0?75").isEmpty());
    EXPECT_EQ(FieldValue(c.CalSample.Calibration.RCal.B0), -0.75f);
    // A changed Ecut does not re-split the points until the next split.
    EXPECT_TRUE(c.SetEditText(EcutEdit, "1000").isEmpty());
    EXPECT_EQ(c.CalPoints.CalPointCount, 2);
    c.SplitCalPoints();
    EXPECT_EQ(c.CalPoints.CalPointCount, 1);
}

TEST(EfficiencyGrid, HostileCellsNeitherCrashNorBreakThePoints) {
    TEfficiencyCalibrator c = Opened(ReferenceSample());
    c.SetCell(0, 0, QString(300, QChar('N')));
    EXPECT_EQ(std::string(c.CalSample.PeakList.Peak[0].Name, 16), std::string(16, 'N'));
    c.SetCell(0, 2, "0"); // probability 0: the line is skipped, not divided by
    EXPECT_EQ(c.LinCalPoints.CalPointCount, 0);
    c.SetCell(1, 3, "letters"); // activity reads 0: skipped too
    EXPECT_EQ(c.CalPoints.CalPointCount, 1);
    c.SetCell(2, 4, "1e300"); // a huge count is held as the largest Single
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[2].Area), FLT_MAX);
    EXPECT_EQ(c.CalPoints.CalPointCount, 1);
    c.SetCell(2, 1, "70000"); // an energy the field cannot hold reads 0
    EXPECT_EQ(FieldValue(c.CalSample.PeakList.Peak[2].Energy), 0);
    c.SetCell(7, 0, "x"); // outside the grid: ignored
    c.SetCell(0, 5, "x");
    EXPECT_EQ(FieldValue(c.CalSample.PeakList.Size), 3);
    EXPECT_NO_THROW(c.CurvePoints());
    // Nothing the fit could fail on reaches it.
    EXPECT_NO_THROW(c.FitEfficiency());
}

TEST(EfficiencySelect, KeepsTheResultsOfUnchangedLinesAndStartsNewOnes) {
    TEfficiencyCalibrator c = Opened(ReferenceSample());
    TPeakList edited = c.CalSample.PeakList; // Am241, Cs137, Co60
    edited.Peak[0] = edited.Peak[1];         // Cs137 kept, moved up
    edited.Peak[1] = PeakLine("K40", 1461, 10.7f);
    edited.Peak[2].Probability = 99.9f; // Co60 changed: a new line
    c.TakeSelectedLines(edited);
    ASSERT_EQ(FieldValue(c.CalSample.Results.Size), 3);
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[0].Area), 17000);
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[0].Activity), 500);
    for (int i : {1, 2}) {
        EXPECT_EQ(FieldValue(c.CalSample.Results.Result[i].Activity), 1);
        EXPECT_EQ(FieldValue(c.CalSample.Results.Result[i].Area), 1000);
        EXPECT_EQ(FieldValue(c.CalSample.Results.Result[i].Error), 0);
    }
    EXPECT_EQ(c.GridRows[1][0], "K40");
    EXPECT_EQ(c.CalPoints.CalPointCount, 3);
}

TEST(EfficiencySelect, GridEditKeepsTheNameBytesThatSelectCompares) {
    TSampleFile s = ReferenceSample();
    s.PeakList.Peak[2].Name[10] = 'x'; // Cs137: a byte after the terminating zero
    TEfficiencyCalibrator c = Opened(s);
    c.SetCell(1, 3, "700"); // Cs137's activity
    const TPeakList list = c.CalSample.PeakList;
    EXPECT_EQ(FieldValue(list.Peak[1].Name[10]), 'x');
    c.TakeSelectedLines(list); // the editor returned the list unchanged
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[1].Activity), 700);
    EXPECT_EQ(FieldValue(c.CalSample.Results.Result[1].Area), 17000);
}

TEST(EfficiencySelect, SamePeakEntryComparesEveryNameByte) {
    TPeakEntry a = PeakLine("Cs137", 662, 85);
    TPeakEntry b = a;
    EXPECT_TRUE(TEfficiencyCalibrator::SamePeakEntry(a, b));
    b.Name[10] = 'x'; // after the terminating zero
    EXPECT_FALSE(TEfficiencyCalibrator::SamePeakEntry(a, b));
    b = a;
    b.Limit = 5;
    EXPECT_FALSE(TEfficiencyCalibrator::SamePeakEntry(a, b));
}

TEST(EfficiencyApply, ReplacesThePeakListAndReadsEcutAndMFromTheirEdits) {
    TEfficiencyCalibrator c = Opened(ReferenceSample());
    c.SetEditText(MEdit, "");
    c.SetEditText(EcutEdit, "x");
    TSampleFile s = ReferenceSample();
    c.ApplyTo(s);
    EXPECT_EQ(FieldValue(s.PeakList.Size), 3);
    EXPECT_EQ(FieldValue(s.Results.Size), 3);
    EXPECT_EQ(std::string(s.PeakList.Peak[1].Name), "Cs137");
    EXPECT_EQ(FieldValue(s.Calibration.RCal.m), 0);
    EXPECT_EQ(FieldValue(s.Calibration.RCal.Ecut), 50);
    EXPECT_EQ(FieldValue(s.Calibration.RCal.A0), 0.5f);
}

} // namespace
