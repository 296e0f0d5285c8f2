#include "plots/EfficiencyPlots.h"

#include "analysis/CalibrationFunctions.h"
#include "core/NumberFormat.h"

#include <QFontMetrics>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Red(255, 0, 0);

// Pixel coordinates stay within this distance of the origin, so a wild
// coefficient cannot overflow int arithmetic (the painter clips anyway).
constexpr std::int64_t PixelLimit = 1 << 22;

int RoundPx(double v) {
    return static_cast<int>(std::clamp<std::int64_t>(Round(v), -PixelLimit, PixelLimit));
}

// The largest finite value among the curve's column values and the points'
// efficiencies; 1 when none is above 0.
double LargestValue(const TEfficiencyCalibration& rcal, const std::vector<TCurvePoint>& points,
                    int width, double kevPerPixel) {
    double largest = 0;
    const auto take = [&largest](double v) {
        if (std::isfinite(v) && v > largest) {
            largest = v;
        }
    };
    for (int x = 0; x < width; ++x) {
        take(EfficiencyAt(rcal, x * kevPerPixel));
    }
    for (const TCurvePoint& point : points) {
        take(point.Efficiency);
    }
    return largest > 0 ? largest : 1.0;
}

// Red crosses 3 pixels wide, each with its deviation text above it, or below
// it when the text would leave the top edge.
void DrawPoints(const std::vector<TCurvePoint>& points, int height, double kevPerPixel,
                double scale, QPainter& canvas) {
    const QPen cross(Red, 3);
    const int textHeight = canvas.fontMetrics().height();
    for (const TCurvePoint& point : points) {
        const double x = point.Energy / kevPerPixel;
        const double y = point.Efficiency * scale;
        if (!std::isfinite(x) || !std::isfinite(y)) {
            continue;
        }
        const int px = RoundPx(x);
        const int py = height - RoundPx(y);
        canvas.setPen(cross);
        canvas.drawLine(px - 3, py, px + 3, py);
        canvas.drawLine(px, py - 3, px, py + 3);
        const int top = py - textHeight - 2 < 0 ? py + 2 : py - textHeight - 2;
        // On white, so the text stays readable over the filled curve.
        const QRect box(px + 2, top,
                        canvas.fontMetrics().horizontalAdvance(point.DeviationText) + 1,
                        textHeight);
        canvas.fillRect(box, White);
        canvas.setPen(Black);
        canvas.drawText(box, Qt::AlignLeft | Qt::AlignTop, point.DeviationText);
    }
}

} // namespace

void DrawEfficiencyCurve(const TEfficiencyCalibrator& calibrator, QPainter& canvas,
                         const QRect& rect) {
    const int width = rect.width();
    const int height = rect.height();
    if (width <= 0 || height <= 0) {
        return;
    }
    canvas.save();
    canvas.translate(rect.topLeft());
    canvas.setClipRect(QRect(0, 0, width, height), Qt::IntersectClip);
    canvas.setRenderHint(QPainter::Antialiasing, false);

    // The box from (1, 1) to (W, H): white inside, a black outline on its
    // border pixels.
    canvas.fillRect(QRect(1, 1, width - 1, height - 1), White);
    canvas.setPen(QPen(Black, 1));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(QRect(1, 1, width - 2, height - 2));

    const double kevPerPixel = CurveEnergySpan / width;
    const TEfficiencyCalibration& rcal = calibrator.CalSample.Calibration.RCal;
    const std::vector<TCurvePoint> points = calibrator.CurvePoints();
    const double scale = height / LargestValue(rcal, points, width, kevPerPixel);

    // The area under the curve, one column at a time.
    for (int x = 0; x < width; ++x) {
        const double y = EfficiencyAt(rcal, x * kevPerPixel) * scale;
        if (std::isfinite(y)) {
            canvas.drawLine(x, height - RoundPx(y), x, height);
        }
    }

    // CurvePoints lists the power-law points first, then the straight-line
    // points, the order in which they are drawn.
    DrawPoints(points, height, kevPerPixel, scale, canvas);
    canvas.restore();
}

QString EfficiencyCursorText(const TEfficiencyCalibration& rcal, int x, int width,
                             char decimalSeparator) {
    const double kevPerPixel = width > 0 ? CurveEnergySpan / width : 0.0;
    const std::int64_t energy = Round(x * kevPerPixel);
    const double efficiency = EfficiencyAt(rcal, static_cast<double>(energy));
    return QString::number(energy) + QStringLiteral(" keV; ") +
           QString::fromStdString(FormatFixed(efficiency, 4, 4, decimalSeparator)) +
           QStringLiteral(" cps/(Bq/kg)");
}
