#include "calibration/EfficiencyCalibration.h"

#include "analysis/CalibrationFunctions.h"
#include "calibration/CurveFit.h"
#include "core/Ansi.h"
#include "core/Errors.h"
#include "core/NumberFormat.h"
#include "core/Single.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>

namespace {

constexpr std::uint32_t DefaultInterval = 3600;
constexpr float DefaultWeight = 1;
constexpr float DefaultActivity = 1000;
constexpr float DefaultEcut = 50;
constexpr float NewLineActivity = 1;
constexpr float NewLineArea = 1000;

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// A prompt answer as a whole number; std::nullopt when it is not one.
std::optional<std::int64_t> WholeNumber(const QString& text) {
    std::int64_t value = 0;
    if (!TryParseInteger(text.toStdString(), value)) {
        return std::nullopt;
    }
    return value;
}

// The lines of a record that can be read: a size byte above 16 is cut.
int LineCount(const TPeakList& list) {
    return std::min<int>(list.Size, MaxPeaks);
}

// The number an edit shows, as the change handler reads it.
std::optional<double> EditNumber(const QString& text, char separator) {
    double value = 0;
    if (!TryParseNumber(text.toStdString(), separator, value)) {
        return std::nullopt;
    }
    return value;
}

// The name as the grid shows it: up to the first zero byte, at most 16.
QString PeakNameText(const TPeakEntry& peak) {
    return AnsiToText(std::string_view(peak.Name, strnlen(peak.Name, sizeof peak.Name)));
}

float Coefficient(const TEfficiencyCalibration& rcal, TCoefficientEdit edit) {
    switch (edit) {
    case AEdit:
        return rcal.A0;
    case BEdit:
        return rcal.B0;
    case EcutEdit:
        return rcal.Ecut;
    default:
        return rcal.m;
    }
}

void SetCoefficient(TEfficiencyCalibration& rcal, TCoefficientEdit edit, float value) {
    switch (edit) {
    case AEdit:
        rcal.A0 = value;
        break;
    case BEdit:
        rcal.B0 = value;
        break;
    case EcutEdit:
        rcal.Ecut = value;
        break;
    default:
        rcal.m = value;
        break;
    }
}

} // namespace

const QString TEfficiencyCalibrator::WarningCaption = QStringLiteral("Warning");

TEfficiencyCalibrator::TEfficiencyCalibrator(char decimalSeparator)
    : DecimalSeparator(decimalSeparator) {}

TInputPromptText TEfficiencyCalibrator::IntervalPrompt() {
    return {QStringLiteral("Invalid sample interval!"),
            QStringLiteral("Enter correct interval [sec.]")};
}

TInputPromptText TEfficiencyCalibrator::WeightPrompt() {
    return {QStringLiteral("Invalid sample weight!"), QStringLiteral("Enter correct weight [kg]")};
}

TInputPromptText TEfficiencyCalibrator::ActivityPrompt() {
    return {QStringLiteral("Source activity"), QStringLiteral("Enter reference activity [Bq/kg]")};
}

void TEfficiencyCalibrator::Open(const TSampleFile& sample) {
    Source = sample;
    CalSample = sample;
}

bool TEfficiencyCalibrator::IntervalMissing() const {
    return CalSample.Sample.Parameter.SampleInterval == 0;
}

bool TEfficiencyCalibrator::WeightMissing() const {
    const float weight = CalSample.Sample.Parameter.Weight;
    return !(weight > 0);
}

QString TEfficiencyCalibrator::AnswerInterval(const QString& text) {
    // The record holds an unsigned interval: a negative answer, or one too
    // large for the field, is as invalid as letters and gets the default.
    const auto value = WholeNumber(text);
    if (value && *value > 0 && *value <= std::numeric_limits<std::uint32_t>::max()) {
        CalSample.Sample.Parameter.SampleInterval = static_cast<std::uint32_t>(*value);
        return {};
    }
    CalSample.Sample.Parameter.SampleInterval = DefaultInterval;
    return QStringLiteral("Invalid input - interval set to 3600 sec.");
}

QString TEfficiencyCalibrator::AnswerWeight(const QString& text) {
    const auto value = WholeNumber(text);
    if (value && *value > 0) {
        CalSample.Sample.Parameter.Weight = ToSingle(static_cast<double>(*value));
        return {};
    }
    CalSample.Sample.Parameter.Weight = DefaultWeight;
    return QStringLiteral("Invalid input - weight set to 1 kg");
}

QString TEfficiencyCalibrator::AnswerActivity(const QString& text) {
    QString warning;
    const auto value = WholeNumber(text);
    if (value && *value > 0) {
        ReferenceActivity = ToSingle(static_cast<double>(*value));
    } else {
        ReferenceActivity = DefaultActivity;
        warning = QStringLiteral("Invalid input - reference activity set to 1000 Bq/kg");
    }

    // The calibration lines: every line of the sample with a positive area.
    int j = 0;
    const int count = LineCount(Source.PeakList);
    for (int i = 0; i < count; ++i) {
        const float area = Source.Results.Result[i].Area;
        if (area > 0) {
            CalSample.PeakList.Peak[j] = Source.PeakList.Peak[i];
            CalSample.Results.Result[j].Area = area;
            CalSample.Results.Result[j].Activity = ReferenceActivity;
            ++j;
        }
    }
    CalSample.PeakList.Size = static_cast<std::uint8_t>(j);
    CalSample.Results.Size = static_cast<std::uint8_t>(j);

    SplitCalPoints();
    FillPointGrid();
    ShowCoefficients();
    return warning;
}

QStringList TEfficiencyCalibrator::OpenWithAnswers(const TSampleFile& sample,
                                                   const TEfficiencyAnswers& answers) {
    QStringList warnings;
    QString shared; // the text every prompt shows first
    const auto answer = [&shared](const std::optional<QString>& given) {
        if (given) {
            shared = *given;
        }
        return shared;
    };
    const auto keep = [&warnings](const QString& warning) {
        if (!warning.isEmpty()) {
            warnings << warning;
        }
    };
    Open(sample);
    if (IntervalMissing()) {
        keep(AnswerInterval(answer(answers.Interval)));
    }
    if (WeightMissing()) {
        keep(AnswerWeight(answer(answers.Weight)));
    }
    keep(AnswerActivity(answer(answers.Activity)));
    return warnings;
}

double TEfficiencyCalibrator::PointEfficiency(int line) const {
    if (line < 0 || line >= MaxPeaks) {
        return 0;
    }
    // Left to right in extended precision, stored as a double.
    long double y = CalSample.Results.Result[line].Area;
    y = y * 100;
    y = y / CalSample.Sample.Parameter.SampleInterval;
    y = y / CalSample.Results.Result[line].Activity;
    y = y / CalSample.PeakList.Peak[line].Probability;
    y = y / CalSample.Sample.Parameter.Weight;
    return static_cast<double>(y);
}

void TEfficiencyCalibrator::SplitCalPoints() {
    CalPoints.CalPointCount = 0;
    LinCalPoints.CalPointCount = 0;
    const double ecut = CalSample.Calibration.RCal.Ecut;
    const int count = LineCount(CalSample.PeakList);
    for (int i = 0; i < count; ++i) {
        const TPeakResult result = CalSample.Results.Result[i];
        const float probability = CalSample.PeakList.Peak[i].Probability;
        if (!(result.Area > 0) || !(result.Activity > 0) || !(probability > 0)) {
            continue;
        }
        const double y = PointEfficiency(i);
        // A zero interval or weight, or typed extremes, can leave no usable
        // efficiency; such a point would only break the fit and the plot.
        if (!std::isfinite(y) || !(y > 0)) {
            continue;
        }
        const double energy = CalSample.PeakList.Peak[i].Energy;
        TCalPoints& points = energy > ecut ? CalPoints : LinCalPoints;
        points.Xi[points.CalPointCount] = energy;
        points.Yi[points.CalPointCount] = y;
        ++points.CalPointCount;
    }
}

QStringList TEfficiencyCalibrator::FitEfficiency() {
    SplitCalPoints();
    TEfficiencyCalibration rcal = CalSample.Calibration.RCal;
    try {
        if (CalPoints.CalPointCount > 1) {
            // Points at one energy leave the power law undetermined. The
            // elimination reports that only when its rounding leaves an
            // exact zero pivot, so the case is refused here with the same
            // message, whatever the energy.
            const auto x = std::span(CalPoints.Xi).first(CalPoints.CalPointCount);
            if (std::ranges::all_of(x, [&x](double e) { return e == x[0]; })) {
                throw EMathError(QStringLiteral("Error in GaussJordan: matrix is singular"));
            }
            float a = rcal.A0;
            float b = rcal.B0;
            PowerLawFit(CalPoints.Xi, CalPoints.Yi, CalPoints.CalPointCount, a, b);
            rcal.A0 = a;
            rcal.B0 = b;
            CalSample.Calibration.RCal = rcal;
        }
        if (LinCalPoints.CalPointCount > 0) {
            const double x0 = rcal.Ecut;
            const double y0 = EfficiencyAt(rcal, rcal.Ecut);
            if (!std::isfinite(y0)) {
                throw EMathError(QStringLiteral("Efficiency at Ecut is not a finite number"));
            }
            float slope = rcal.m;
            AnchoredSlopeFit(LinCalPoints.Xi, LinCalPoints.Yi, LinCalPoints.CalPointCount, x0, y0,
                             slope);
            if (!std::isfinite(slope)) {
                throw EMathError(QStringLiteral("Slope below Ecut is not a finite number"));
            }
            rcal.m = slope;
            CalSample.Calibration.RCal = rcal;
        }
    } catch (const EMathError&) {
        // A power law fitted before a failing slope stays in force, so the
        // edits must show it before the error is reported.
        ShowCoefficients();
        throw;
    }
    return ShowCoefficients();
}

QStringList TEfficiencyCalibrator::ShowCoefficients() {
    QStringList errors;
    for (int e = 0; e < CoefficientEditCount; ++e) {
        const auto edit = static_cast<TCoefficientEdit>(e);
        const QString text = Text(
            FormatFixed(Coefficient(CalSample.Calibration.RCal, edit), 6, 6, DecimalSeparator));
        if (text != EditTexts[e]) {
            const QString error = SetEditText(edit, text);
            if (!error.isEmpty()) {
                errors << error;
            }
        }
    }
    return errors;
}

QString TEfficiencyCalibrator::SetEditText(TCoefficientEdit edit, const QString& text) {
    if (edit < 0 || edit >= CoefficientEditCount) {
        return {};
    }
    EditTexts[edit] = text;
    const auto value = EditNumber(text, DecimalSeparator);
    if (!value) {
        return QStringLiteral("'%1' is not a valid number").arg(text);
    }
    TEfficiencyCalibration rcal = CalSample.Calibration.RCal;
    SetCoefficient(rcal, edit, ToSingle(*value));
    CalSample.Calibration.RCal = rcal;
    return {};
}

QStringList TEfficiencyCalibrator::GridHeader() {
    return {QStringLiteral("Nuclide"), QStringLiteral("Energy [keV]"),
            QStringLiteral("Probability [%]"), QStringLiteral("Activity[Bq/kg]"),
            QStringLiteral("Counts")};
}

void TEfficiencyCalibrator::FillPointGrid() {
    const int count = LineCount(CalSample.PeakList);
    GridRows.assign(static_cast<std::size_t>(count), {});
    for (int i = 0; i < count; ++i) {
        const TPeakEntry peak = CalSample.PeakList.Peak[i];
        const TPeakResult result = CalSample.Results.Result[i];
        auto& row = GridRows[static_cast<std::size_t>(i)];
        row[0] = PeakNameText(peak);
        row[1] = QString::number(peak.Energy);
        row[2] = Text(FormatGeneral(peak.Probability, DecimalSeparator, 6));
        row[3] = Text(FormatGeneral(result.Activity, DecimalSeparator, 6));
        row[4] = Text(FormatGeneral(result.Area, DecimalSeparator, 6));
    }
}

void TEfficiencyCalibrator::SetCell(int row, int column, const QString& text) {
    if (row < 0 || row >= static_cast<int>(GridRows.size()) || column < 0 ||
        column >= CalGridColumns) {
        return;
    }
    GridRows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = text;
    ReadPointGrid();
    SplitCalPoints();
}

void TEfficiencyCalibrator::ReadPointGrid() {
    // Unreadable cells read 0; an energy outside the field's 0 .. 65535 keV
    // reads 0 as well, so the point is only ever at an energy it can keep.
    const int count = std::min<int>(static_cast<int>(GridRows.size()), MaxPeaks);
    const auto number = [this](const QString& cell) {
        return ToSingle(EditNumber(cell, DecimalSeparator).value_or(0));
    };
    for (int i = 0; i < count; ++i) {
        const auto& row = GridRows[static_cast<std::size_t>(i)];
        TPeakEntry peak = CalSample.PeakList.Peak[i];
        // A name is rewritten only when its cell changed, so the raw bytes
        // that SELECT compares (those after the terminating zero too) stay
        // as the list gave them. A name may fill all 16 bytes, as in the list.
        if (row[0] != PeakNameText(peak)) {
            const std::string name = TextToAnsi(row[0]);
            std::memset(peak.Name, 0, sizeof peak.Name);
            std::memcpy(peak.Name, name.data(), std::min(name.size(), sizeof peak.Name));
        }
        const auto energy = WholeNumber(row[1]);
        peak.Energy = energy && *energy >= 0 && *energy <= std::numeric_limits<std::uint16_t>::max()
                          ? static_cast<std::uint16_t>(*energy)
                          : 0;
        peak.Probability = number(row[2]);
        CalSample.PeakList.Peak[i] = peak;
        TPeakResult result = CalSample.Results.Result[i];
        result.Activity = number(row[3]);
        result.Area = number(row[4]);
        CalSample.Results.Result[i] = result;
    }
    CalSample.PeakList.Size = static_cast<std::uint8_t>(count);
    CalSample.Results.Size = static_cast<std::uint8_t>(count);
}

bool TEfficiencyCalibrator::SamePeakEntry(const TPeakEntry& a, const TPeakEntry& b) {
    const float pa = a.Probability, pb = b.Probability, la = a.Limit, lb = b.Limit;
    return std::memcmp(a.Name, b.Name, sizeof a.Name) == 0 && a.Energy == b.Energy && pa == pb &&
           la == lb;
}

void TEfficiencyCalibrator::TakeSelectedLines(const TPeakList& newList) {
    const TPeakList oldList = CalSample.PeakList;
    const TResultList oldResults = CalSample.Results;
    CalSample.PeakList = newList;
    const int count = LineCount(newList);
    CalSample.PeakList.Size = static_cast<std::uint8_t>(count);
    CalSample.Results.Size = static_cast<std::uint8_t>(count);
    const int oldCount = LineCount(oldList);
    for (int i = 0; i < count; ++i) {
        TPeakResult result{NewLineActivity, 0, NewLineArea};
        for (int k = 0; k < oldCount; ++k) {
            if (SamePeakEntry(newList.Peak[i], oldList.Peak[k])) {
                result = oldResults.Result[k];
                break;
            }
        }
        CalSample.Results.Result[i] = result;
    }
    FillPointGrid();
    SplitCalPoints();
}

std::vector<TCurvePoint> TEfficiencyCalibrator::CurvePoints() const {
    std::vector<TCurvePoint> points;
    const TEfficiencyCalibration rcal = CalSample.Calibration.RCal;
    for (const TCalPoints* part : {&CalPoints, &LinCalPoints}) {
        for (int n = 0; n < part->CalPointCount; ++n) {
            TCurvePoint p;
            p.Energy = part->Xi[n];
            p.Efficiency = part->Yi[n];
            p.PowerPart = part == &CalPoints;
            p.Deviation = (p.Efficiency - EfficiencyAt(rcal, p.Energy)) * 100 / p.Efficiency;
            p.DeviationText =
                Text(FormatFixed(p.Deviation, 3, 2, DecimalSeparator)) + QLatin1Char('%');
            points.push_back(p);
        }
    }
    return points;
}

void TEfficiencyCalibrator::ApplyTo(TSampleFile& sample) const {
    sample = CalSample;
    TEfficiencyCalibration rcal = sample.Calibration.RCal;
    rcal.m = ToSingle(EditNumber(EditTexts[MEdit], DecimalSeparator).value_or(0));
    rcal.Ecut = ToSingle(EditNumber(EditTexts[EcutEdit], DecimalSeparator).value_or(DefaultEcut));
    sample.Calibration.RCal = rcal;
}
