#include "analysis/AnalysisRun.h"

#include "analysis/BackgroundSubtraction.h"
#include "core/NumberFormat.h"

namespace {

QString Fixed(double v, int p, int d, char sep) {
    return QString::fromStdString(FormatFixed(v, p, d, sep));
}

QString Int(std::int64_t v) {
    return QString::number(v);
}

TReportColour ResultColour(const TPeakEntry& peak, double activity) {
    return peak.Limit > 0 && activity > peak.Limit ? TReportColour::Red : TReportColour::Blue;
}

// "15 (5) %" with valid settings, "(5) %" without.
QString UncertaintyText(const TUncertaintySettings& u, double error, char sep,
                        std::optional<double>& total) {
    double t = 0;
    QString text;
    if (GetTotalUncertainty(u, error / 1.96, t)) {
        total = t;
        text = Fixed(t, 3, 0, sep) + " (";
    } else {
        text = "(";
    }
    return text + Fixed(error, 3, 0, sep) + ") %";
}

TPlot MessagePlot(const QString& text) {
    TPlot p;
    p.Kind = TPlotKind::Message;
    p.Message = text;
    return p;
}

TPlot SpectrumPlot(TPlotSource source, int selected, bool logView) {
    TPlot p;
    p.Kind = TPlotKind::Spectrum;
    p.Source = source;
    p.Selected = selected;
    p.MarkerMode = 0;
    p.LogView = logView;
    return p;
}

TPlot BackgroundBox(const TAnalysisState& state, int selected, bool logView) {
    if (IsTrue(state.BackgroundSample.Valid)) {
        return SpectrumPlot(TPlotSource::Background, selected, logView);
    }
    return MessagePlot("No valid background sample assigned");
}

QString RoiDiagnostic(const QString& head, const TRoiEvaluation& e, double activity, char sep) {
    const QString a1 = Fixed(activity, 18, 1, sep);
    const QString ratioPart = " Se: " + Fixed(e.ExpectedWidth, 4, 2, sep) +
                              " Sd: " + Fixed(e.SigmaFound, 4, 2, sep) +
                              " R: " + Fixed(e.SigmaFound / e.ExpectedWidth, 4, 2, sep);
    switch (e.Code) {
    case 2:
        return head + "< " + a1 + "Bq/kg - No maximum found!";
    case 3:
        return head + "< " + a1 + "Bq/kg - No inflection point found!";
    case 4:
        return head + "< " + a1 + "Bq/kg - Wrong Sigma:" + ratioPart;
    case 5:
        return head + "< " + a1 + "Bq/kg - Not significant:" + ratioPart;
    default: // 1 and 100
        return head + "ROI outside spectrum!";
    }
}

} // namespace

QString SampleDescription(const TSampleParameter& p, char sep) {
    return "Zel-Korda SN: " + Int(p.SerialNumber) + "; Weight: " + Fixed(p.Weight, 3, 2, sep) +
           " kg; Time: " + Int(p.SampleInterval) + " s; Sample-ID: " + Int(p.SampleID);
}

QStringList ShowOrigins(const TAnalysisState& state) {
    return {"Energy/Peak width calibration: " + state.EWCalOrigin,
            "Efficiency calibration: " + state.EfficiencyOrigin,
            "Peak list: " + state.PeakListOrigin, "Background spectrum: " + state.BackgroundOrigin};
}

TAnalysisRun AnalyseSample(TAnalysisState& state, const TAnalysisOptions& options,
                           const TUncertaintySettings& uncertainties) {
    TAnalysisRun run;
    const char sep = options.DecimalSeparator;

    if (!IsTrue(state.MeasuredSample.Valid)) {
        run.Background = state.BackgroundSample;
        run.RoiPlot = MessagePlot("");
        run.SpectrumPlot = MessagePlot("Open or load sample");
        run.BackgroundPlot = BackgroundBox(state, 0, options.LogView);
        run.Origins = ShowOrigins(state);
        return run;
    }

    run.SampleValid = true;
    run.Description = SampleDescription(state.MeasuredSample.Sample.Parameter, sep);
    run.WorkingCopy = PrepareWorkingCopy(state.MeasuredSample, state.BackgroundSample,
                                         options.BackgroundSubtraction, run.Subtracted);
    run.Background = state.BackgroundSample; // after the peak list was copied into it
    TSampleFile& copy = run.WorkingCopy;
    const int sel = options.Selected;
    const int peaks = UsablePeaks(copy.PeakList);

    for (int i = 0; i < peaks; ++i) {
        const TPeakEntry peak = copy.PeakList.Peak[i];
        const QString head = PeakNameToText(peak) + ", " + Int(peak.Energy) + "keV: ";
        TPeakReport report;
        report.Index = i;
        QString line;
        bool hasLine = true;
        const TTrapezoidResult& trapezoid = state.TrapezoidResults.Result[i];
        const TDoubletResult& doublet = state.DoubletResults.Result[i];

        if (state.TrapezoidResults.Valid && trapezoid.Significant) {
            report.Source = TResultSource::Trapezoid;
            report.Result = trapezoid.AsResult();
            report.Colour = ResultColour(peak, trapezoid.Activity);
            const QString u =
                UncertaintyText(uncertainties, trapezoid.Error, sep, report.TotalUncertainty);
            line = head + "(Trapezoid) Area: " + Int(Round(trapezoid.Area)) +
                   " cts;  Activity: " + Fixed(trapezoid.Activity, 18, 1, sep) +
                   " Bq/kg;  Error: " + u;
            if (i == sel) {
                run.RoiPlot.Kind = TPlotKind::Trapezoid;
                run.RoiPlot.Trapezoid = trapezoid;
            }
        } else if (state.DoubletResults.Valid && doublet.Solved) {
            report.Source = TResultSource::Doublet;
            report.Result = doublet.AsResult();
            QString activityText;
            QString uncertaintyText;
            if (doublet.Error == -1) {
                report.Colour = TReportColour::Blue;
                activityText = "Activity: < " + Fixed(doublet.Activity, 18, 1, sep) + " Bq/kg;  ";
            } else {
                report.Colour = ResultColour(peak, doublet.Activity);
                activityText = "Activity: " + Fixed(doublet.Activity, 18, 1, sep) + " Bq/kg;  ";
                uncertaintyText = "Error: " + UncertaintyText(uncertainties, doublet.Error, sep,
                                                              report.TotalUncertainty);
            }
            line = head + "(Doublet) Area: " + Int(Round(doublet.Area)) + " cts;  " + activityText +
                   uncertaintyText;
            if (i == sel) {
                run.RoiPlot.Kind = TPlotKind::Doublet;
                run.RoiPlot.Doublet = doublet;
            }
        } else {
            report.Source = TResultSource::Roi;
            const TRoiEvaluation e =
                EvaluatePeak(copy, state.BackgroundSample.Sample, i, run.Subtracted);
            const TPeakResult r = copy.Results.Result[i];
            report.Code = e.Code;
            report.Result = r;
            if (e.Code == 0) {
                report.Colour = ResultColour(peak, r.Activity);
                const QString u =
                    UncertaintyText(uncertainties, r.Error, sep, report.TotalUncertainty);
                line = head + "R: " + Fixed(e.SigmaFound / e.ExpectedWidth, 4, 2, sep) +
                       ";  Area: " + Int(Round(r.Area)) +
                       " cts;  Activity: " + Fixed(r.Activity, 18, 1, sep) + " Bq/kg;  Error: " + u;
            } else {
                report.Colour = TReportColour::Black;
                hasLine = options.DetailedResults;
                line = RoiDiagnostic(head, e, r.Activity, sep);
            }
            if (i == sel) {
                // Without an extracted ROI there is nothing to draw but the message.
                if (e.Code == 1 || !e.HasRoi) {
                    run.RoiPlot = MessagePlot("Invalid ROI definition");
                } else {
                    run.RoiPlot.Kind = TPlotKind::Roi;
                    run.RoiPlot.Roi = e;
                    run.RoiPlot.Peak = peak;
                }
            }
        }
        state.MeasuredSample.Results.Result[i] = report.Result;
        if (hasLine) {
            report.Line = static_cast<int>(run.Lines.size());
            run.Lines.push_back({line, report.Colour});
        }
        run.Peaks.push_back(report);
        if (i == sel) {
            run.SpectrumPlot = SpectrumPlot(TPlotSource::WorkingCopy, sel, options.LogView);
            run.BackgroundPlot = BackgroundBox(state, sel, options.LogView);
        }
    }
    run.Origins = ShowOrigins(state);
    return run;
}

QString BackgroundCompatibilityMessage(const TSampleFile& m, const TSampleFile& b) {
    if (!IsTrue(b.Valid)) {
        return {};
    }
    if (m.Sample.Spectrum.Size != b.Sample.Spectrum.Size ||
        m.Sample.Spectrum.Offset != b.Sample.Spectrum.Offset ||
        m.Sample.Parameter.SampleInterval == 0 || b.Sample.Parameter.SampleInterval == 0) {
        return "Background spectrum size does not fit with sample, subtraction not possible";
    }
    const TEnergyCalibration& x = m.Calibration.ECal;
    const TEnergyCalibration& y = b.Calibration.ECal;
    if (x.C0 != y.C0 || x.C1 != y.C1 || x.C2 != y.C2 || x.C3 != y.C3) {
        return "Energy calibration of sample and background does not fit!";
    }
    return {};
}
