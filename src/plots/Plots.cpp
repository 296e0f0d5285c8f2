#include "plots/Plots.h"
#include "plots/PixelDrawing.h"

#include "analysis/CalibrationFunctions.h"
#include "core/NumberFormat.h"

#include <QFontMetrics>
#include <QPen>
#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Silver(192, 192, 192);
const QColor Red(255, 0, 0);
const QColor Green(0, 128, 0);
const QColor Blue(0, 0, 255);
const QColor Maroon(128, 0, 0);

// Starting values of the minimum and maximum searches.
constexpr double NoMinimum = 1e12;
constexpr double NoMaximum = -1e12;

// Pixel coordinates are kept within this distance of the origin: values of a
// damaged record must not overflow int arithmetic (the device clips anyway).
constexpr std::int64_t PixelLimit = 1 << 22;

// The trapezoid and doublet ranges are clipped to these channels; a result
// of a spectrum of at most 4096 channels never reaches beyond them.
constexpr std::int64_t FirstPlotChannel = -MaxChannels;
constexpr std::int64_t LastPlotChannel = 2 * MaxChannels - 1;

int Px(std::int64_t v) {
    return static_cast<int>(std::clamp(v, -PixelLimit, PixelLimit));
}

int RoundPx(double v) {
    return Px(Round(v));
}

struct TFrame {
    int Left, Top, Right, Bottom, W, H;
};

TFrame FrameOf(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height(), r.width(), r.height()};
}

// The pixel columns (or rows) of a line `width` pixels wide through position
// p: from p - width / 2 on, so that a 1-pixel line lies on p itself.
int WideStart(int p, int width) {
    return p - width / 2;
}

// Vertical line from (x, y1) towards (x, y2): the start pixel is drawn, the
// end pixel is not (a line from Top to Bottom covers the rectangle's rows).
void VLine(QPainter& canvas, int x, int y1, int y2, int width, const QColor& colour) {
    width = std::max(width, 1);
    const int x1 = WideStart(x, width);
    if (y1 <= y2) {
        FillPixels(canvas, x1, y1, x1 + width, y2, colour);
    } else {
        FillPixels(canvas, x1, y2 + 1, x1 + width, y1 + 1, colour);
    }
}

// Horizontal line from (x1, y) to (x2, y), x1 <= x2, end pixel not drawn.
void HLine(QPainter& canvas, int x1, int x2, int y, int width, const QColor& colour) {
    width = std::max(width, 1);
    const int y1 = WideStart(y, width);
    FillPixels(canvas, x1, y1, x2, y1 + width, colour);
}

// A 1-pixel line between two points, both drawn.
void Line(QPainter& canvas, QPoint from, QPoint to, const QColor& colour) {
    QPen pen(colour);
    pen.setWidth(1);
    pen.setCapStyle(Qt::SquareCap);
    canvas.setPen(pen);
    canvas.drawLine(from, to);
}

// White fill and black 1-pixel outline of the whole plot rectangle.
void DrawCommonFrame(QPainter& canvas, const TFrame& f) {
    DrawBox(canvas, f.Left, f.Top, f.Right, f.Bottom, Black, White);
}

// Prepares the painter for exact pixels; the caller's state is restored by
// the destructor.
class TPlotPainter {
public:
    explicit TPlotPainter(QPainter& canvas) : Canvas(canvas) {
        Canvas.save();
        Canvas.setRenderHint(QPainter::Antialiasing, false);
        Canvas.setRenderHint(QPainter::TextAntialiasing, false);
        Canvas.setBrush(Qt::NoBrush);
    }
    ~TPlotPainter() { Canvas.restore(); }
    TPlotPainter(const TPlotPainter&) = delete;
    TPlotPainter& operator=(const TPlotPainter&) = delete;

private:
    QPainter& Canvas;
};

// Writes `text` with its top-left corner at (x, y) in the given colour.
void DrawTextAt(QPainter& canvas, int x, int y, const QString& text, const QColor& colour) {
    canvas.setPen(colour);
    canvas.drawText(QPoint(x, y + canvas.fontMetrics().ascent()), text);
}

void DrawMessage(QPainter& canvas, const TFrame& f, const QString& text) {
    DrawCommonFrame(canvas, f);
    if (f.W > 0 && f.H > 0) {
        Line(canvas, QPoint(f.Left, f.Top), QPoint(f.Right - 1, f.Bottom - 1), Black);
        Line(canvas, QPoint(f.Left, f.Bottom - 1), QPoint(f.Right - 1, f.Top), Black);
    }
    if (!text.isEmpty()) {
        const QFontMetrics metrics = canvas.fontMetrics();
        const int width = metrics.horizontalAdvance(text);
        const int height = metrics.height();
        DrawTextAt(canvas, f.Left + (f.W - width) / 2, f.Top + height + 1, text, Black);
    }
}

// The channel value ch of the spectrum, or false when ch is not one of its
// channels or the value is not finite.
bool SpectrumValue(const TSpectrum& spectrum, std::int64_t ch, double& value) {
    if (ch < 0 || ch >= UsableChannels(spectrum)) {
        return false;
    }
    value = spectrum.Channel[ch];
    return std::isfinite(value);
}

// Half of a plot range: Round(factor * sigma), 0 for a width that is not a
// positive finite number, at most 4096 channels.
std::int64_t HalfRange(double sigma, double factor) {
    if (!(sigma > 0) || !std::isfinite(sigma)) {
        return 0;
    }
    return std::min<std::int64_t>(Round(factor * sigma), MaxChannels);
}

TPlotRange ClipRange(std::int64_t lo, std::int64_t hi) {
    lo = std::clamp(lo, FirstPlotChannel, LastPlotChannel);
    hi = std::clamp(hi, lo, LastPlotChannel);
    return {static_cast<int>(lo), static_cast<int>(hi)};
}

// exp(-0.5 ((ch - centre) / sigma)^2) * area / (2.5066 sigma) in single
// precision; 0 for a width that is not a positive finite number.
float Gaussian(std::int64_t ch, double centre, double sigma, double area) {
    if (!(sigma > 0) || !std::isfinite(sigma)) {
        return 0;
    }
    const double z = (static_cast<double>(ch) - centre) / sigma;
    return static_cast<float>(std::exp(-0.5 * z * z) * area / (2.5066 * sigma));
}

// The fitted curves of a trapezoid or doublet plot, one value per channel of
// the range, with the colour of each curve. Curves marked `FromZero` are drawn
// from 0 instead of the plot's minimum.
struct TCurve {
    QColor Colour;
    bool FromZero = false;
    bool InRange = false; // takes part in the vertical range
    std::vector<float> Values;
};

struct TFitScale {
    double Min = 0;
    double XScale = 0, YScale = 0;
};

// The vertical range of the spectrum and the in-range curves over the plot
// range and the scales of both axes. A range of less than one count after
// rounding (Round(1.1 * (max - min)) <= 0) is drawn with a divisor of 1.
TFitScale FitScale(const TSpectrum& spectrum, const TPlotRange& range,
                   const std::vector<TCurve>& curves, const TFrame& f) {
    double min = NoMinimum, max = NoMaximum;
    for (std::int64_t ch = range.First; ch <= range.Last; ++ch) {
        double v = 0;
        if (SpectrumValue(spectrum, ch, v)) {
            min = std::min(min, v);
            max = std::max(max, v);
        }
    }
    for (const TCurve& curve : curves) {
        if (!curve.InRange) {
            continue;
        }
        for (float value : curve.Values) {
            if (std::isfinite(value)) {
                min = std::min(min, static_cast<double>(value));
                max = std::max(max, static_cast<double>(value));
            }
        }
    }
    std::int64_t divisor = Round(1.1 * (max - min));
    if (divisor <= 0) {
        divisor = 1;
    }
    if (min > max) {
        min = 0; // nothing to draw against
    }
    TFitScale scale;
    scale.Min = min;
    scale.YScale = f.H / static_cast<double>(divisor);
    scale.XScale = f.W / static_cast<double>(range.Last - range.First + 1);
    return scale;
}

int PlotX(const TFrame& f, const TFitScale& s, const TPlotRange& range, double ch) {
    return f.Left + RoundPx((ch - range.First) * s.XScale);
}

// Draws the points as a polyline, broken where a value is missing.
class TPolyline {
public:
    TPolyline(QPainter& canvas, const QColor& colour) : Canvas(canvas), Colour(colour) {}
    ~TPolyline() { Flush(); }
    TPolyline(const TPolyline&) = delete;
    TPolyline& operator=(const TPolyline&) = delete;

    void Add(int x, int y) { Points.emplace_back(x, y); }
    void Break() { Flush(); }

private:
    void Flush() {
        if (Points.size() >= 2) {
            QPen pen(Colour);
            pen.setWidth(1);
            Canvas.setPen(pen);
            Canvas.drawPolyline(Points.data(), static_cast<int>(Points.size()));
        }
        Points.clear();
    }

    QPainter& Canvas;
    QColor Colour;
    std::vector<QPoint> Points;
};

void DrawSpectrumLine(QPainter& canvas, const TSpectrum& spectrum, const TPlotRange& range,
                      const TFitScale& s, const TFrame& f) {
    TPolyline line(canvas, Black);
    for (std::int64_t ch = range.First; ch <= range.Last; ++ch) {
        double v = 0;
        if (SpectrumValue(spectrum, ch, v)) {
            line.Add(PlotX(f, s, range, static_cast<double>(ch)),
                     f.Top + f.H - RoundPx((v - s.Min) * s.YScale));
        } else {
            line.Break();
        }
    }
}

void DrawCurve(QPainter& canvas, const TCurve& curve, const TPlotRange& range, const TFitScale& s,
               const TFrame& f) {
    TPolyline line(canvas, curve.Colour);
    const double base = curve.FromZero ? 0.0 : s.Min;
    for (std::size_t i = 0; i < curve.Values.size(); ++i) {
        const double v = curve.Values[i];
        if (std::isfinite(v)) {
            line.Add(PlotX(f, s, range, static_cast<double>(range.First + static_cast<int>(i))),
                     f.Top + f.H - RoundPx((v - base) * s.YScale));
        } else {
            line.Break();
        }
    }
}

// The vertical marker line and the name of one doublet peak.
void DrawDoubletLabel(QPainter& canvas, const TFrame& f, int x, int width, const QString& label,
                      const QColor& colour) {
    VLine(canvas, x, f.Bottom - 1, f.Top - 1, width, colour);
    const QFontMetrics metrics = canvas.fontMetrics();
    DrawTextAt(canvas, x - metrics.horizontalAdvance(label) / 2,
               f.Top + RoundPx(0.2 * metrics.height()), label, colour);
}

} // namespace

QColor PeakColor(int index) {
    static const QColor Palette[MaxPeaks] = {
        {255, 0, 0},   {0, 0, 255},   {0, 128, 0},     {255, 0, 255},
        {128, 0, 0},   {0, 255, 255}, {0, 255, 0},     {192, 220, 192},
        {0, 0, 128},   {128, 128, 0}, {128, 0, 128},   {166, 202, 240},
        {0, 128, 128}, {255, 255, 0}, {128, 128, 128}, {0, 0, 0},
    };
    if (index < 0 || index >= MaxPeaks) {
        return Black;
    }
    return Palette[index];
}

void DrawMessagePlot(QPainter& canvas, const QRect& rect, const QString& text) {
    TPlotPainter state(canvas);
    DrawMessage(canvas, FrameOf(rect), text);
}

void DrawSpectrumPlot(const TSampleFile& sample, int selected, int markerMode, bool logView,
                      const QRect& rect, QPainter& canvas) {
    if (!IsTrue(sample.Valid)) {
        return;
    }
    TPlotPainter state(canvas);
    const TFrame f = FrameOf(rect);
    DrawCommonFrame(canvas, f);

    const TSpectrum& spectrum = sample.Sample.Spectrum;
    const int n = UsableChannels(spectrum);
    double min = NoMinimum, max = NoMaximum;
    for (int i = 0; i < n; ++i) {
        const double v = spectrum.Channel[i];
        min = std::min(min, v);
        max = std::max(max, v);
    }
    if (!(max - min > 0) || n == 0) {
        DrawMessage(canvas, f, QStringLiteral("Invalid spectrum"));
        return;
    }
    if (logView) {
        max = max < 1 ? 1 : std::log10(max);
        min = min < 1 ? 0 : std::log10(min);
        if (!(max - min > 0)) {
            max = 1; // a largest value of exactly 1: one decade as for values below 1
        }
    }
    const double scale = f.H / (max - min);
    const int b = f.W / n;
    // Bars narrower than a pixel: channel i at a fractional position.
    const double pixelsPerChannel = b >= 1 ? b : static_cast<double>(f.W) / n;

    for (int i = 0; i < n; ++i) {
        const double v = spectrum.Channel[i];
        int h = 0;
        if (!logView) {
            h = RoundPx((v - min) * scale);
        } else if (v >= 1) {
            h = RoundPx((std::log10(v + 1) - min) * scale);
        }
        int x1 = 0, x2 = 0;
        if (b >= 1) {
            x1 = f.Left + i * b;
            x2 = x1 + b;
        } else {
            x1 = f.Left + static_cast<int>(static_cast<std::int64_t>(i) * f.W / n);
            x2 = x1 + 1;
        }
        DrawBox(canvas, x1, f.Bottom - h, x2, f.Bottom, Black, White);
    }

    const TPeakList& list = sample.PeakList;
    const TEnergyCalibration ecal = sample.Calibration.ECal;
    const int size = spectrum.Size;
    const int offset = spectrum.Offset;
    for (int i = 0; i < UsablePeaks(list); ++i) {
        double c = 0;
        if (EnergyToChannel(list.Peak[i].Energy, ecal, size, c)) {
            continue;
        }
        const int x = f.Left + RoundPx((c - offset) * pixelsPerChannel);
        if (markerMode == 1) {
            VLine(canvas, x, f.Top, f.Bottom, f.W / 600, PeakColor(i));
        } else if (i == selected) {
            VLine(canvas, x, f.Top, f.Bottom, 2, Red);
        } else {
            VLine(canvas, x, f.Top, f.Bottom, 1, Green);
        }
    }
}

void DrawRoiPlot(const TRoiArray& extract, const TRoiArray& smoothed,
                 const TRoiArray& secondDerivative, const QRect& rect, QPainter& canvas,
                 double /*sigmaFound*/, double expectedWidth, double centreOffset,
                 const TPeakEntry& /*peak*/, int count) {
    TPlotPainter state(canvas);
    const TFrame f = FrameOf(rect);
    DrawCommonFrame(canvas, f);

    const int n = std::clamp(count, 0, RoiPoints);
    double min = NoMinimum, max = NoMaximum;
    for (int i = 0; i < n; ++i) {
        min = std::min(min, extract[i]);
        max = std::max(max, extract[i]);
    }
    if (!(max - min > 0)) {
        DrawMessage(canvas, f, QStringLiteral("No valid ROI"));
        return;
    }
    const double scale = f.H / (max - min);
    const int b = f.W / n;

    for (int i = 0; i < n; ++i) {
        const int h = RoundPx((extract[i] - min) * scale);
        const int x = f.Left + i * b;
        DrawBox(canvas, x, f.Bottom - h, x + b, f.Bottom, Black, Silver);
    }

    for (int i = 0; i < n; ++i) {
        const int h = std::max(RoundPx((smoothed[i] - min) * scale), 0);
        VLine(canvas, f.Left + i * b + b / 2, f.Bottom - h, f.Bottom, 2, Red);
    }

    double min2 = NoMinimum, max2 = NoMaximum;
    for (int i = 0; i < n; ++i) {
        min2 = std::min(min2, secondDerivative[i]);
        max2 = std::max(max2, secondDerivative[i]);
    }
    if (max2 - min2 > 0 && std::isfinite(max2 - min2)) {
        const double scale2 = f.H / (max2 - min2);
        const int y0 = f.Top + RoundPx(max2 * scale2);
        HLine(canvas, f.Left, f.Right, y0, 1, Blue);
        for (int i = 0; i < n; ++i) {
            const int x = f.Left + i * b + b / 2 + 2;
            VLine(canvas, x, y0 - RoundPx(secondDerivative[i] * scale2), y0, 2, Blue);
        }
    } else {
        // A flat second derivative has no scale: only its zero line, centred.
        HLine(canvas, f.Left, f.Right, f.Top + f.H / 2, 1, Blue);
    }

    VLine(canvas, f.Left + RoundPx(b * centreOffset), f.Top, f.Bottom, 2, Green);
    VLine(canvas, f.Left + RoundPx((centreOffset - 1.25 * expectedWidth) * b), f.Top, f.Bottom, 1,
          Green);
    VLine(canvas, f.Left + RoundPx((centreOffset + 1.25 * expectedWidth) * b), f.Top, f.Bottom, 1,
          Green);
}

TPlotRange TrapezoidPlotRange(const TTrapezoidResult& result) {
    const std::int64_t c = result.Geometry.CenterChannel;
    const std::int64_t half = HalfRange(result.Geometry.Sigma, 5);
    return ClipRange(c - half, c + half);
}

TPlotRange DoubletPlotRange(const TDoubletResult& result) {
    const TDoubletSolution& s = result.Solution;
    const std::int64_t a = s.CenterA, b = s.CenterB;
    if (a < b) {
        return ClipRange(a - HalfRange(s.SigmaA, 4), b + HalfRange(s.SigmaB, 4));
    }
    return ClipRange(b - HalfRange(s.SigmaB, 4), a + HalfRange(s.SigmaA, 4));
}

void DrawTrapezoidPlot(const TSpectrum& spectrum, const TTrapezoidResult& result, QPainter& canvas,
                       const QRect& rect) {
    TPlotPainter state(canvas);
    const TFrame f = FrameOf(rect);
    const TTrapezoidGeometry g = result.Geometry;
    const TPlotRange range = TrapezoidPlotRange(result);

    TCurve gauss{Red, true, false, {}}, sum{Green, false, true, {}}, line{Maroon, false, false, {}};
    for (std::int64_t ch = range.First; ch <= range.Last; ++ch) {
        const float gv = Gaussian(ch, g.CenterChannel, g.Sigma, g.NetArea);
        const float lv = static_cast<float>(static_cast<double>(ch) * g.Slope + g.Intercept);
        gauss.Values.push_back(gv);
        line.Values.push_back(lv);
        sum.Values.push_back(gv + lv);
    }
    const std::vector<TCurve> curves{gauss, sum, line};
    const TFitScale s = FitScale(spectrum, range, curves, f);

    DrawCommonFrame(canvas, f);
    const auto window = [&](int first, int last) {
        const int x1 = PlotX(f, s, range, first);
        const int x2 = PlotX(f, s, range, last);
        DrawBox(canvas, x1, f.Top + 1, x2, f.Bottom - 1, Silver, Silver);
    };
    window(g.LeftFirst, g.LeftLast);
    window(g.RightFirst, g.RightLast);

    DrawSpectrumLine(canvas, spectrum, range, s, f);
    for (const TCurve& curve : curves) {
        DrawCurve(canvas, curve, range, s, f);
    }
}

void DrawDoubletPlot(const TSpectrum& spectrum, const TDoubletResult& result, QPainter& canvas,
                     const QRect& rect) {
    TPlotPainter state(canvas);
    const TFrame f = FrameOf(rect);
    const TDoubletSolution d = result.Solution;
    const TPlotRange range = DoubletPlotRange(result);

    TCurve gaussA{Red, true, false, {}}, gaussB{Blue, true, false, {}};
    TCurve sum{Green, false, true, {}}, line{Maroon, false, false, {}};
    for (std::int64_t ch = range.First; ch <= range.Last; ++ch) {
        const float a = Gaussian(ch, d.CenterA, d.SigmaA, d.AreaA);
        const float b = Gaussian(ch, d.CenterB, d.SigmaB, d.AreaB);
        const float lv = static_cast<float>(static_cast<double>(ch) * d.Slope + d.Intercept);
        gaussA.Values.push_back(a);
        gaussB.Values.push_back(b);
        line.Values.push_back(lv);
        sum.Values.push_back(a + b + lv);
    }
    const std::vector<TCurve> curves{gaussA, gaussB, sum, line};
    const TFitScale s = FitScale(spectrum, range, curves, f);

    DrawCommonFrame(canvas, f);
    DrawSpectrumLine(canvas, spectrum, range, s, f);
    for (const TCurve& curve : curves) {
        DrawCurve(canvas, curve, range, s, f);
    }

    QFont font = canvas.font();
    font.setBold(false);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    canvas.setFont(font);
    const QString own = PeakNameToText(result.Peak);
    const QString partner = PeakNameToText(result.Partner);
    const bool ownIsA = result.PairIndex == 0;
    const bool ownIsB = result.PairIndex == 1;
    DrawDoubletLabel(canvas, f, PlotX(f, s, range, d.CenterA), ownIsA ? 3 : 1,
                     ownIsA ? own : partner, Red);
    DrawDoubletLabel(canvas, f, PlotX(f, s, range, d.CenterB), ownIsB ? 3 : 1,
                     ownIsB ? own : partner, Blue);
}

void CursorPosition(const TSampleFile& sample, int boxWidth, int x, double& energy, int& channel) {
    if (!IsTrue(sample.Valid)) {
        energy = -1;
        channel = 0;
        return;
    }
    energy = -1;
    channel = -1;
    const TSpectrum& spectrum = sample.Sample.Spectrum;
    const int n = UsableChannels(spectrum);
    if (n == 0 || boxWidth <= 0) {
        return;
    }
    const int b = boxWidth / n;
    const std::int64_t c =
        b >= 1 ? Round(static_cast<double>(x) / b) : Round(static_cast<double>(x) * n / boxWidth);
    channel = static_cast<int>(std::clamp<std::int64_t>(c, -PixelLimit, PixelLimit));
    double e = 0;
    if (ChannelToEnergy(spectrum.Size, spectrum.Offset, sample.Calibration.ECal, e, channel) ==
        EnergyFound) {
        energy = e;
    }
}

QString CursorReadoutText(const TSampleFile& sample, bool backgroundBox, double energy,
                          int channel) {
    const TSpectrum& spectrum = sample.Sample.Spectrum;
    const int limit = spectrum.Size + spectrum.Offset;
    const bool hasEnergy = energy >= 0; // false for NaN as well
    const QString keV = hasEnergy ? QString::number(Round(energy)) + QStringLiteral(" keV") : "";
    if (backgroundBox) {
        if (!hasEnergy || channel < 0 || channel >= limit) {
            return QStringLiteral("out of range");
        }
        return keV + QStringLiteral(" [") + QString::number(channel) + QStringLiteral("]");
    }
    QString text = hasEnergy ? keV : QStringLiteral("out of range");
    if (channel >= 0 && channel < limit && channel < UsableChannels(spectrum)) {
        const double count = spectrum.Channel[channel];
        text += QStringLiteral(", [") + QString::number(channel) + QStringLiteral("], ") +
                QString::number(Round(count)) + QStringLiteral(" cts");
    }
    return text;
}
