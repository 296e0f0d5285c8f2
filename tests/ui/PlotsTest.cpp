#include "plots/Plots.h"

#include "SampleFixtures.h"
#include "core/NumberFormat.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace {

// Drawing text needs a GUI application (offscreen platform).
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        if (QCoreApplication::instance() == nullptr) {
            App = std::make_unique<QGuiApplication>(Argc, Argv);
        }
    }
    void TearDown() override { App.reset(); }

private:
    int Argc = 1;
    char Name[16] = "zk_ui_tests";
    char* Argv[2] = {Name, nullptr};
    std::unique_ptr<QGuiApplication> App;
};

const auto* const Environment = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

const QColor Untouched(40, 40, 40);
const QColor White(255, 255, 255);
const QColor Black(0, 0, 0);
const QColor Silver(192, 192, 192);
const QColor Red(255, 0, 0);
const QColor Green(0, 128, 0);
const QColor Blue(0, 0, 255);

// An image of w x h pixels in a dark colour that no plot uses, drawn on by
// `draw` with a painter, and saved as a PNG beside the test executable when
// `name` is given (to look at).
QImage Render(int w, int h, const std::function<void(QPainter&)>& draw,
              const char* name = nullptr) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Untouched);
    {
        QPainter painter(&image);
        draw(painter);
    }
    if (name != nullptr) {
        image.save(QDir(QCoreApplication::applicationDirPath()).filePath(name));
    }
    return image;
}

QColor At(const QImage& image, int x, int y) {
    return image.pixelColor(x, y);
}

// Rows y1 <= y < y2 of column x that have the colour.
int CountInColumn(const QImage& image, int x, int y1, int y2, const QColor& colour) {
    int n = 0;
    for (int y = y1; y < y2; ++y) {
        n += At(image, x, y) == colour ? 1 : 0;
    }
    return n;
}

int CountColour(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += At(image, x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

// The frame of a rectangle: black corners and black border pixels, except
// where up to `overdrawn` marker or curve pixels per side lie on the border.
void ExpectFrame(const QImage& image, const QRect& r, int overdrawn = 12) {
    const int right = r.left() + r.width() - 1, bottom = r.top() + r.height() - 1;
    int top = 0, low = 0, left = 0, rightSide = 0;
    for (int x = r.left(); x <= right; ++x) {
        top += At(image, x, r.top()) == Black;
        low += At(image, x, bottom) == Black;
    }
    for (int y = r.top(); y <= bottom; ++y) {
        left += At(image, r.left(), y) == Black;
        rightSide += At(image, right, y) == Black;
    }
    EXPECT_GE(top, r.width() - overdrawn);
    EXPECT_GE(low, r.width() - overdrawn);
    EXPECT_GE(left, r.height() - overdrawn);
    EXPECT_GE(rightSide, r.height() - overdrawn);
    EXPECT_EQ(At(image, r.left(), r.top()), Black);
    EXPECT_EQ(At(image, right, r.top()), Black);
    // Nothing outside the rectangle (where the image has room around it).
    const auto outside = [&](int x, int y) {
        if (image.valid(x, y)) {
            EXPECT_EQ(At(image, x, y), Untouched) << x << "," << y;
        }
    };
    outside(r.left() - 1, r.top());
    outside(right + 1, bottom);
    outside(r.left(), bottom + 1);
    outside(right, r.top() - 1);
}

// Channel i holds value(i); channel = energy in keV, nothing else set.
TSampleFile MakeSample(int size, const std::function<float(int)>& value) {
    TSampleFile s = FlatSample(size);
    SetChannels(s, value);
    SetCalibration(s, ChannelIsKeV);
    return s;
}

} // namespace

TEST(PeakColor, PaletteByIndexAndBlackOutside) {
    EXPECT_EQ(PeakColor(0), QColor(255, 0, 0));
    EXPECT_EQ(PeakColor(2), QColor(0, 128, 0));
    EXPECT_EQ(PeakColor(7), QColor(192, 220, 192));
    EXPECT_EQ(PeakColor(11), QColor(166, 202, 240));
    EXPECT_EQ(PeakColor(14), QColor(128, 128, 128));
    EXPECT_EQ(PeakColor(15), QColor(0, 0, 0));
    EXPECT_EQ(PeakColor(-1), Black);
    EXPECT_EQ(PeakColor(16), Black);
}

TEST(MessagePlot, EmptyTextDrawsOnlyTheCrossedFrame) {
    const QRect r(5, 7, 100, 100);
    const QImage image = Render(
        120, 120, [&](QPainter& p) { DrawMessagePlot(p, r, ""); }, "message_empty.png");
    ExpectFrame(image, r);
    for (int k = 1; k < 99; ++k) {
        ASSERT_EQ(At(image, 5 + k, 7 + k), Black) << k;      // falling diagonal
        ASSERT_EQ(At(image, 5 + k, 7 + 99 - k), Black) << k; // rising diagonal
    }
    // Frame (4 * 99 pixels) and two diagonals of 98 inner pixels, nothing else.
    EXPECT_EQ(CountColour(image, Black), 4 * 99 + 2 * 98);
    EXPECT_EQ(CountColour(image, White), 98 * 98 - 2 * 98);
}

TEST(MessagePlot, TextIsCentredOneTextHeightBelowTheTop) {
    const QRect r(0, 0, 300, 120);
    QImage plain = Render(300, 120, [&](QPainter& p) { DrawMessagePlot(p, r, ""); });
    QImage withText = Render(
        300, 120, [&](QPainter& p) { DrawMessagePlot(p, r, "No valid ROI"); }, "message_text.png");
    int first = 300, last = -1, top = 120;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 300; ++x) {
            if (plain.pixelColor(x, y) != withText.pixelColor(x, y)) {
                first = std::min(first, x);
                last = std::max(last, x);
                top = std::min(top, y);
            }
        }
    }
    ASSERT_GE(last, first) << "no text drawn";
    // Centred within a couple of pixels of side bearing, below one text height.
    EXPECT_NEAR((first + last) / 2.0, 150, 3);
    QFontMetrics metrics(QGuiApplication::font());
    EXPECT_GE(top, metrics.height() + 1);
}

TEST(SpectrumPlot, ThousandChannelsInTheMainBoxGetOnePixelBars) {
    // 1024 channels in 1028 pixels: bar width 1, channel i on column Left + i.
    const TSampleFile s = MakeSample(1024, [](int i) { return static_cast<float>(i); });
    const QRect r(2, 3, 1028, 241);
    const QImage image = Render(
        1032, 248, [&](QPainter& p) { DrawSpectrumPlot(s, -1, 0, false, r, p); },
        "spectrum_1024.png");
    ExpectFrame(image, r);
    const int bottom = 3 + 241;
    for (int i : {100, 330, 700, 1000}) {
        const int h = static_cast<int>(Round(i * 241.0 / 1023));
        EXPECT_EQ(CountInColumn(image, 2 + i, bottom - h, bottom, Black), h) << i;
        EXPECT_EQ(At(image, 2 + i, bottom - h - 1), White) << i;
    }
}

TEST(SpectrumPlot, WideBarsAreOutlinedAndFilledWhite) {
    // 8 channels in 80 pixels: bars of 10 pixels from Left + 10 i.
    const TSampleFile s = MakeSample(8, [](int i) { return i == 5 ? 10.0f : 0.0f; });
    const QImage image = Render(
        80, 50, [&](QPainter& p) { DrawSpectrumPlot(s, -1, 0, false, QRect(0, 0, 80, 50), p); });
    // Bar 5 spans columns 50..59, rows 0..49 (its height is the full 50).
    EXPECT_EQ(CountInColumn(image, 50, 0, 50, Black), 50);
    EXPECT_EQ(CountInColumn(image, 59, 0, 50, Black), 50);
    EXPECT_EQ(At(image, 55, 25), White);
    EXPECT_EQ(At(image, 60, 25), White);
}

TEST(SpectrumPlot, LogViewBelowOneDrawsNoBars) {
    // Largest value 0.5: the scale is 0..1 and every bar has height 0.
    const TSampleFile s = MakeSample(100, [](int i) { return i == 50 ? 0.5f : 0.0f; });
    const QRect r(0, 0, 200, 60);
    const QImage image =
        Render(200, 60, [&](QPainter& p) { DrawSpectrumPlot(s, -1, 0, true, r, p); });
    ExpectFrame(image, r);
    EXPECT_EQ(CountColour(image, White), 198 * 58);
}

TEST(SpectrumPlot, LogViewScalesDecades) {
    // Values 1 and 999: scale 0..3 over 300 rows; log10(1000) = 3 fills the box,
    // log10(2) gives Round(30.1) = 30 rows.
    const TSampleFile s = MakeSample(10, [](int i) { return i == 3 ? 999.0f : 1.0f; });
    const QImage image = Render(
        100, 300, [&](QPainter& p) { DrawSpectrumPlot(s, -1, 0, true, QRect(0, 0, 100, 300), p); });
    EXPECT_EQ(CountInColumn(image, 30, 0, 300, Black), 300);
    EXPECT_EQ(At(image, 55, 300 - 30), Black);
    EXPECT_EQ(At(image, 55, 300 - 31), White);
}

TEST(SpectrumPlot, MarkersFollowTheMarkerMode) {
    TSampleFile s = MakeSample(100, [](int i) { return static_cast<float>(i % 7); });
    AddPeak(s, "A", 20, 10, 0);
    AddPeak(s, "B", 50, 10, 0);
    AddPeak(s, "C", 300, 10, 0);   // beyond the spectrum: no marker
    const QRect r(0, 0, 1200, 40); // bar width 12, so channel c sits at 12 c
    const auto draw = [&](int selected, int mode) {
        return Render(1200, 40,
                      [&](QPainter& p) { DrawSpectrumPlot(s, selected, mode, false, r, p); });
    };
    // Mode 0 without a selection: every marker green and 1 pixel wide.
    const QImage none = draw(-1, 0);
    EXPECT_EQ(CountInColumn(none, 240, 0, 40, Green), 40);
    EXPECT_EQ(CountInColumn(none, 600, 0, 40, Green), 40);
    EXPECT_EQ(CountInColumn(none, 599, 0, 40, Green), 0);
    EXPECT_EQ(CountColour(none, Red), 0);
    // Mode 0 with peak 1 selected: red, 2 pixels.
    const QImage selected = draw(1, 0);
    EXPECT_EQ(CountInColumn(selected, 240, 0, 40, Green), 40);
    EXPECT_EQ(CountInColumn(selected, 599, 0, 40, Red), 40);
    EXPECT_EQ(CountInColumn(selected, 600, 0, 40, Red), 40);
    EXPECT_EQ(CountColour(selected, Red), 80);
    // Mode 1: the palette, 1200 / 600 = 2 pixels wide.
    const QImage print = draw(0, 1);
    EXPECT_EQ(CountColour(print, PeakColor(0)), 80);
    EXPECT_EQ(CountColour(print, PeakColor(1)), 80);
    EXPECT_EQ(CountInColumn(print, 600, 0, 40, PeakColor(1)), 40);
}

TEST(SpectrumPlot, MoreChannelsThanPixelsAreDrawnCompressed) {
    TSampleFile s = MakeSample(4096, [](int i) { return i == 2048 ? 100.0f : 1.0f; });
    AddPeak(s, "A", 2048, 10, 0);
    const QRect r(0, 0, 1028, 100);
    const QImage image = Render(
        1028, 100, [&](QPainter& p) { DrawSpectrumPlot(s, 0, 0, false, r, p); },
        "spectrum_4096.png");
    // Channel 2048 lies on column 2048 * 1028 / 4096 = 514, with its red marker.
    EXPECT_EQ(CountInColumn(image, 513, 1, 99, Red) + CountInColumn(image, 514, 1, 99, Red),
              2 * 98);
    EXPECT_EQ(CountColour(image, Red), 2 * 100);
    EXPECT_EQ(At(image, 400, 50), White);
}

TEST(SpectrumPlot, InvalidFlatAndEmptySamples) {
    const QRect r(0, 0, 100, 100);
    TSampleFile invalid = MakeSample(10, [](int i) { return static_cast<float>(i); });
    invalid.Valid = 0;
    const QImage nothing =
        Render(100, 100, [&](QPainter& p) { DrawSpectrumPlot(invalid, 0, 0, false, r, p); });
    EXPECT_EQ(CountColour(nothing, Untouched), 100 * 100);

    for (const TSampleFile& s :
         {MakeSample(10, [](int) { return 3.0f; }), MakeSample(0, [](int) { return 0.0f; })}) {
        const QImage image =
            Render(100, 100, [&](QPainter& p) { DrawSpectrumPlot(s, 0, 0, false, r, p); });
        ExpectFrame(image, r);
        EXPECT_EQ(At(image, 50, 50), Black); // the crossed message plot
        EXPECT_EQ(At(image, 30, 69), Black);
    }
}

namespace {

struct TRoiFixture {
    TRoiArray Extract{}, Smoothed{}, Second{};
    int Count = 20;
};

TRoiFixture PeakRoi() {
    TRoiFixture f;
    for (int i = 0; i < f.Count; ++i) {
        const double z = (i - 10) / 2.0;
        f.Extract[i] = 10 + 100 * std::exp(-0.5 * z * z);
        f.Smoothed[i] = f.Extract[i];
        f.Second[i] = (z * z - 1) * std::exp(-0.5 * z * z);
    }
    return f;
}

} // namespace

TEST(RoiPlot, DrawsBarsCurvesAndPeakPosition) {
    const TRoiFixture roi = PeakRoi();
    const QRect r(0, 0, 200, 100); // b = 10
    const QImage image = Render(
        200, 100,
        [&](QPainter& p) {
            DrawRoiPlot(roi.Extract, roi.Smoothed, roi.Second, r, p, 2, 2, 10, TPeakEntry{},
                        roi.Count);
        },
        "roi.png");
    ExpectFrame(image, r, 60);
    // Point 8: a silver bar on columns 80..89, outlined black.
    const double min = roi.Extract[0];
    const double scale = 100 / (roi.Extract[10] - min);
    const int h8 = static_cast<int>(Round((roi.Extract[8] - min) * scale));
    EXPECT_EQ(At(image, 82, 99 - 1), Silver);
    EXPECT_EQ(CountInColumn(image, 80, 100 - h8, 100, Black), h8);
    // Smoothed of point 8: red, 2 pixels on columns 84 and 85 (x = 80 + 5).
    EXPECT_EQ(CountInColumn(image, 84, 100 - h8, 100, Red), h8);
    EXPECT_EQ(CountInColumn(image, 85, 100 - h8, 100, Red), h8);
    // Peak position (offset 10 points): green, 2 pixels at x = 100; the
    // extent lines at 100 -+ 1.25 * 2 * 10 = 75 and 125.
    EXPECT_EQ(CountInColumn(image, 100, 0, 100, Green), 100);
    EXPECT_EQ(CountInColumn(image, 99, 0, 100, Green), 100);
    EXPECT_EQ(CountInColumn(image, 75, 0, 100, Green), 100);
    EXPECT_EQ(CountInColumn(image, 125, 0, 100, Green), 100);
    // Second derivative: zero line at Top + Round(max' * scale').
    double min2 = 0, max2 = 0;
    for (int i = 0; i < roi.Count; ++i) {
        min2 = std::min(min2, roi.Second[i]);
        max2 = std::max(max2, roi.Second[i]);
    }
    const int y0 = static_cast<int>(Round(max2 * 100 / (max2 - min2)));
    EXPECT_EQ(At(image, 3, y0), Blue);
    EXPECT_EQ(At(image, 197, y0), Blue);
    // Its bar at the peak (point 10, negative) reaches the bottom: x = 100 + 5 + 2.
    EXPECT_EQ(At(image, 107, 99), Blue);
    EXPECT_EQ(At(image, 106, 99), Blue);
}

TEST(RoiPlot, FlatExtractsAndFlatSecondDerivatives) {
    const QRect r(0, 0, 120, 120);
    TRoiFixture flat = PeakRoi();
    flat.Extract.fill(7);
    for (int count : {flat.Count, 0}) {
        const QImage image = Render(
            120, 120,
            [&](QPainter& p) {
                DrawRoiPlot(flat.Extract, flat.Smoothed, flat.Second, r, p, 0, 0, 0, TPeakEntry{},
                            count);
            },
            "roi_flat.png");
        ExpectFrame(image, r);
        EXPECT_EQ(At(image, 40, 40), Black) << count; // diagonal of "No valid ROI"
    }
    // All-equal second derivative: its zero line at mid-height, no bars.
    TRoiFixture roi = PeakRoi();
    roi.Second.fill(0);
    const QImage image = Render(120, 120, [&](QPainter& p) {
        DrawRoiPlot(roi.Extract, roi.Smoothed, roi.Second, r, p, 2, 2, 10, TPeakEntry{}, roi.Count);
    });
    // Row 60 across the plot, except where the green lines (columns 59, 60,
    // 45 and 75) cross it.
    EXPECT_EQ(At(image, 0, 60), Blue);
    EXPECT_EQ(At(image, 119, 60), Blue);
    EXPECT_EQ(CountColour(image, Blue), 120 - 4);
}

namespace {

// Stays here: the expected pixel rows below are computed with its 2.5066 for
// the square root of 2 pi.
TSpectrum PeakSpectrum(int size, int centre, double sigma, double area, double base) {
    TSpectrum s{};
    s.Size = static_cast<std::uint16_t>(size);
    for (int i = 0; i < size; ++i) {
        const double z = (i - centre) / sigma;
        s.Channel[i] = static_cast<float>(base + area / (2.5066 * sigma) * std::exp(-0.5 * z * z));
    }
    return s;
}

} // namespace

TEST(TrapezoidPlot, SpansFiveSigmaAndDrawsWindowsAndCurves) {
    TTrapezoidResult t;
    t.Significant = true;
    t.Geometry.CenterChannel = 500;
    t.Geometry.Sigma = 4;
    t.Geometry.NetArea = 2000;
    t.Geometry.Slope = 0.5; // baseline 10 at channel 480, 30 at 520
    t.Geometry.Intercept = -230;
    t.Geometry.LeftFirst = 483;
    t.Geometry.LeftLast = 487;
    t.Geometry.RightFirst = 513;
    t.Geometry.RightLast = 517;
    const TPlotRange range = TrapezoidPlotRange(t);
    EXPECT_EQ(range.First, 480);
    EXPECT_EQ(range.Last, 520);

    const TSpectrum spectrum = PeakSpectrum(1024, 500, 4, 2000, 40);
    const QRect r(0, 0, 410, 200); // 41 channels, 10 pixels each
    const QImage image = Render(
        410, 200, [&](QPainter& p) { DrawTrapezoidPlot(spectrum, t, p, r); }, "trapezoid.png");
    ExpectFrame(image, r, 60);
    // Left window: columns 30..69, rows 1..198; right window from column 330.
    EXPECT_EQ(At(image, 30, 1), Silver);
    EXPECT_EQ(At(image, 69, 198), Silver);
    EXPECT_EQ(At(image, 70, 100), White);
    EXPECT_EQ(At(image, 29, 100), White);
    EXPECT_EQ(At(image, 335, 100), Silver);
    // All four curves are visible.
    const int frame = 2 * 410 + 2 * 198;
    EXPECT_GT(CountColour(image, Black), frame + 100);
    EXPECT_GT(CountColour(image, Red), 100);
    EXPECT_GT(CountColour(image, Green), 100);
    EXPECT_GT(CountColour(image, QColor(128, 0, 0)), 300);
    // The spectrum's peak top (channel 500, x = 200): min is the baseline's 10,
    // max the spectrum's 40 + 2000 / (2.5066 * 4).
    const double max = 40 + 2000 / (2.5066 * 4), min = 10;
    const int y = 200 - static_cast<int>(Round((max - min) * 200 / Round(1.1 * (max - min))));
    EXPECT_EQ(At(image, 200, y), Black) << y;
}

TEST(TrapezoidPlot, RangesOutsideTheSpectrumAndFlatDataDoNotBreak) {
    const TSpectrum spectrum = PeakSpectrum(100, 3, 4, 500, 5);
    const QRect r(0, 0, 200, 100);
    TTrapezoidResult t;
    t.Geometry.Sigma = 4;
    for (int centre : {3, 97}) { // ranges -17..23 and 77..117
        t.Geometry.CenterChannel = centre;
        const QImage image =
            Render(200, 100, [&](QPainter& p) { DrawTrapezoidPlot(spectrum, t, p, r); });
        ExpectFrame(image, r);
    }
    // Everything zero: Round(1.1 * (max - min)) = 0; zero width; NaN width.
    const TSpectrum zero = PeakSpectrum(100, 50, 4, 0, 0);
    for (double sigma : {4.0, 0.0, std::nan("")}) {
        TTrapezoidResult flat;
        flat.Geometry.CenterChannel = 50;
        flat.Geometry.Sigma = sigma;
        const QImage image =
            Render(200, 100, [&](QPainter& p) { DrawTrapezoidPlot(zero, flat, p, r); });
        ExpectFrame(image, r);
        EXPECT_EQ(TrapezoidPlotRange(flat).First, sigma > 0 ? 30 : 50);
    }
}

TEST(DoubletPlot, TheResultsOwnPeakGetsTheThickLine) {
    TDoubletResult d;
    d.Solved = true;
    std::strcpy(d.Peak.Name, "Ac-228");
    std::strcpy(d.Partner.Name, "Pb-214");
    d.PairIndex = 1;
    d.Solution = {.Slope = 0,
                  .Intercept = 30,
                  .CenterA = 100,
                  .CenterB = 120,
                  .SigmaA = 3,
                  .SigmaB = 3.2,
                  .AreaA = 900,
                  .AreaB = 600};
    const TPlotRange range = DoubletPlotRange(d);
    EXPECT_EQ(range.First, 88);
    EXPECT_EQ(range.Last, 133);
    std::swap(d.Solution.CenterA, d.Solution.CenterB);
    EXPECT_EQ(DoubletPlotRange(d).First, 100 - 13);
    EXPECT_EQ(DoubletPlotRange(d).Last, 120 + 12);
    std::swap(d.Solution.CenterA, d.Solution.CenterB);

    TSpectrum spectrum = PeakSpectrum(300, 100, 3, 900, 30);
    const TSpectrum b = PeakSpectrum(300, 120, 3.2, 600, 0);
    for (int i = 0; i < 300; ++i) {
        spectrum.Channel[i] = spectrum.Channel[i] + b.Channel[i];
    }
    const QRect r(0, 0, 460, 200); // 46 channels, xscale 10
    const QImage image = Render(
        460, 200, [&](QPainter& p) { DrawDoubletPlot(spectrum, d, p, r); }, "doublet.png");
    ExpectFrame(image, r, 60);
    // Near the bottom (below the labels and above the curves' lowest points
    // only where lines sit): A at x = 120 is 1 pixel red, B at x = 320 3 pixels blue.
    const int y = 190;
    EXPECT_EQ(At(image, 120, y), Red);
    EXPECT_NE(At(image, 119, y), Red);
    EXPECT_NE(At(image, 121, y), Red);
    EXPECT_EQ(At(image, 319, y), Blue);
    EXPECT_EQ(At(image, 320, y), Blue);
    EXPECT_EQ(At(image, 321, y), Blue);
    EXPECT_NE(At(image, 322, y), Blue);
    // The labels: the same plot without names has fewer red and blue pixels.
    TDoubletResult unnamed = d;
    unnamed.Peak.Name[0] = 0;
    unnamed.Partner.Name[0] = 0;
    const QImage bare =
        Render(460, 200, [&](QPainter& p) { DrawDoubletPlot(spectrum, unnamed, p, r); });
    EXPECT_GT(CountColour(image, Red), CountColour(bare, Red) + 10);
    EXPECT_GT(CountColour(image, Blue), CountColour(bare, Blue) + 10);
}

namespace {

struct TCursorCase {
    const char* Name;
    int Size;
    bool Valid = true;
    int BoxWidth = 1028;
    int X;
    int Channel;
    bool HasEnergy = true;
    float C1 = 1;
};

void PrintTo(const TCursorCase& c, std::ostream* os) {
    *os << c.Name;
}

class CursorPositionTest : public ::testing::TestWithParam<TCursorCase> {};

} // namespace

TEST_P(CursorPositionTest, ChannelAndEnergyUnderTheMouse) {
    const TCursorCase& c = GetParam();
    TSampleFile s = MakeSample(c.Size, [](int) { return 1.0f; });
    s.Valid = c.Valid ? 1 : 0;
    s.Calibration.ECal = {0, c.C1, 0.000001f, 0};
    double energy = 0;
    int channel = 12345;
    CursorPosition(s, c.BoxWidth, c.X, energy, channel);
    EXPECT_EQ(channel, c.Channel);
    if (c.HasEnergy) {
        // The energy is the bisection's last midpoint: within 1 keV of the
        // energy whose calibrated channel E + 1e-6 E^2 is the channel.
        const double exact = (std::sqrt(1 + 4e-6 * c.Channel) - 1) / 2e-6;
        EXPECT_NEAR(energy, exact, 1.0);
    } else {
        EXPECT_EQ(energy, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CursorPositionTest,
    ::testing::Values(
        TCursorCase{.Name = "bars1", .Size = 1024, .X = 330, .Channel = 330},
        TCursorCase{.Name = "bars2HalfToEven", .Size = 512, .X = 331, .Channel = 166},
        TCursorCase{.Name = "bars2", .Size = 512, .X = 333, .Channel = 166},
        TCursorCase{.Name = "compressed", .Size = 4096, .X = 514, .Channel = 2048},
        TCursorCase{.Name = "invalid",
                    .Size = 1024,
                    .Valid = false,
                    .X = 330,
                    .Channel = 0,
                    .HasEnergy = false},
        TCursorCase{.Name = "noChannels", .Size = 0, .X = 330, .Channel = -1, .HasEnergy = false},
        TCursorCase{.Name = "noBox",
                    .Size = 1024,
                    .BoxWidth = 0,
                    .X = 3,
                    .Channel = -1,
                    .HasEnergy = false},
        TCursorCase{.Name = "noSlope",
                    .Size = 1024,
                    .X = 330,
                    .Channel = 330,
                    .HasEnergy = false,
                    .C1 = 0}),
    [](const auto& info) { return std::string(info.param.Name); });

namespace {

struct TReadoutCase {
    const char* Name;
    bool Background;
    double Energy;
    int Channel;
    int Offset = 0;
    const char* Text;
};

void PrintTo(const TReadoutCase& c, std::ostream* os) {
    *os << c.Name;
}

class CursorReadoutTest : public ::testing::TestWithParam<TReadoutCase> {};

} // namespace

TEST_P(CursorReadoutTest, Text) {
    const TReadoutCase& c = GetParam();
    TSampleFile s = MakeSample(1024, [](int i) { return i == 661 ? 1234.4f : 12.5f; });
    s.Sample.Spectrum.Offset = static_cast<std::uint16_t>(c.Offset);
    EXPECT_EQ(CursorReadoutText(s, c.Background, c.Energy, c.Channel).toStdString(), c.Text);
}

INSTANTIATE_TEST_SUITE_P(Cases, CursorReadoutTest,
                         ::testing::Values(TReadoutCase{.Name = "spectrum",
                                                        .Background = false,
                                                        .Energy = 661.6,
                                                        .Channel = 661,
                                                        .Text = "662 keV, [661], 1234 cts"},
                                           TReadoutCase{.Name = "halfToEven",
                                                        .Background = false,
                                                        .Energy = 662.5,
                                                        .Channel = 5,
                                                        .Text = "662 keV, [5], 12 cts"},
                                           TReadoutCase{.Name = "outOfRangeKeepsCounts",
                                                        .Background = false,
                                                        .Energy = -1,
                                                        .Channel = 5,
                                                        .Text = "out of range, [5], 12 cts"},
                                           TReadoutCase{.Name = "beyondChannels",
                                                        .Background = false,
                                                        .Energy = 3000,
                                                        .Channel = 1024,
                                                        .Text = "3000 keV"},
                                           TReadoutCase{.Name = "noChannel",
                                                        .Background = false,
                                                        .Energy = -1,
                                                        .Channel = -1,
                                                        .Text = "out of range"},
                                           TReadoutCase{.Name = "offsetRangeHasNoStoredCount",
                                                        .Background = false,
                                                        .Energy = 1030,
                                                        .Channel = 1030,
                                                        .Offset = 10,
                                                        .Text = "1030 keV"},
                                           TReadoutCase{.Name = "background",
                                                        .Background = true,
                                                        .Energy = 661.6,
                                                        .Channel = 661,
                                                        .Text = "662 keV [661]"},
                                           TReadoutCase{.Name = "backgroundOffset",
                                                        .Background = true,
                                                        .Energy = 1030,
                                                        .Channel = 1030,
                                                        .Offset = 10,
                                                        .Text = "1030 keV [1030]"},
                                           TReadoutCase{.Name = "backgroundBeyond",
                                                        .Background = true,
                                                        .Energy = 1100,
                                                        .Channel = 1024,
                                                        .Text = "out of range"},
                                           TReadoutCase{.Name = "backgroundNoEnergy",
                                                        .Background = true,
                                                        .Energy = -1,
                                                        .Channel = 100,
                                                        .Text = "out of range"}),
                         [](const auto& info) { return std::string(info.param.Name); });
