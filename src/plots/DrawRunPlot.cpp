#include "plots/DrawRunPlot.h"

#include "plots/Plots.h"

void DrawRunPlot(const TAnalysisRun& run, const TPlot& plot, QPainter& painter, const QRect& rect) {
    switch (plot.Kind) {
    case TPlotKind::Nothing:
        break;
    case TPlotKind::Message:
        DrawMessagePlot(painter, rect, plot.Message);
        break;
    case TPlotKind::Spectrum:
        DrawSpectrumPlot(plot.Source == TPlotSource::Background ? run.Background : run.WorkingCopy,
                         plot.Selected, plot.MarkerMode, plot.LogView, rect, painter);
        break;
    case TPlotKind::Roi:
        DrawRoiPlot(plot.Roi.Extract, plot.Roi.Smoothed, plot.Roi.SecondDerivative, rect, painter,
                    plot.Roi.SigmaFound, plot.Roi.ExpectedWidth, plot.Roi.CentreOffset, plot.Peak,
                    plot.Roi.Count);
        break;
    case TPlotKind::Trapezoid:
        DrawTrapezoidPlot(run.WorkingCopy.Sample.Spectrum, plot.Trapezoid, painter, rect);
        break;
    case TPlotKind::Doublet:
        DrawDoubletPlot(run.WorkingCopy.Sample.Spectrum, plot.Doublet, painter, rect);
        break;
    }
}
