#include "plots/CalibrationPlots.h"
#include "plots/PixelDrawing.h"

#include "calibration/CalibrationToolMath.h"
#include "core/NumberFormat.h"

#include <QLine>
#include <QPen>
#include <QPoint>
#include <QPolygon>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Grey(128, 128, 128);
const QColor Silver(192, 192, 192);
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

// The relative FWHM in percent of a width sigma at a position: 2.355 sigma,
// times 100, over the position.
constexpr double FwhmPercentFactor = 235.5;

// Pixel coordinates stay within this distance of the origin, so values of a
// damaged spectrum or a wild fit cannot overflow int arithmetic (the painter
// clips to the view anyway).
constexpr std::int64_t PixelLimit = 1 << 22;

int RoundPx(double v) {
    return static_cast<int>(std::clamp<std::int64_t>(Round(v), -PixelLimit, PixelLimit));
}

// Saves the painter, moves its origin to the view's corner, clips to the view
// and switches antialiasing off; the destructor restores the caller's state.
class TViewPainter {
public:
    TViewPainter(QPainter& canvas, const QRect& rect) : Canvas(canvas) {
        Canvas.save();
        Canvas.translate(rect.topLeft());
        Canvas.setClipRect(QRect(0, 0, rect.width(), rect.height()), Qt::IntersectClip);
        Canvas.setRenderHint(QPainter::Antialiasing, false);
        Canvas.setBrush(Qt::NoBrush);
    }
    ~TViewPainter() { Canvas.restore(); }
    TViewPainter(const TViewPainter&) = delete;
    TViewPainter& operator=(const TViewPainter&) = delete;

private:
    QPainter& Canvas;
};

// A vertical line over the whole height at x, `width` pixels wide from
// x - width / 2 on.
void FullHeightLine(QPainter& canvas, int x, int height, int width, const QColor& colour) {
    const int x1 = x - width / 2;
    FillPixels(canvas, x1, 0, x1 + width, height, colour);
}

QPen PenOf(const QColor& colour, int width) {
    QPen pen(colour);
    pen.setWidth(width);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

// Channels of a working spectrum that may be read: its Size, never more than
// the array holds.
int UsableChannels(const TCalSpectrum& spectrum) {
    return std::clamp(spectrum.Size, 0, CalChannels);
}

std::optional<double> CellNumber(const QString& text, char decimalSeparator) {
    double v = 0;
    if (!TryParseNumber(text.toStdString(), decimalSeparator, v) || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

// One calibration point as numbers; a point whose cells do not read as
// numbers is left out of the drawing.
struct TPlotPoint {
    double Energy, Position, Sigma;
    bool Selected;
};

std::vector<TPlotPoint> PlotPoints(const TCalibrationTool& tool, int selectedPoint) {
    std::vector<TPlotPoint> points;
    for (std::size_t i = 0; i < tool.Points.size(); ++i) {
        const TCalPoint& p = tool.Points[i];
        const auto e = CellNumber(p.Energy, tool.DecimalSeparator);
        const auto ch = CellNumber(p.Position, tool.DecimalSeparator);
        const auto s = CellNumber(p.Sigma, tool.DecimalSeparator);
        if (e && ch && s) {
            points.push_back({*e, *ch, *s, static_cast<int>(i) == selectedPoint});
        }
    }
    return points;
}

// The relative FWHM of a point in percent; none at position 0.
std::optional<double> RelativeFwhm(double sigma, double position) {
    if (position == 0) {
        return std::nullopt;
    }
    const double f = sigma * FwhmPercentFactor / position;
    return std::isfinite(f) ? std::optional<double>(f) : std::nullopt;
}

double Cubic(const TPolynomCoefficients& c, double x) {
    return c[3] * x * x * x + c[2] * x * x + c[1] * x + c[0];
}

// The pixel row of `value` on a scale from 0 (bottom) to `top`.
int RowOf(double value, double top, int height) {
    return height - RoundPx(height * value / top);
}

} // namespace

void DrawToolSpectrum(const TCalibrationTool& tool, bool logView, int selectedPoint,
                      QPainter& canvas, const QRect& rect) {
    TViewPainter view(canvas, rect);
    const int W = rect.width();
    const int H = rect.height();
    DrawBox(canvas, 0, 0, W, H, Grey, White);
    DrawBox(canvas, RoundPx(tool.Marker1 * tool.Zoom), 0, RoundPx(tool.Marker2 * tool.Zoom), H,
            Grey, Silver);

    const TChannelMaximum max = FindMaximum(tool.Spectrum);
    if (max.Index < 0) {
        return;
    }
    double scale = max.Value;
    if (logView) {
        scale = max.Value >= 1 ? std::log10(static_cast<double>(max.Value)) : 1;
    }

    // One bar per channel from the bottom row H, its top at H - h: a line
    // whose end pixel is not drawn, or a rectangle when a channel is wider
    // than a pixel. Channels right of the view are not visited.
    QVector<QLine> lines;
    QVector<QRect> boxes;
    const int n = UsableChannels(tool.Spectrum);
    const double zoom = tool.Zoom;
    double running = 0;
    int x = 0;
    for (int i = 0; i < n && x < W; ++i) {
        const double count = tool.Spectrum.Channels[i];
        int h = 0;
        if (!logView) {
            h = RoundPx(count * H / scale);
        } else if (count >= 2 && scale > 0) {
            h = RoundPx(std::log10(count) * H / scale);
        }
        if (zoom > 1) {
            const int x2 = RoundPx(x + zoom);
            const int top = std::min(H, H - h);
            const int bottom = std::max(H, H - h);
            if (x2 > x && bottom > top) {
                boxes << QRect(x, top, x2 - x - 1, bottom - top - 1);
            }
        } else if (h >= 2) {
            lines << QLine(x, H - 1, x, H - h + 1);
        }
        running += zoom;
        x = RoundPx(running);
    }
    canvas.setPen(PenOf(Black, 1));
    if (!lines.isEmpty()) {
        canvas.drawLines(lines);
    }
    if (!boxes.isEmpty()) {
        canvas.setBrush(Silver);
        canvas.drawRects(boxes);
        canvas.setBrush(Qt::NoBrush);
    }

    for (const TPlotPoint& p : PlotPoints(tool, selectedPoint)) {
        const int px = RoundPx((p.Position - tool.Spectrum.Offset) * zoom);
        FullHeightLine(canvas, px, H, p.Selected ? 2 : 1, p.Selected ? Red : Blue);
    }
}

bool ToolPeakShown(const TCalibrationTool& tool) {
    return tool.Roi.Size > 0 && FindMaximum(tool.NetRoi).Index >= 0;
}

void DrawToolPeak(const TCalibrationTool& tool, QPainter& canvas, const QRect& rect) {
    TViewPainter view(canvas, rect);
    const int W = rect.width();
    const int H = rect.height();
    DrawBox(canvas, 0, 0, W, H, Grey, White);
    if (!ToolPeakShown(tool)) {
        return;
    }
    const double maxGross = FindMaximum(tool.Roi).Value;
    const double maxNet = FindMaximum(tool.NetRoi).Value;
    const int n = UsableChannels(tool.Roi);
    const int w = W / tool.Roi.Size;
    if (w > 0) {
        const bool outlined = w >= 4;
        for (int i = 0; i < n; ++i) {
            const int x = i * w;
            if (maxGross > 0) {
                const int gross = RoundPx(tool.Roi.Channels[i] * H / maxGross);
                DrawBox(canvas, x, H, x + w, H - gross, outlined ? Black : Grey, Grey);
            }
            const int net = RoundPx(tool.NetRoi.Channels[i] * H / maxNet);
            DrawBox(canvas, x, H, x + w, H - net, outlined ? Black : Blue, Blue);
        }
    }
    FullHeightLine(canvas, RoundPx(w * tool.Mean), H, 1, Red);

    double peak = GaussDensity(tool.Mean, tool.Sigma, tool.Mean);
    if (peak == 0) {
        peak = 1;
    }
    QPolygon curve;
    for (double t = -2.5; t < 2.5; t += 0.1) {
        const double position = t * tool.Sigma + tool.Mean;
        const double value = GaussDensity(tool.Mean, tool.Sigma, position);
        curve << QPoint(RoundPx(w * position), H - RoundPx(H * value / peak));
    }
    canvas.setPen(PenOf(Red, 2));
    canvas.drawPolyline(curve);
}

void DrawRegression(const TCalibrationTool& tool, int selectedPoint, QPainter& canvas,
                    const QRect& rect) {
    TViewPainter view(canvas, rect);
    const int W = rect.width();
    const int H = rect.height();
    DrawBox(canvas, 0, 0, W, H, Grey, White);
    const int size = tool.Spectrum.Size;
    if (tool.Points.empty() || size <= 0) {
        return;
    }
    const double offset = tool.Spectrum.Offset;
    const std::vector<TPlotPoint> points = PlotPoints(tool, selectedPoint);

    double largestEnergy = 0;
    double largestFwhm = 0;
    for (const TPlotPoint& p : points) {
        largestEnergy = std::max(largestEnergy, p.Energy);
        if (const auto f = RelativeFwhm(p.Sigma, p.Position)) {
            largestFwhm = std::max(largestFwhm, *f);
        }
    }
    const double eMax = 1.5 * largestEnergy;
    const double fMax = 1.2 * largestFwhm;

    canvas.setBrush(White);
    for (const TPlotPoint& p : points) {
        canvas.setPen(p.Selected ? PenOf(Red, 2) : PenOf(Blue, 1));
        const int x = RoundPx(W * (p.Position - offset) / size);
        if (eMax > 0) {
            canvas.drawEllipse(QRect(x - 3, RowOf(p.Energy, eMax, H) - 3, 6, 6));
        }
        const auto f = RelativeFwhm(p.Sigma, p.Position);
        if (f && fMax > 0) {
            canvas.drawRect(QRect(x - 3, RowOf(*f, fMax, H) - 3, 6, 6));
        }
    }
    canvas.setBrush(Qt::NoBrush);
    if (tool.Points.size() < 2) {
        return;
    }

    canvas.setPen(PenOf(Black, 1));
    const int channels = std::min(size, CalChannels);
    if (eMax > 0) {
        const TPolynomCoefficients& c = tool.Coefficients[EvsCh];
        QPolygon curve;
        for (int j = 0; j < channels; ++j) {
            const double e = Cubic(c, j + offset);
            curve << QPoint(RoundPx(static_cast<double>(W) * j / size), RowOf(e, eMax, H));
        }
        canvas.drawPolyline(curve);
    }
    if (fMax > 0) {
        const TPolynomCoefficients& s = tool.Coefficients[SvsCh];
        QPolygon curve;
        for (int j = 1; j < channels; ++j) {
            const double ch = j + offset;
            if (ch == 0) {
                continue; // no relative width at channel 0
            }
            const double f = Cubic(s, ch) * FwhmPercentFactor / ch;
            curve << QPoint(RoundPx(static_cast<double>(W) * j / size), RowOf(f, fMax, H));
        }
        canvas.drawPolyline(curve);
    }
}
